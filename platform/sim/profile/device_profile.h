// The device profile's JSON document inside the profile concern: reading a document into a DeviceProfile,
// section by section, and writing one back.
#pragma once

#include <optional>
#include <string_view>

#include "pndsim/profile.h"
#include "sim/profile/positioned_json.h"
#include "sim/profile/profile.h"

namespace sim::profile {

/// Reads `document` over `profile`: checks that every member names a section, then reads each member
/// present with its section, in place order. The first fault found is returned with its position, and
/// `profile` is then partly changed.
std::optional<pndsim::ProfileError> ReadProfile(const PositionedJson& document, std::string_view source,
                                                DeviceProfile& profile);

/// `profile` as a profile document, a member for every section, in place order.
Json WriteProfile(const DeviceProfile& profile);

}  // namespace sim::profile

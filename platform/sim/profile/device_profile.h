// The device profile's JSON document inside the profile concern: reading a document into a DeviceProfile
// with full checks, and writing one back.
#pragma once

#include <optional>
#include <string_view>

#include "pndsim/profile.h"
#include "sim/profile/positioned_json.h"
#include "sim/profile/profile.h"

namespace sim::profile {

/// Reads `document` over `profile`: each member present replaces what `profile` holds; a list
/// replaces the whole list. Checks every member; the first fault found, in document order, is
/// returned with its position, and `profile` is then partly changed.
std::optional<pndsim::ProfileError> ReadProfile(const PositionedJson& document, std::string_view source,
                                                DeviceProfile& profile);

/// `profile` as a profile document, members in the order the documentation lists them.
Json WriteProfile(const DeviceProfile& profile);

}  // namespace sim::profile

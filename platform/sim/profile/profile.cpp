// Profiles as text: a document read into a profile and a profile written as one, the built-in profile read
// once, and the profile error's text.
#include "sim/profile/profile.h"

#include "sim/profile/device_profile.h"

namespace sim::profile {

/// The text of default_profile.json, embedded at build time.
extern const char* const kDefaultProfileText;

const DeviceProfile& BuiltInProfile() {
  // A fault in it is a build defect, which the profile tests catch: the device would start from zeros.
  static const DeviceProfile* const builtIn = [] {
    auto* read = new DeviceProfile;
    ReadProfileText(kDefaultProfileText, "default profile", *read);
    return read;
  }();
  return *builtIn;
}

std::optional<pndsim::ProfileError> ReadProfileText(std::string_view text, std::string_view source,
                                                    DeviceProfile& profile) {
  std::optional<ParseFault> fault;
  const PositionedJson document(text, fault);
  if (fault) {
    return pndsim::ProfileError{std::string(source), fault->position.line, fault->position.column,
                                fault->field, fault->message};
  }
  return ReadProfile(document, source, profile);
}

std::string ProfileText(const DeviceProfile& profile) { return WriteProfile(profile).dump(2) + "\n"; }

bool SameZoneRules(const pndsim::ZoneInfo& a, const pndsim::ZoneInfo& b) {
  DeviceProfile left;
  DeviceProfile right;
  left.zoneChoice = right.zoneChoice = ZoneChoice::Rules;
  left.zoneRules = a;
  right.zoneRules = b;
  return WriteProfile(left)["zone"] == WriteProfile(right)["zone"];
}

}  // namespace sim::profile

std::string pndsim::ProfileError::Text() const {
  std::string text = source;
  if (line != 0) text += ":" + std::to_string(line) + ":" + std::to_string(column);
  if (!field.empty()) text += ": " + field;
  return text + ": " + message;
}

std::string pndsim::DefaultProfile() { return sim::profile::kDefaultProfileText; }

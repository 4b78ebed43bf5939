// Profiles as text and the sections that make them up: the list of registered sections, the built-in
// profile's document each section reads its built-in value from, a document read into a profile and a
// profile written as one, and the profile error's text.
#include "sim/profile/profile.h"

#include <algorithm>

#include "sim/profile/device_profile.h"

namespace sim::profile {

/// The text of default_profile.json, embedded at build time.
extern const char* const kDefaultProfileText;

namespace {

// Filled at static initialisation, on one thread, and only read once the device runs.
std::vector<const SectionBase*>& Registered() {
  static auto* sections = new std::vector<const SectionBase*>;
  return *sections;
}

}  // namespace

Registration::Registration(const SectionBase& section) noexcept {
  std::vector<const SectionBase*>& sections = Registered();
  const auto after =
      std::upper_bound(sections.begin(), sections.end(), section.Place(),
                       [](int place, const SectionBase* other) { return place < other->Place(); });
  sections.insert(after, &section);
}

const std::vector<const SectionBase*>& Sections() { return Registered(); }

const Json* SectionBase::BuiltInMember() const {
  // Parsed once for all sections; each section reads its own member when it is first asked for it, which
  // may be before every other section has registered.
  static const Json* const document = [] {
    std::optional<ParseFault> fault;
    const auto* parsed = new PositionedJson(kDefaultProfileText, fault);
    return fault || !parsed->Document().is_object() ? nullptr : &parsed->Document();
  }();
  if (document == nullptr) return nullptr;
  const auto found = document->find(name_);
  return found == document->end() ? nullptr : &*found;
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

}  // namespace sim::profile

std::string pndsim::ProfileError::Text() const {
  std::string text = source;
  if (line != 0) text += ":" + std::to_string(line) + ":" + std::to_string(column);
  if (!field.empty()) text += ": " + field;
  return text + ": " + message;
}

std::string pndsim::DefaultProfile() { return sim::profile::kDefaultProfileText; }

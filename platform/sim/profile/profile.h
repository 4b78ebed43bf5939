// The profile concern's face: the device profile as sections, each one top-level member of the profile
// document defined by the concern that owns the state it sets; the reading kit a section reads its member
// with, so that every member is checked and its faults are worded alike; and profiles read from and written
// to text. The document's parsing and positions stay inside the concern.
#pragma once

#include <any>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "pndsim/profile.h"

namespace sim::profile {

using Json = nlohmann::ordered_json;
using Bytes = std::vector<std::uint8_t>;

// ---- The reading kit ----

/// A fault in a profile document, thrown by a section's reading: the member's JSON pointer, whether its
/// name (an unknown member) rather than its value is at fault, and what was expected. Reading stops at the
/// first one, which the load reports with its line and column.
struct Fault {
  std::string field;
  bool atName = false;
  std::string message;
};

/// The pointer of the member `name` of the value at `at`.
std::string Member(const std::string& at, std::string_view name);

/// `value` as a fault message shows it: short values as written, containers by kind.
std::string Shown(const Json& value);

/// Throws unless `value` is an object whose members are all among `allowed` (`what` names the object in
/// the message; the message lists `allowed` in the order given).
void RequireMembers(const Json& value, const std::string& at, std::span<const std::string_view> allowed,
                    std::string_view what);
inline void RequireMembers(const Json& value, const std::string& at,
                           std::initializer_list<std::string_view> allowed, std::string_view what) {
  RequireMembers(value, at, std::span(allowed.begin(), allowed.size()), what);
}

/// Calls `read(member, pointer)` when `object` has the member `name`.
template <class Read>
void IfPresent(const Json& object, const std::string& at, std::string_view name, Read read) {
  const auto found = object.find(name);
  if (found != object.end()) read(*found, Member(at, name));
}

/// An integer from `min` to `max`; `alternative` adds to the expectation (", or null for unknown").
std::int64_t Integer(const Json& value, const std::string& at, std::int64_t min, std::int64_t max,
                     std::string_view alternative = {});

/// true or false.
bool Boolean(const Json& value, const std::string& at);

/// Any text; `what` names it in the message.
std::string Text(const Json& value, const std::string& at, std::string_view what = "a text");

/// A text that must not be empty, such as a name or a path.
std::string Name(const Json& value, const std::string& at, std::string_view what);

/// The value of the hexadecimal digit `c`; -1 for any other character.
int HexDigit(char c);

/// Hexadecimal digit pairs for at most `maxBytes` bytes.
Bytes HexBytes(const Json& value, const std::string& at, std::size_t maxBytes);

/// `bytes` as hexadecimal digit pairs, without the trailing zero bytes when `trimZeros`.
std::string HexText(const Bytes& bytes, bool trimZeros);

// ---- Sections ----

class DeviceProfile;

/// One top-level member of the profile document and the device state it sets, whatever its type. The
/// sections are made at static initialisation (Section below) and listed once registered (Registration).
class SectionBase {
 public:
  SectionBase(const SectionBase&) = delete;
  SectionBase& operator=(const SectionBase&) = delete;

  /// The member's name in the document.
  std::string_view Name() const { return name_; }
  /// Orders the members in a written document and the sections as a load applies them.
  int Place() const { return place_; }

  /// Reads the member `value` (at the pointer `at`) over the section's value in `profile`; throws Fault.
  virtual void Read(const Json& value, const std::string& at, DeviceProfile& profile) const = 0;
  /// The section's value in `profile` as the member's value.
  virtual Json Write(const DeviceProfile& profile) const = 0;
  /// Sets the device, just reset, to the section's value in `profile`.
  virtual void Apply(const DeviceProfile& profile) const = 0;
  /// Stores the device's current state of the section in `profile`.
  virtual void Capture(DeviceProfile& profile) const = 0;

 protected:
  constexpr SectionBase(std::string_view name, int place) noexcept : name_(name), place_(place) {}
  ~SectionBase() = default;

  /// The built-in profile's member of this section, or null when it has none. The embedded document is
  /// parsed on the first call from any section.
  const Json* BuiltInMember() const;

  mutable std::once_flag builtInOnce_;

 private:
  std::string_view name_;
  int place_;
};

/// A section whose value is a `State`, defined by the concern that owns the state as a namespace-scope
/// constant:
///
///     constinit const profile::Section<Cards> kCards{"cards", 100, ReadCards, WriteCards, ApplyCards,
///                                                    CaptureCards};
///     const profile::Registration kCardsRegistration{kCards};
///
/// `constinit` makes it usable before its file's initialisers run (another concern's initialiser may make
/// the model that asks for BuiltIn()); the Registration lists it for reading, writing, loading and
/// capturing whole profiles.
template <class State>
class Section final : public SectionBase {
 public:
  /// Reads a member over `state`: each member present replaces what `state` holds; throws Fault.
  using ReadFunction = void (*)(const Json& value, const std::string& at, State& state);
  using WriteFunction = Json (*)(const State& state);
  /// Sets a device just reset to `state`, through the control API, so that what it announces is what
  /// the same change announces at any other time.
  using ApplyFunction = void (*)(const State& state);
  using CaptureFunction = State (*)();

  constexpr Section(std::string_view name, int place, ReadFunction read, WriteFunction write,
                    ApplyFunction apply, CaptureFunction capture) noexcept
      : SectionBase(name, place), read_(read), write_(write), apply_(apply), capture_(capture) {}

  /// The built-in profile's value (default_profile.json, embedded at build time), read on first use: the
  /// state a device model starts from and returns to at reset.
  const State& BuiltIn() const {
    std::call_once(builtInOnce_, [this] {
      auto* value = new State{};  // kept for the life of the library, as the models use it at exit
      if (const Json* member = BuiltInMember()) {
        try {
          read_(*member, profile::Member("", Name()), *value);
        } catch (const Fault&) {  // left as far as read; the profile tests catch the defect
        }
      }
      builtIn_ = value;
    });
    return *builtIn_;
  }

  /// The section's value in `profile`: its built-in value when the profile holds none.
  const State& Of(const DeviceProfile& profile) const;
  /// The section's value in `profile`, to change; the built-in value is stored first when it holds none.
  State& Of(DeviceProfile& profile) const;

  void Read(const Json& value, const std::string& at, DeviceProfile& profile) const override {
    read_(value, at, Of(profile));
  }
  Json Write(const DeviceProfile& profile) const override { return write_(Of(profile)); }
  void Apply(const DeviceProfile& profile) const override { apply_(Of(profile)); }
  void Capture(DeviceProfile& profile) const override;

 private:
  ReadFunction read_;
  WriteFunction write_;
  ApplyFunction apply_;
  CaptureFunction capture_;
  mutable const State* builtIn_ = nullptr;  // set once, under builtInOnce_
};

/// Lists `section` among the sections of every profile, in its place. Define one beside each section;
/// it runs at static initialisation, before any thread of the device.
class Registration {
 public:
  explicit Registration(const SectionBase& section) noexcept;
};

/// Every registered section, in place order.
const std::vector<const SectionBase*>& Sections();

/// A device profile: a value for each section. A section it holds no value for has its built-in value,
/// so that an empty profile is the built-in one.
class DeviceProfile {
 private:
  template <class State>
  friend class Section;

  // The value stored for `section`; empty when there is none.
  std::any& Slot(const SectionBase& section) { return values_[&section]; }
  // The value stored for `section`; null when there is none.
  const std::any* Find(const SectionBase& section) const {
    const auto found = values_.find(&section);
    return found == values_.end() || !found->second.has_value() ? nullptr : &found->second;
  }

  std::map<const SectionBase*, std::any> values_;
};

template <class State>
const State& Section<State>::Of(const DeviceProfile& profile) const {
  const std::any* value = profile.Find(*this);
  return value != nullptr ? std::any_cast<const State&>(*value) : BuiltIn();
}

template <class State>
State& Section<State>::Of(DeviceProfile& profile) const {
  std::any& value = profile.Slot(*this);
  if (!value.has_value()) value = BuiltIn();
  return std::any_cast<State&>(value);
}

template <class State>
void Section<State>::Capture(DeviceProfile& profile) const {
  profile.Slot(*this) = capture_();
}

// ---- Profiles as text ----

/// Reads the profile document `text` over `profile`: each member present replaces what `profile` holds (a
/// list replaces the whole list), read in place order. A syntax error or the first fault is returned, named
/// after `source`, and `profile` is then partly changed.
std::optional<pndsim::ProfileError> ReadProfileText(std::string_view text, std::string_view source,
                                                    DeviceProfile& profile);

/// `profile` as the text of a profile document, members in place order, indented by two and ending in a
/// line break.
std::string ProfileText(const DeviceProfile& profile);

}  // namespace sim::profile

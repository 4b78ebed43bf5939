// Reading the system's zones as descriptors: the current zone, and the zone
// database in the registry walked in the system's order. The HAL builds its
// zones from these; the tool shows them.
#pragma once

#include <cstddef>

#include "ce/time.h"
#include "pndhal/zu_string.h"

namespace time_services {

inline constexpr std::size_t kDescriptorChars = 256;

/// Receives the zones of the database in order.
class ZoneVisitor {
 public:
  virtual ~ZoneVisitor() = default;
  /// One zone: its subkey name, its display text (empty when missing or not a
  /// string) and its descriptor. False when the zone could not be taken (its
  /// memory could not be had); the walk then ends.
  virtual bool Zone(const wchar_t* name, const wchar_t* display, const wchar_t* descriptor) = 0;
};

/// How a walk of the zone database ended.
enum class WalkEnd {
  kNoMoreZones,  ///< it ran out of subkeys, or the database could not be read
  kBadTzi,       ///< at a zone whose "TZI" is missing, not binary or not 44 bytes long
  kOutOfMemory,  ///< a display text or the visitor's zone could not be had
};

/// Walks the database under HKEY_LOCAL_MACHINE\`key`, reading each "TZI"
/// into `tzi` and each "Display" into `display`, and hands each zone's
/// descriptor for `year` to `visitor`. Says why the walk ended.
WalkEnd WalkZoneDatabase(const wchar_t* key, int year, REG_TZI_FORMAT& tzi,
                         String::StringProxy<String::ZuStringImpl>& display, ZoneVisitor& visitor);

/// Writes the descriptor of the system's current zone for `year` into `out`
/// (`capacity` characters, terminator included) and its daylight name into
/// `daylightName`; a zone without daylight rules gives its base and a window
/// that adds nothing. False when the system cannot report its zone or the
/// daylight name's memory cannot be had; `out` is then left alone.
bool CurrentZoneDescriptor(wchar_t* out, std::size_t capacity, int year,
                           String::StringProxy<String::ZuStringImpl>& daylightName);

/// The device's current UTC year.
int CurrentUtcYear();

}  // namespace time_services

// Device profiles: the whole state of the simulated device as one JSON document, loaded from a file or
// text, written back from the running device, and the built-in profile every reset returns to.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "pndsim/control.h"

namespace pndsim {

/// Where a profile is at fault.
struct ProfileError {
  std::string source;   ///< the file name given, or the source name for text
  int line = 0;         ///< 1-based; 0 when the fault has no position (file unreadable)
  int column = 0;       ///< 1-based, in characters
  std::string field;    ///< JSON pointer of the field at fault ("/power/battery"), empty for syntax errors
  std::string message;  ///< what was expected there: "expected an integer from 0 to 100, got 140"
  /// "SOURCE:LINE:COLUMN: FIELD: MESSAGE" (": FIELD" left out when empty; ":LINE:COLUMN" when line is 0)
  PNDSIM_CONTROL_API std::string Text() const;
};

/// The built-in profile, as pretty-printed JSON text: the device every Reset() restores, and a starting
/// point for a profile of one's own.
PNDSIM_CONTROL_API std::string DefaultProfile();

/// The largest profile file LoadProfile reads: 1 MiB.
inline constexpr std::size_t kProfileSizeLimit = std::size_t{1} << 20;

/// Resets the simulator (Reset()), but for the time scale, which stays, and applies the profile in the
/// file `path`. Fields left out keep the
/// built-in value; a list given (keys, cards, files) replaces the built-in list. The trace is empty
/// afterwards, as after a reset. Only a regular file (or a link to one) of at most kProfileSizeLimit bytes
/// is read; a FIFO, a device or a larger file is refused without waiting for it or reading it whole. On
/// any fault (unreadable, not a regular file, too large, malformed JSON, unknown field, wrong type, value
/// out of range) nothing at all changes and the fault is returned; nothing on success.
PNDSIM_CONTROL_API std::optional<ProfileError> LoadProfile(const std::string& path);

/// The same as LoadProfile for JSON text; `source` names it in errors.
PNDSIM_CONTROL_API std::optional<ProfileError> LoadProfileText(std::string_view json,
                                                               std::string_view source);

/// Returns the device to the profile last loaded in this process (LoadProfile, LoadProfileText), or to
/// the built-in one when none was, as loading it again would. A running
/// library sees the device change under it and reports what changed.
PNDSIM_CONTROL_API void RestoreProfile();

/// The device's state now, as a pretty-printed profile document that LoadProfileText accepts and that
/// reproduces it. Right after Reset() it equals DefaultProfile().
PNDSIM_CONTROL_API std::string DeviceState();

/// The device's hardware keys as the profile names them, in profile order: name and virtual-key code.
PNDSIM_CONTROL_API std::vector<std::pair<std::string, unsigned>> DeviceKeys();

}  // namespace pndsim

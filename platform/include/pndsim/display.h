// Controls and observations of the simulated display: the raw backlight level
// with every write to it, and the screen resolution.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "pndsim/control.h"

namespace pndsim {

/// One write of the raw backlight level.
struct BacklightWrite {
  unsigned level;
  std::uint32_t tick;  ///< the (scaled) tick count when it was written
  std::string via;     ///< "ioctl" or "vendor"
};

/// The raw backlight level.
PNDSIM_CONTROL_API unsigned BacklightLevel();
/// Sets the raw backlight level as the hardware would hold it; not recorded
/// as a write.
PNDSIM_CONTROL_API void SetBacklightLevel(unsigned level);
/// Writes the raw level as the backlight driver does and records the write;
/// `via` says which road it took. Used by the vendor-library stand-in.
PNDSIM_CONTROL_API void WriteBacklight(unsigned level, const std::string& via);
/// The writes since the last reset or ClearBacklightWrites(), oldest first.
PNDSIM_CONTROL_API std::vector<BacklightWrite> BacklightWrites();
/// Forgets the recorded writes.
PNDSIM_CONTROL_API void ClearBacklightWrites();

/// Sets the screen resolution GetDeviceCaps reports; negative values count as 0.
PNDSIM_CONTROL_API void SetScreenSize(int width, int height);
/// The screen's width and height in pixels.
PNDSIM_CONTROL_API std::pair<int, int> ScreenSize();

}  // namespace pndsim

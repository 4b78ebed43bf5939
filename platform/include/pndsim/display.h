// Controls and observations of the simulated display: the raw backlight level
// with every write to it, and the screen resolution.
#pragma once

#include <cstddef>
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
/// The number of writes the list of backlight writes keeps after a reset.
inline constexpr std::size_t kDefaultBacklightWritesCapacity = 1000;
/// The writes since the last reset or ClearBacklightWrites(): the newest, up
/// to the list's capacity, oldest first.
PNDSIM_CONTROL_API std::vector<BacklightWrite> BacklightWrites();
/// Forgets the recorded writes and the count of dropped ones, and gives their
/// memory back.
PNDSIM_CONTROL_API void ClearBacklightWrites();
/// Makes the list keep at most `capacity` writes until the next reset,
/// forgetting at once (and counting as dropped) the oldest beyond it.
PNDSIM_CONTROL_API void SetBacklightWritesCapacity(std::size_t capacity);
/// How full the list of backlight writes is.
PNDSIM_CONTROL_API RecordStatus BacklightWritesStatus();

/// Sets the screen resolution GetDeviceCaps reports; negative values count as 0.
PNDSIM_CONTROL_API void SetScreenSize(int width, int height);
/// The screen's width and height in pixels.
PNDSIM_CONTROL_API std::pair<int, int> ScreenSize();

}  // namespace pndsim

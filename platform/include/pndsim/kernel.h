// Controls and observations of the emulated kernel: threads and the tick count.
#pragma once

#include <cstdint>

#include "pndsim/control.h"

namespace pndsim {

/// Number of threads started with CreateThread that have not ended yet.
PNDSIM_CONTROL_API int LiveThreadCount();

/// Moves the tick count so that GetTickCount() now returns `ticks`; later
/// reads advance from there (used to test 32-bit wrap-around).
PNDSIM_CONTROL_API void SetTickCount(std::uint32_t ticks);

}  // namespace pndsim

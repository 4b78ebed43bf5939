// Controls and observations of the emulated kernel: threads and the tick count.
#pragma once

#include <chrono>
#include <cstdint>

#include "pndsim/control.h"

namespace pndsim {

/// Number of threads started with CreateThread that have not ended yet.
PNDSIM_CONTROL_API int LiveThreadCount();

/// Waits until the device is quiet: no posted or sent message and no queue record waits to be taken, and
/// every thread that took one has done with it (it blocks in a wait again, or has ended). Every key
/// press, card and broadcast made before the call has then reached the listeners it reaches. It does not
/// wait for what a thread does of its own accord later (the polling thread's next round). False when the
/// device is not quiet within `limit` of real time.
PNDSIM_CONTROL_API bool WaitForQuiet(std::chrono::milliseconds limit);

/// Moves the tick count so that GetTickCount() now returns `ticks`; later
/// reads advance from there (used to test 32-bit wrap-around).
PNDSIM_CONTROL_API void SetTickCount(std::uint32_t ticks);

}  // namespace pndsim

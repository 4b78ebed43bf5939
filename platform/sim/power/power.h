// The power concern's face: what the rest of the simulator asks of the power manager.
#pragma once

#include <string>

#include "sim/kernel/kernel.h"

namespace sim {

/// Suspends the device as the power manager does (the suspend transition broadcast to the queues registered
/// for it), recording `cause` in the trace. False, doing nothing, when it is suspended already.
bool SuspendLocked(const std::string& cause) REQUIRES(KernelMutex());

}  // namespace sim

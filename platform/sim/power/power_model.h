// The simulated device's power model, shared by the power calls and the
// kernel I/O control call.
#pragma once

namespace sim {

/// Restarts the simulated device: counted and traced; the HAL keeps running.
void RebootDevice();

}  // namespace sim

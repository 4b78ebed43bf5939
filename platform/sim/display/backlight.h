// The simulated backlight, shared by the display calls, the kernel I/O control
// call and the control API.
#pragma once

#include <string>

namespace sim {

/// The raw backlight level.
unsigned ReadBacklight();
/// Writes the raw level and records the write with the scaled tick count.
void WriteBacklightLevel(unsigned level, const std::string& via);

}  // namespace sim

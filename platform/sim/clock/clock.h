// The clock concern's face: the simulated device's clock as the rest of the simulator reads and sets it,
// running on device time from the host's UTC clock plus an offset, or a pinned instant.
#pragma once

#include <cstdint>
#include <string>

namespace sim {

/// The device's UTC time in milliseconds since 1970-01-01.
std::int64_t DeviceNowMs();

/// Makes the device clock show `utcMs` now (moving the pinned instant when pinned); the host clock
/// is never touched.
void SetDeviceNowMs(std::int64_t utcMs);

/// "YYYY-MM-DD hh:mm:ss.mmm" of `ms` milliseconds since 1970-01-01, for the trace.
std::string FormatMs(std::int64_t ms);

}  // namespace sim

// The identity concern's face: how the simulated device lays out its device-identifier record (the 20-byte
// head, then the preset and the platform identifier), shared by the identity model and the device profiles.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace sim {

/// The record built from `preset` and `platform`; an empty identifier gets offset 0.
std::vector<std::uint8_t> DeviceIdRecord(std::span<const std::uint8_t> preset,
                                         std::span<const std::uint8_t> platform);

}  // namespace sim

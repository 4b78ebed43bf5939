// The simulated device's data behind the vendor library: the flash area and
// the Bluetooth address, read and written by the vendor-library stand-in.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "pndsim/control.h"

namespace pndsim {

/// Size of the vendor flash area in bytes.
inline constexpr std::size_t kFlashSize = 2048;

/// Copies flash bytes from `offset` into `out`, recorded in the trace as
/// "vendor.flash.read"; false, with nothing copied, when the range leaves the
/// area.
PNDSIM_CONTROL_API bool ReadFlashArea(std::size_t offset, std::span<std::uint8_t> out);
/// Writes `bytes` into flash at `offset`, recorded as "vendor.flash.write";
/// false, with nothing written, when the range leaves the area.
PNDSIM_CONTROL_API bool WriteFlashArea(std::size_t offset, std::span<const std::uint8_t> bytes);

/// The whole flash area, read without a trace event.
PNDSIM_CONTROL_API std::array<std::uint8_t, kFlashSize> FlashArea();

/// The Bluetooth device address in display order.
PNDSIM_CONTROL_API std::array<std::uint8_t, 6> BtAddress();
/// Sets the Bluetooth device address.
PNDSIM_CONTROL_API void SetBtAddress(const std::array<std::uint8_t, 6>& address);

/// The names of the libraries loaded through LoadLibraryW and not yet freed.
PNDSIM_CONTROL_API std::vector<std::string> LoadedLibraries();

}  // namespace pndsim

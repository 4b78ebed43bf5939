// The functions of the vendor library as the HAL looks them up by name. Every
// function returns nonzero for success.
#pragma once

#include <cstdint>

#define EXTERNAPI_EXPORT __attribute__((visibility("default")))

extern "C" {

/// Copies `length` flash bytes from `offset` into `buffer`. 0 for a null
/// buffer or a range outside the 2048-byte area.
EXTERNAPI_EXPORT std::int32_t ReadFlash(std::uint32_t offset, std::uint8_t* buffer, std::uint32_t length);
/// Writes `length` bytes from `buffer` into flash at `offset`. 0 for a null
/// buffer or a range outside the area.
EXTERNAPI_EXPORT std::int32_t WriteFlash(std::uint32_t offset, std::uint8_t* buffer, std::uint32_t length);
/// Stores the raw backlight level in `*level`; 0 for a null pointer.
EXTERNAPI_EXPORT std::int32_t GetBrightness(unsigned int* level);
/// Sets the raw backlight level.
EXTERNAPI_EXPORT std::int32_t SetBrightness(unsigned int level);
/// Fills the 6 bytes at `address` with the Bluetooth device address in
/// display order; 0 for a null pointer.
EXTERNAPI_EXPORT std::int32_t GetBtMacAddrFromAssetData(std::uint8_t* address);
}

// Stand-in for the device vendor's library: raw backlight, the flash area and
// the Bluetooth address, served from the simulated device.
#include "externapi.h"

#include <span>

#include "pndsim/display.h"
#include "pndsim/vendor.h"

std::int32_t ReadFlash(std::uint32_t offset, std::uint8_t* buffer, std::uint32_t length) {
  if (buffer == nullptr) return 0;
  return pndsim::ReadFlashArea(offset, std::span(buffer, length)) ? 1 : 0;
}

std::int32_t WriteFlash(std::uint32_t offset, std::uint8_t* buffer, std::uint32_t length) {
  if (buffer == nullptr) return 0;
  return pndsim::WriteFlashArea(offset, std::span<const std::uint8_t>(buffer, length)) ? 1 : 0;
}

std::int32_t GetBrightness(unsigned int* level) {
  if (level == nullptr) return 0;
  *level = pndsim::BacklightLevel();
  return 1;
}

std::int32_t SetBrightness(unsigned int level) {
  pndsim::WriteBacklight(level, "vendor");
  return 1;
}

std::int32_t GetBtMacAddrFromAssetData(std::uint8_t* address) {
  if (address == nullptr) return 0;
  const auto bytes = pndsim::BtAddress();
  for (std::size_t i = 0; i < bytes.size(); ++i) address[i] = bytes[i];
  return 1;
}

// The device level's services of the vendor library: raw flash access and the
// Bluetooth address.
#include <cstdint>
#include <cwchar>

#include "hal/hal_levels.h"
#include "hal/vendor_library.h"

namespace {

constexpr unsigned long kFlashSize = 2048;
constexpr int kMacTextChars = 23;  // "MAC: xx-xx-xx-xx-xx-xx" and its terminator

// The range must lie in the flash area; the test cannot wrap round, however
// large the arguments.
bool InFlash(unsigned long offset, unsigned long length) {
  return offset <= kFlashSize && length <= kFlashSize - offset;
}

bool CallFlash(const wchar_t* name, unsigned long offset, unsigned char* buffer, unsigned long length) {
  if (!InFlash(offset, length) || (buffer == nullptr && length != 0)) return false;
  std::int32_t result = 0;
  return Vendor::Call(name, result, static_cast<std::uint32_t>(offset), static_cast<std::uint8_t*>(buffer),
                      static_cast<std::uint32_t>(length)) &&
         result != 0;
}

}  // namespace

bool CHALExternApi::ReadFlash(unsigned long offset, unsigned char* buffer, unsigned long length) {
  return CallFlash(L"ReadFlash", offset, buffer, length);
}

bool CHALExternApi::WriteFlash(unsigned long offset, unsigned char* buffer, unsigned long length) {
  return CallFlash(L"WriteFlash", offset, buffer, length);
}

// Nothing is written unless the whole text fits and the vendor gave an
// address.
bool CHALExternApi::GetBtMACAddr(wchar_t* buffer, int length) {
  if (buffer == nullptr || length < kMacTextChars) return false;
  std::uint8_t address[6] = {};
  std::int32_t result = 0;
  if (!Vendor::Call(L"GetBtMacAddrFromAssetData", result, static_cast<std::uint8_t*>(address)) ||
      result == 0) {
    return false;
  }
  wchar_t text[kMacTextChars];
  std::swprintf(text, kMacTextChars, L"MAC: %02x-%02x-%02x-%02x-%02x-%02x", address[0], address[1],
                address[2], address[3], address[4], address[5]);
  std::wmemcpy(buffer, text, kMacTextChars);
  return true;
}

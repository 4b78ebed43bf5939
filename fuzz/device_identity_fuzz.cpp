// Fuzz target: the identity services over random device records. Whatever the
// device answers (identifier, information, version text and record, the
// calibration value), no operation writes past the length its caller gave, a
// text reported as written is terminated within it, and nothing crashes.
#include <cstddef>
#include <cstdint>
#include <cwchar>
#include <span>
#include <vector>

#include "fuzz/fuzz_text.h"
#include "hal/hal_levels.h"
#include "pndhal/pndhal.h"
#include "pndsim/pndsim.h"

namespace {

// The platform level, for the level-3 bodies the concrete object replaces.
class PlatformHal final : public CHALPlatform {};

constexpr wchar_t kCanary = 0x2A2A;
constexpr std::size_t kSlack = 8;

// Runs `call` on a buffer of `length` characters followed by canaries.
template <class Call>
void Guarded(std::size_t length, Call call) {
  std::vector<wchar_t> buffer(length + kSlack, kCanary);
  const bool written = call(buffer.data(), length);
  for (std::size_t i = length; i < buffer.size(); ++i) fuzztext::Require(buffer[i] == kCanary);
  if (written) fuzztext::Require(std::wmemchr(buffer.data(), L'\0', length) != nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static PlatformHal* const platform = [] {
    pndsim::Reset();
    InitHAL();
    return new PlatformHal;
  }();
  pndsim::ClearTrace();  // the trace would grow with every run
  const std::uint32_t target = fuzztext::Take(data, size, 1) % 5;
  const std::size_t length = fuzztext::Take(data, size, 2) % 600;
  const auto selector = static_cast<eDeviceInfoID>(fuzztext::Take(data, size, 1) % 18);
  const std::span<const std::uint8_t> record(data, size);
  switch (target) {
    case 0:
      pndsim::SetDeviceIdRecord(record);
      break;
    case 1:
      pndsim::SetDeviceInfoRecord(record);
      break;
    case 2:
      pndsim::SetVersionText(record);
      break;
    case 3:
      pndsim::SetVersionRecord(record);
      break;
    default:
      pndsim::SetRegistryValue(pndsim::RegistryRoot::LocalMachine, "HARDWARE\\DEVICEMAP\\TOUCH",
                               "CalibrationData", 1, record);
      CalibrateTouchscreen();
      platform->CalibrateTouchscreen();
      return 0;
  }
  const int idLength = static_cast<int>(length);
  Guarded(length, [&](wchar_t* buffer, std::size_t) { return GetDeviceID(buffer, idLength); });
  Guarded(length, [&](wchar_t* buffer, std::size_t) { return platform->GetDeviceID(buffer, idLength); });
  Guarded(length, [&](wchar_t* buffer, std::size_t n) { return GetDeviceInfo(selector, buffer, n); });
  Guarded(length,
          [&](wchar_t* buffer, std::size_t n) { return platform->GetDeviceInfo(selector, buffer, n); });
  Guarded(length, [&](wchar_t* buffer, std::size_t) { return GetBtMACAddr(buffer, idLength); });
  return 0;
}

// The simulated wave-output mixer: one volume word for device 0, two channels.
#include <atomic>
#include <cstdio>

#include "ce/audio.h"
#include "pndsim/audio.h"
#include "sim/kernel/kernel.h"
#include "sim/profile/profile.h"

namespace sim {
namespace {

// The volume word of the built-in profile: the left channel in the low word, the right in the high one.
std::uint32_t BuiltInVolume() {
  const profile::DeviceProfile& builtIn = profile::BuiltInProfile();
  return static_cast<std::uint32_t>(builtIn.volumeLeft) | static_cast<std::uint32_t>(builtIn.volumeRight)
                                                              << 16;
}

std::atomic<std::uint32_t>& Volume() {
  static auto* volume = [] {
    auto* created = new std::atomic<std::uint32_t>(BuiltInVolume());
    OnReset([] { Volume().store(BuiltInVolume()); });
    return created;
  }();
  return *volume;
}

}  // namespace
}  // namespace sim

using namespace sim;

MMRESULT waveOutSetVolume(HWAVEOUT device, DWORD volume) {
  // The mixer answers its error instead of setting the last error.
  if (const DWORD error =
          CheckCall(pndsim::Call::WaveOutSetVolume,
                    device != nullptr ? MMSYSERR_BADDEVICEID : MMSYSERR_NOERROR, MMSYSERR_ERROR)) {
    return error;
  }
  Volume().store(volume);
  char detail[16];
  std::snprintf(detail, sizeof detail, "0x%08X", volume);
  Record("wave.volume", {NumberField("volume", volume, detail)}, "{volume}");
  return MMSYSERR_NOERROR;
}

MMRESULT waveOutGetVolume(HWAVEOUT device, DWORD* volume) {
  const DWORD argumentError = device != nullptr   ? MMSYSERR_BADDEVICEID
                              : volume == nullptr ? MMSYSERR_INVALPARAM
                                                  : MMSYSERR_NOERROR;
  if (const DWORD error = CheckCall(pndsim::Call::WaveOutGetVolume, argumentError, MMSYSERR_ERROR)) {
    return error;
  }
  *volume = Volume().load();
  return MMSYSERR_NOERROR;
}

std::uint32_t pndsim::VolumeWord() { return Volume().load(); }

void pndsim::SetVolumeChannels(std::uint16_t left, std::uint16_t right) {
  Volume().store(static_cast<std::uint32_t>(left) | static_cast<std::uint32_t>(right) << 16);
}

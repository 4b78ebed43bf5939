// The simulated wave-output mixer: one volume word for device 0, two channels, and the profile's "volume"
// member that sets them.
#include <atomic>
#include <cstdio>
#include <string>

#include "ce/audio.h"
#include "pndsim/audio.h"
#include "sim/kernel/kernel.h"
#include "sim/profile/profile.h"

namespace sim {
namespace {

using profile::Json;

// The two channels as the profile gives them; the mixer's word holds the left channel in the low word and
// the right in the high one.
struct Channels {
  std::uint16_t left = 0;
  std::uint16_t right = 0;
};

void ReadVolume(const Json& value, const std::string& at, Channels& channels) {
  profile::RequireMembers(value, at, {"left", "right"}, "the volume");
  profile::IfPresent(value, at, "left", [&](const Json& m, const std::string& w) {
    channels.left = static_cast<std::uint16_t>(profile::Integer(m, w, 0, 65535));
  });
  profile::IfPresent(value, at, "right", [&](const Json& m, const std::string& w) {
    channels.right = static_cast<std::uint16_t>(profile::Integer(m, w, 0, 65535));
  });
}

Json WriteVolume(const Channels& channels) {
  return Json{{"left", channels.left}, {"right", channels.right}};
}

void ApplyVolume(const Channels& channels) { pndsim::SetVolumeChannels(channels.left, channels.right); }

Channels CaptureVolume() {
  const std::uint32_t word = pndsim::VolumeWord();
  return Channels{static_cast<std::uint16_t>(word & 0xFFFF), static_cast<std::uint16_t>(word >> 16)};
}

constinit const profile::Section<Channels> kVolume{"volume",    40,          ReadVolume,
                                                   WriteVolume, ApplyVolume, CaptureVolume};
const profile::Registration kVolumeRegistration{kVolume};

std::uint32_t BuiltInVolume() {
  const Channels& builtIn = kVolume.BuiltIn();
  return static_cast<std::uint32_t>(builtIn.left) | static_cast<std::uint32_t>(builtIn.right) << 16;
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

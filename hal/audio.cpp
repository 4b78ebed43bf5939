// Volume operations of the HAL levels: the master volume in percent over the
// wave-output mixer's two channels, and mute with restore.
#include "ce/audio.h"
#include "hal/hal_levels.h"

namespace {

constexpr double kPercentToChannel = 655.35;
constexpr double kChannelToFraction = 1.0 / 65535.0;
HWAVEOUT const kWaveDevice0 = nullptr;

}  // namespace

bool CHALCommon::SetVolume(unsigned int percent) {
  if (percent > 100) return false;
  const auto channel = static_cast<DWORD>(static_cast<std::uint32_t>(percent * kPercentToChannel) & 0xFFFFu);
  return waveOutSetVolume(kWaveDevice0, channel | channel << 16) == MMSYSERR_NOERROR;
}

bool CHALCommon::GetVolume(unsigned int& percent) {
  DWORD word = 0;
  const MMRESULT result = waveOutGetVolume(kWaveDevice0, &word);
  const DWORD left = word & 0xFFFFu;
  const DWORD right = word >> 16;
  const DWORD louder = left > right ? left : right;
  percent = static_cast<unsigned int>(louder * kChannelToFraction * 100.0);
  return result == MMSYSERR_NOERROR;
}

bool CHALWinCE::Mute(bool mute) {
  if (!mute) return SetVolume(m_uiSavedVolume);
  unsigned int percent = 0;
  GetVolume(percent);
  if (waveOutSetVolume(kWaveDevice0, 0) != MMSYSERR_NOERROR) return false;
  m_uiSavedVolume = percent;
  return true;
}

// The audio service: its exported functions and its operations at every
// level: the master volume in percent over the wave-output mixer's two
// channels, mute with restore, and the microphone and speech-recognition
// audio, which no level provides.
#include <cmath>
#include <mutex>

#include "ce/audio.h"
#include "hal/hal_levels.h"

namespace {

constexpr double kPercentToChannel = 655.35;
constexpr double kChannelToFraction = 1.0 / 65535.0;
HWAVEOUT const kWaveDevice0 = nullptr;

}  // namespace

// --- Exported functions ------------------------------------------------------

bool SetVolume(unsigned int percent) {
  HalCall hal;
  return hal && hal->SetVolume(percent);
}

bool GetVolume(unsigned int& percent) {
  HalCall hal;
  return hal && hal->GetVolume(percent);
}

bool Mute(bool mute) {
  HalCall hal;
  return hal && hal->Mute(mute);
}

bool IsMuted(bool& muted) {
  HalCall hal;
  return hal && hal->IsMuted(muted);
}

void ActivateSRAudio(bool const& on) {
  if (HalCall hal; hal) hal->ActivateSRAudio(on);
}

bool SetMicVolume(unsigned int const& volume) {
  HalCall hal;
  return hal && hal->SetMicVolume(volume);
}

bool GetMicVolume(unsigned int& volume) {
  HalCall hal;
  return hal && hal->GetMicVolume(volume);
}

// --- Level 0 -----------------------------------------------------------------

bool CHAL::SetVolume(unsigned int) { return false; }
bool CHAL::GetVolume(unsigned int&) { return false; }
bool CHAL::Mute(bool) { return false; }
bool CHAL::IsMuted(bool&) { return false; }
void CHAL::ActivateSRAudio(bool const&) {}
bool CHAL::SetMicVolume(unsigned int const&) { return false; }
bool CHAL::GetMicVolume(unsigned int&) { return false; }

// --- Level 1 -----------------------------------------------------------------

// Both conversions round to the nearest value, so every percentage reads back
// as written and a mute followed by its restore gives back the same volume.
bool CHALCommon::SetVolume(unsigned int percent) {
  if (percent > 100) return false;
  const auto channel = static_cast<DWORD>(std::lround(percent * kPercentToChannel)) & 0xFFFFu;
  return waveOutSetVolume(kWaveDevice0, channel | channel << 16) == MMSYSERR_NOERROR;
}

bool CHALCommon::GetVolume(unsigned int& percent) {
  DWORD word = 0;
  const MMRESULT result = waveOutGetVolume(kWaveDevice0, &word);
  const DWORD left = word & 0xFFFFu;
  const DWORD right = word >> 16;
  const DWORD louder = left > right ? left : right;
  percent = static_cast<unsigned int>(std::lround(louder * kChannelToFraction * 100.0));
  return result == MMSYSERR_NOERROR;
}

// --- Level 2 -----------------------------------------------------------------

bool CHALWinCE::Mute(bool mute) {
  std::lock_guard lock(m_savedStateLock);
  if (!mute) {
    // Nothing saved yet: the volume stays as it is rather than falling silent.
    if (!m_bVolumeSaved) return true;
    if (!SetVolume(m_uiSavedVolume)) return false;
    m_bMuted = false;
    return true;
  }
  // A volume that cannot be read is not saved over the one to restore.
  unsigned int percent = 0;
  if (!GetVolume(percent)) return false;
  if (waveOutSetVolume(kWaveDevice0, 0) != MMSYSERR_NOERROR) return false;
  // Muting while still muted keeps the volume to restore.
  if (!(m_bMuted && percent == 0)) m_uiSavedVolume = percent;
  m_bMuted = true;
  m_bVolumeSaved = true;
  return true;
}

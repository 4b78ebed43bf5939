// The display service: its exported functions and its operations at every
// level: brightness in percent over the raw backlight levels, the stepped fade
// and its thread, display off and on, and the screen orientation.
#include <cmath>

#include "ce/display.h"
#include "ce/power.h"
#include "hal/hal_levels.h"
#include "hal/vendor_library.h"
#include "runtime/critical_section.h"

namespace {

// Held by a fade for its whole run, so fades of several callers follow one
// another, each starting from the level the previous one left.
CCriticalSection g_brightnessFadeLock;  // NOLINT(cert-err58-cpp): creating a critical section does not throw

constexpr float kPercentToFraction = 0.01f;

}  // namespace

// --- Exported functions ------------------------------------------------------

bool SetScreenOrientation(bool const& landscape) {
  HalCall hal;
  return hal && hal->SetScreenOrientation(landscape);
}

bool GetScreenOrientation(DisplayInfo& info) {
  HalCall hal;
  return hal && hal->GetScreenOrientation(info);
}

bool GetBrightness(unsigned int& percent) {
  HalCall hal;
  return hal && hal->GetBrightness(percent);
}

bool SetBrightness(unsigned int percent, unsigned int fade) {
  HalCall hal;
  return hal && hal->SetBrightness(percent, fade);
}

bool PMDisplayOff() {
  HalCall hal;
  return hal && hal->PMDisplayOff();
}

bool PMDisplayOn() {
  HalCall hal;
  return hal && hal->PMDisplayOn();
}

// --- Level 0 -----------------------------------------------------------------

bool CHAL::SetScreenOrientation(bool const&) { return false; }
bool CHAL::GetScreenOrientation(DisplayInfo&) { return false; }
bool CHAL::GetBrightness(unsigned int&) { return false; }
bool CHAL::SetBrightness(unsigned int, unsigned int) { return false; }
bool CHAL::PMDisplayOff() { return false; }
bool CHAL::PMDisplayOn() { return false; }
unsigned int CHAL::RoundBrightness(float) { return 0; }
void CHAL::GetRawBrightness(unsigned int&) {}
void CHAL::SetRawBrightness(unsigned int const&) {}

// --- Fade thread -------------------------------------------------------------

unsigned long CBrightnessFadeThread::Run(void* param) {
  if (param == nullptr) return 0;
  CHAL& hal = *static_cast<CHAL*>(param);
  const unsigned int max = hal.m_uiMaxBrightnessLevel;
  const unsigned int min = hal.m_uiMinBrightnessLevel;
  const unsigned int step = hal.m_uiFadeStep;
  const unsigned int target = m_uiTargetPercent;
  CCriticalSectionLock fadeLock(g_brightnessFadeLock);

  unsigned int level = 0;
  hal.GetRawBrightness(level);
  unsigned int goal = min;
  if (target != 0) {
    goal = hal.RoundBrightness(static_cast<float>(max * target) * kPercentToFraction);
    if (goal < min) goal = min;
  }
  unsigned int percent = max == 0 ? 0 : level * 100 / max;
  const unsigned int diff = percent > target ? percent - target : target - percent;
  // Another caller's fade may already have reached this target: there is no
  // step to take, only the goal to write.
  if (diff != 0 && step != 0 && m_uiFade != 0) {
    unsigned int rate = diff * 1000 / m_uiFade;
    if (rate == 0) rate = 1;
    const DWORD pause = rate / diff / step;
    if (percent > target) {
      while (level > goal) {
        hal.SetRawBrightness(level);
        if (percent > step) {
          percent -= step;
          level = percent * max / 100;
          if (level < min) {
            level = min;
          } else if (level < goal) {
            level = goal;
          }
        } else {
          level = min;
        }
        Sleep(pause);
      }
    } else {
      while (level < goal) {
        hal.SetRawBrightness(level);
        percent += step;
        level = percent * max / 100;
        if (level > max) {
          level = max;
        } else if (level > goal) {
          level = goal;
        }
        Sleep(pause);
      }
    }
  }
  hal.SetRawBrightness(goal);
  return 0;
}

// --- Level 2 -----------------------------------------------------------------

bool CHALWinCE::SetScreenOrientation(bool const&) { return true; }

bool CHALWinCE::GetScreenOrientation(DisplayInfo& info) {
  HDC screen = GetDC(nullptr);
  const int width = GetDeviceCaps(screen, HORZRES);
  const int height = GetDeviceCaps(screen, VERTRES);
  ReleaseDC(nullptr, screen);
  if (width <= 0 || height <= 0) return false;
  info.width = static_cast<std::uint32_t>(width);
  info.height = static_cast<std::uint32_t>(height);
  info.orientation = width < height   ? eOrientationPortrait
                     : width > height ? eOrientationLandscape
                                      : eOrientationSquare;
  return true;
}

bool CHALWinCE::SetBrightness(unsigned int percent, unsigned int fade) {
  if (percent > 100) return false;
  if (fade == 0) fade = 100;
  const unsigned int level = percent == 0 ? m_uiMinBrightnessLevel : percent * m_uiMaxBrightnessLevel / 100;
  if (level > m_uiMaxBrightnessLevel) return false;
  unsigned int current = 0;
  GetBrightness(current);
  if (current == percent) return true;
  CBrightnessFadeThread fadeThread(percent, fade);
  // A fade that cannot start changes nothing and is reported as such.
  if (!fadeThread.Start(static_cast<CHAL*>(this), nullptr)) return false;
  // The fade never waits on anything but the fade lock, so waiting for it
  // without a limit is safe, and no fade is ever cut off holding the lock.
  fadeThread.Wait(INFINITE);
  return true;
}

// The display off is the backlight at its minimum level, which reads back as
// the percentage of that level (10 percent over levels 1 to 10), or dark.
bool CHALWinCE::IsDisplayAsOffLeftIt(unsigned int percent) const {
  return percent == 0 || percent == m_uiMinBrightnessLevel * 100 / m_uiMaxBrightnessLevel;
}

bool CHALWinCE::PMDisplayOff() {
  std::lock_guard lock(m_savedStateLock);
  // A brightness that cannot be read is not saved over the one to restore.
  unsigned int current = 0;
  if (!GetBrightness(current)) return false;
  if (!SetBrightness(0, 100)) return false;
  // Switching off a display that is off keeps the brightness to restore.
  if (!(m_bDisplayOff && IsDisplayAsOffLeftIt(current))) m_uiSavedBrightness = current;
  m_bDisplayOff = true;
  return true;
}

bool CHALWinCE::PMDisplayOn() {
  std::lock_guard lock(m_savedStateLock);
  unsigned int current = 0;
  // A brightness that cannot be read gives no ground to restore anything, and
  // a display that is on is left as it is.
  if (!GetBrightness(current) || !IsDisplayAsOffLeftIt(current)) return false;
  if (!SetBrightness(m_uiSavedBrightness, 100)) return false;
  m_bDisplayOff = false;
  return true;
}

unsigned int CHALWinCE::RoundBrightness(float level) {
  const double x = level;
  const double c = std::ceil(x);
  double rounded = c;
  if (c != x && c - x > 0.5 && c >= 1) rounded = c - 1;
  return rounded <= 0 ? 0u : static_cast<unsigned int>(rounded);
}

void CHALWinCE::GetRawBrightness(unsigned int& level) {
  DWORD value = level;
  KernelIoControl(IOCTL_BACKLIGHT, nullptr, BACKLIGHT_READ_REQUEST, nullptr, 0, &value);
  level = value;
}

void CHALWinCE::SetRawBrightness(unsigned int const& level) {
  KernelIoControl(IOCTL_BACKLIGHT, nullptr, level, nullptr, 0, nullptr);
}

// --- Level 3 -----------------------------------------------------------------

bool CHALPlatform::GetBrightness(unsigned int& percent) {
  DWORD level = 0;
  if (KernelIoControl(IOCTL_BACKLIGHT, nullptr, BACKLIGHT_READ_REQUEST, nullptr, 0, &level) == FALSE) {
    return false;
  }
  if (level > m_uiMaxBrightnessLevel) return false;
  percent = level * 100 / m_uiMaxBrightnessLevel;
  return true;
}

// --- Level 4 -----------------------------------------------------------------

bool CHALExternApi::GetBrightness(unsigned int& percent) {
  unsigned int level = 0;
  std::int32_t result = 0;
  if (!Vendor::Call(L"GetBrightness", result, &level)) return false;
  percent = level > m_uiMaxBrightnessLevel ? 100 : level * 100 / m_uiMaxBrightnessLevel;
  return true;
}

bool CHALExternApi::SetBrightness(unsigned int percent, unsigned int) {
  if (percent > 100) return false;
  unsigned int level = percent == 0 ? m_uiMinBrightnessLevel : percent * m_uiMaxBrightnessLevel / 100;
  if (level > m_uiMaxBrightnessLevel) level = m_uiMaxBrightnessLevel;
  std::int32_t result = 0;
  return Vendor::Call(L"SetBrightness", result, level) && result != 0;
}

void CHALExternApi::GetRawBrightness(unsigned int& level) {
  std::int32_t result = 0;
  Vendor::Call(L"GetBrightness", result, &level);
}

void CHALExternApi::SetRawBrightness(unsigned int const& level) {
  std::int32_t result = 0;
  Vendor::Call(L"SetBrightness", result, level);
}

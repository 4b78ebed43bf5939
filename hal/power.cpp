// The power service: its exported functions, its operations at every level
// (with the foreground and idle-timer ones the polling thread calls), and the
// two threads that watch the device: power notifications (suspend and resume)
// and the periodic polling of volume, foreground and power state.
#include <cstring>

#include "ce/power.h"
#include "ce/window.h"
#include "hal/hal_levels.h"
#include "hal/notification_queue.h"

namespace {

constexpr DWORD kPowerQueueMaxMessage = 4096;
constexpr DWORD kPowerBroadcastBufferSize = 552;
constexpr DWORD kDeviceSuspendPauseMs = 60;
constexpr DWORD kPowerKeyPauseMs = 1000;
constexpr DWORD kSilentKeyDown = KEYEVENTF_SILENT;
constexpr DWORD kSilentKeyUp = KEYEVENTF_SILENT | KEYEVENTF_KEYUP;

// powerState from the AC-line status and battery flag; false when the pair
// matches no known row and the caller's value stays.
bool DerivePowerState(BYTE acLine, BYTE batteryFlag, std::uint32_t& state) {
  if (acLine == AC_LINE_OFFLINE) {
    state = batteryFlag == BATTERY_FLAG_UNKNOWN ? ePowerStateFull : ePowerStateBattery;
    return true;
  }
  if (acLine != AC_LINE_ONLINE) return false;
  switch (batteryFlag) {
    case BATTERY_FLAG_HIGH:
      state = ePowerStateFull;
      return true;
    case BATTERY_FLAG_CHARGING:
      state = ePowerStateCharging;
      return true;
    case BATTERY_FLAG_NO_BATTERY:
      state = ePowerStateExternal;
      return true;
    default:
      return false;
  }
}

}  // namespace

// --- Exported functions ------------------------------------------------------

bool PMGetPowerInfo(PMPowerInfo& info) {
  HalCall hal;
  return hal && hal->PMGetPowerInfo(info);
}

bool PMPowerOff() {
  HalCall hal;
  return hal && hal->PMPowerOff();
}

bool ResetDevice() {
  HalCall hal;
  return hal && hal->ResetDevice();
}

bool SuspendDevice() {
  HalCall hal;
  return hal && hal->SuspendDevice();
}

void StartResetIdleTimer() {
  if (HalCall hal; hal) hal->StartResetIdleTimer();
}

void StopResetIdleTimer() {
  // Only takes something away: never creates a HAL.
  if (HalCall hal(HalCall::Use::kExisting); hal) hal->StopResetIdleTimer();
}

void ActivatePowerKey(bool activate) {
  if (HalCall hal; hal) hal->ActivatePowerKey(activate);
}

// --- Level 0 -----------------------------------------------------------------

bool CHAL::PMGetPowerInfo(PMPowerInfo&) { return false; }
bool CHAL::PMPowerOff() { return false; }
bool CHAL::ResetDevice() { return false; }
bool CHAL::SuspendDevice() { return false; }
void CHAL::StartResetIdleTimer() {}
void CHAL::StopResetIdleTimer() {}
void CHAL::ActivatePowerKey(bool) {}
bool CHAL::IsForegroundTrackingEnabled() { return true; }
bool CHAL::IsApplicationInForeground() { return false; }
void CHAL::OnForegroundChanged(bool) {}
void CHAL::ResetIdleTimerTick() {}

// --- Level 2 -----------------------------------------------------------------

bool CHALWinCE::PMGetPowerInfo(PMPowerInfo& info) {
  SYSTEM_POWER_STATUS_EX status{};
  GetSystemPowerStatusEx(&status, FALSE);
  info.batteryLevel = status.BatteryLifePercent;
  DerivePowerState(status.ACLineStatus, status.BatteryFlag, info.powerState);
  return status.BatteryLifePercent != 0;
}

bool CHALWinCE::ResetDevice() {
  return KernelIoControl(IOCTL_HAL_REBOOT, nullptr, 0, nullptr, 0, nullptr) != FALSE;
}

bool CHALWinCE::SuspendDevice() {
  SetSystemPowerState(nullptr, POWER_STATE_SUSPEND, POWER_FORCE);
  Sleep(kDeviceSuspendPauseMs);
  return true;
}

void CHALWinCE::StartResetIdleTimer() { m_bResetIdleTimer.store(true); }

void CHALWinCE::StopResetIdleTimer() { m_bResetIdleTimer.store(false); }

bool CHALWinCE::IsApplicationInForeground() {
  HWND foreground = GetForegroundWindow();
  return foreground != nullptr && GetWindowThreadProcessId(foreground, nullptr) == m_dwCreatorThreadId;
}

// --- Level 3 -----------------------------------------------------------------

void CHALPlatform::ActivatePowerKey(bool activate) {
  {
    std::lock_guard lock(m_startLock);
    m_bPowerKeyActivated = activate;
    if (!activate) {
      // A thread that cannot start now, or whose stop another caller still
      // waits for, is started by the next call or polling round.
      if (m_bThreadsWanted && !m_powerNotificationThread.IsRunning() && m_iPowerStopsAwaited == 0) {
        m_powerNotificationThread.SetPriority(THREAD_PRIORITY_ABOVE_NORMAL);
        if (!m_powerNotificationThread.Start(static_cast<CHAL*>(this), nullptr)) MarkStartPending();
      } else if (m_iPowerStopsAwaited != 0) {
        MarkStartPending();
      }
      return;
    }
    if (!m_powerNotificationThread.IsRunning()) return;
    m_powerNotificationThread.RequestStop();
    // A listener of the thread itself that asks for this cannot wait for its
    // own end; the thread ends once the listener returns.
    if (GetCurrentThreadId() == m_powerNotificationThread.ThreadId()) return;
    ++m_iPowerStopsAwaited;
  }
  // Waited for without the lock, since the thread's listeners may call in;
  // no one starts the thread again meanwhile, so this is the thread stopped.
  m_powerNotificationThread.Wait(INFINITE);
  std::lock_guard lock(m_startLock);
  --m_iPowerStopsAwaited;
}

void CHALPlatform::ResetIdleTimerTick() {
  if (m_bResetIdleTimer.load()) SystemIdleTimerReset();
}

// --- Level 4 -----------------------------------------------------------------

bool CHALExternApi::IsForegroundTrackingEnabled() { return false; }

bool CHALExternApi::SuspendDevice() {
  Sleep(kPowerKeyPauseMs);
  keybd_event(VK_OFF, 0, kSilentKeyDown, 0);
  keybd_event(VK_OFF, 0, kSilentKeyUp, 0);
  return true;
}

// --- Threads -----------------------------------------------------------------

unsigned long CPowerNotificationThread::Run(void* param) {
  if (param == nullptr) return 0;
  CHAL& hal = *static_cast<CHAL*>(param);
  CNotificationQueueReader reader(
      StopEvent().GetHandle(), kPowerQueueMaxMessage, hal.PollPeriodMs(),
      [](HANDLE queue) { return RequestPowerNotifications(queue, POWER_NOTIFY_ALL); },
      &StopPowerNotifications);
  alignas(DWORD) std::uint8_t buffer[kPowerBroadcastBufferSize];
  DWORD read = 0;
  while (reader.Next(buffer, read)) {
    if (read < 2 * sizeof(DWORD)) continue;
    DWORD message = 0;
    DWORD stateFlags = 0;
    std::memcpy(&message, buffer, sizeof message);
    std::memcpy(&stateFlags, buffer + sizeof(DWORD), sizeof stateFlags);
    if (message == PBT_TRANSITION && stateFlags == POWER_STATE_SUSPEND) {
      hal.Notify<ISuspendResumeDeviceListener>(true);
    } else if (message == PBT_RESUME) {
      hal.Notify<ISuspendResumeDeviceListener>(false);
    }
  }
  return 0;
}

unsigned long CPollingThread::Run(void* param) {
  if (param == nullptr) return 0;
  CHAL& hal = *static_cast<CHAL*>(param);
  const DWORD periodMs = hal.PollPeriodMs();
  VolumeInfo lastVolume{0, false};
  PMPowerInfo current{0, 0};
  PMPowerInfo lastPower{0, 0};
  CHAL::KeyMap keyMap = hal.CopyKeyMap();

  // A stop event that cannot be waited for ends the thread instead of letting
  // it spin.
  while (StopEvent().Wait(0) == WAIT_TIMEOUT) {
    // What could not start (a thread, the key-event window) is started again
    // here too, for the parts no exported call would reach.
    hal.RetryStart();

    unsigned int volume = 0;
    hal.GetVolume(volume);
    if (volume != lastVolume.volume || lastVolume.muted) {
      lastVolume.volume = static_cast<unsigned char>(volume);
      lastVolume.muted = false;  // the library keeps no mute state of its own
      hal.Notify<IVolumeListener>(lastVolume);
    }

    if (hal.IsForegroundTrackingEnabled()) {
      const bool inForeground = hal.IsApplicationInForeground();
      if (inForeground && !hal.m_bInForeground) {
        unsigned int percent = 0;
        hal.GetBrightness(percent);
        hal.SetBrightness(percent, 100);
        hal.m_bResetIdleTimer.store(true);
        hal.OnForegroundChanged(true);
        hal.m_bInForeground = true;
        hal.ActivateSharedHardwareKeyMap(keyMap);
      } else if (!inForeground && hal.m_bInForeground) {
        hal.m_bResetIdleTimer.store(false);
        hal.OnForegroundChanged(false);
        hal.m_bInForeground = false;
        hal.DeactivateSharedHardwareKeyMap(keyMap);
      }
    }

    hal.PMGetPowerInfo(current);
    if (current.batteryLevel != lastPower.batteryLevel || current.powerState != lastPower.powerState) {
      hal.Notify<IPMPowerListener>(current);
      lastPower = current;
    }

    // The period is the stop wait's time-out, so a stop request ends the
    // thread at once instead of after the rest of the period.
    if (StopEvent().Wait(periodMs) != WAIT_TIMEOUT) break;
    hal.ResetIdleTimerTick();
  }
  return 0;
}

// Levels 1 to 4 of the HAL object, and the device threads level 2 owns. Each
// level derives from the one before and overrides the operations its device
// level provides:
//   CHALCommon    (1) the key-event window, time and time-zone services
//   CHALWinCE     (2) the device threads and the generic device services
//   CHALPlatform  (3) platform settings, the default key map, memory split
//   CHALExternApi (4) the vendor library, FM settings; the concrete class
// The bodies of the operations and of the threads are in the service files.
#pragma once

#include <bitset>
#include <mutex>

#include "ce/time.h"
#include "hal/hal.h"
#include "pndhal/records.h"
#include "runtime/hal_thread.h"
#include "runtime/message_window_thread.h"

class CHALCommon : public CHAL {
 public:
  static constexpr const wchar_t* kKeyEventWindowTitle = L"KeyEventMessageWin";

  CHALCommon();
  ~CHALCommon() override;

  void ConnectKeyEventHandler() override;
  void DeactivateSharedHardwareKeyMap(KeyMap& map) override;
  bool GetLocalNavTime(CNavTime& time) override;
  bool GetGMTNavTime(CNavTime& time) override;
  bool SetLocalNavTime(CNavTime& time) override;
  bool SetGMTNavTime(CNavTime& time) override;
  bool SetTimezone(CNavTimeZone const& zone) override;
  CNavTimeZone GetTimezone() override;
  bool GetAvailableTimezones(Container::ZuVector<CNavTimeZone>& zones) override;
  bool SetVolume(unsigned int percent) override;
  bool GetVolume(unsigned int& percent) override;

  /// The key-event window on which hot keys are registered (null if it
  /// could not be created).
  HWND KeyEventWindow() const { return m_keyEventWindow.Window(); }
  /// The thread that runs the key-event window.
  CMessageWindowThread& KeyEventWindowThread() { return m_keyEventWindow; }

  /// Replaces the key map with `map` and grabs its keys, all or nothing: true
  /// when the new map is in force with every key grabbed; false when memory or
  /// a key could not be had, leaving the previous map in force and grabbed.
  /// Keys the two maps share stay grabbed throughout.
  bool SetKeyMap(KeyMap const& map) override;

 protected:
  /// Virtual-key codes run from 0 to 255.
  static constexpr std::size_t kKeyCodes = 256;

  void CompleteStart() override;

  /// Grabs every code of `map` as a hot key of the key-event window, all or
  /// nothing: when one cannot be grabbed, the codes this call grabbed are let
  /// go again (those grabbed before stay) and the result is false. False too
  /// without a key-event window. Requires m_grabLock.
  bool GrabKeys(KeyMap const& map);
  /// Lets go of every code of `map`. Requires m_grabLock.
  void ReleaseKeys(KeyMap const& map);
  /// Attaches OnHotKey to the key-event window's hot keys once; false when
  /// it cannot be attached.
  bool AttachKeyHandler();
  /// Grabs the keys of the key map; false as GrabKeys.
  bool GrabKeyMap();
  /// Lets go of the keys of the key map.
  void ReleaseKeyMap();

  /// Detaches this object's handlers from the key-event window, waiting for
  /// a handler call in flight. The concrete level calls it first thing in its
  /// destructor, so no key is dispatched into a half-destroyed object.
  void DetachKeyEventHandlers();

  /// Sets the system's bias from `zone` at the UTC time `now`.
  static bool ApplyZoneBias(CNavTimeZone const& zone, CNavTime const& now);

  CMessageWindowThread m_keyEventWindow;
  std::atomic<bool> m_bKeyHandlerWanted{false};  // Start asked for the key handler
  std::atomic<bool> m_bKeyHandlerAttached{false};
  // Serialises grabbing and letting go of keys and replacing the key map, so
  // a failed change can be undone exactly. Taken before m_keyMapLock.
  std::mutex m_grabLock;
  // The codes grabbed on the key-event window, and whether they include every
  // key of the key map. Guarded by m_grabLock.
  std::bitset<kKeyCodes> m_grabbedKeys;
  bool m_bKeyMapGrabbed = false;
  const wchar_t* m_pszTimeZonesKey;
  REG_TZI_FORMAT m_tziBuffer{};  // each "TZI" value of the database is read into it
};

// The threads of level 2, each started with the HAL object as its parameter:
// the device threads it owns as members, storage-card detection
// (storage_card.cpp), the polling of volume, foreground and power state, and
// power notifications (power.cpp); and the short-lived thread of a backlight
// fade that SetBrightness runs (display.cpp).

class CStorageCardThread final : public CHALThread {
 public:
  CStorageCardThread() : CHALThread(0) {}
  ~CStorageCardThread() override { Shutdown(); }
  unsigned long Run(void* param) override;

 private:
  // Refilled for every notification; listeners get it only during the call.
  CardInfo m_cardInfo{};
};

class CPollingThread final : public CHALThread {
 public:
  CPollingThread() : CHALThread(0) {}
  ~CPollingThread() override { Shutdown(); }
  unsigned long Run(void* param) override;
};

class CPowerNotificationThread final : public CHALThread {
 public:
  CPowerNotificationThread() : CHALThread(0) {}
  ~CPowerNotificationThread() override { Shutdown(); }
  unsigned long Run(void* param) override;
};

/// Fades the backlight from its current level towards a target percentage in
/// steps of the HAL's fade step, under the process-wide fade lock.
class CBrightnessFadeThread final : public CHALThread {
 public:
  CBrightnessFadeThread(unsigned int targetPercent, unsigned int fade)
      : CHALThread(0), m_uiTargetPercent(targetPercent), m_uiFade(fade) {}
  ~CBrightnessFadeThread() override { Shutdown(); }
  unsigned long Run(void* param) override;

 private:
  unsigned int m_uiTargetPercent;
  unsigned int m_uiFade;
};

class CHALWinCE : public CHALCommon {
 public:
  CHALWinCE();
  ~CHALWinCE() override;

  void Start() override;
  void StopThreads() override;
  bool SetTimezone(CNavTimeZone const& zone) override;
  bool SetScreenOrientation(bool const& landscape) override;
  bool GetScreenOrientation(DisplayInfo& info) override;
  bool SetBrightness(unsigned int percent, unsigned int fade) override;
  bool PMDisplayOff() override;
  bool PMDisplayOn() override;
  unsigned int RoundBrightness(float level) override;
  void GetRawBrightness(unsigned int& level) override;
  void SetRawBrightness(unsigned int const& level) override;
  bool Mute(bool mute) override;
  bool PMGetPowerInfo(PMPowerInfo& info) override;
  bool ResetDevice() override;
  bool SuspendDevice() override;
  void StartResetIdleTimer() override;
  void StopResetIdleTimer() override;
  bool IsApplicationInForeground() override;
  bool GetDeviceID(wchar_t* buffer, int length) override;
  bool CalibrateTouchscreen() override;
  bool OpenContacts() override;
  bool GetDeviceInfo(eDeviceInfoID id, wchar_t* buffer, unsigned long length) override;

  virtual void RunTouchCalibration();                        // 79
  virtual void AdjustDeviceInfo(unsigned char* record) = 0;  // 80

 protected:
  void CompleteStart() override;
  /// Starts each device thread that should run and does not; marks the
  /// start pending when one cannot start. Requires m_startLock.
  void StartDeviceThreads();

  /// Whether `percent` is what the display reads once PMDisplayOff dimmed it.
  bool IsDisplayAsOffLeftIt(unsigned int percent) const;

  DWORD m_dwCreatorThreadId;
  // Guards what Mute and PMDisplayOff save for their restores: the saved
  // brightness and volume and whether they are in force.
  std::mutex m_savedStateLock;
  unsigned int m_uiSavedBrightness = 0;
  bool m_bDisplayOff = false;
  bool m_bMuted = false;
  bool m_bVolumeSaved = false;
  CStorageCardThread m_storageCardThread;
  CPollingThread m_pollingThread;
  CPowerNotificationThread m_powerNotificationThread;
  // Guarded by m_startLock: the device threads should run (from Start to
  // StopThreads), and the power key is left to the system
  // (ActivatePowerKey(true)), so the power-notification thread should not.
  bool m_bThreadsWanted = false;
  bool m_bPowerKeyActivated = false;
  // Callers of ActivatePowerKey(true) still waiting for the thread they
  // stopped: the thread is not started again until they have seen it end.
  int m_iPowerStopsAwaited = 0;
};

class CHALPlatform : public CHALWinCE {
 public:
  CHALPlatform();
  ~CHALPlatform() override;

  bool ActivateSharedHardwareKeyMap(KeyMap& map) override;
  void FillDefaultKeyMap(KeyMap& map) override;
  void OnHotKey(unsigned int message, unsigned int wParam, long lParam, bool* handled) override;
  void AdjustDeviceInfo(unsigned char* record) override;
  bool GetBrightness(unsigned int& percent) override;
  void ActivatePowerKey(bool activate) override;
  void ResetIdleTimerTick() override;
  void SetMemorySplit(int percent) override;
  void RestoreMemorySplit() override;
  void RunTouchCalibration() override;
  virtual void MapUnmappedKey(unsigned int const& message, unsigned int const& wParam,
                              eHardwareKey& key);  // 81

 protected:
  void CompleteStart() override;
  /// Fills `map` with this level's default keys; false when one could not be
  /// added for want of memory.
  static bool FillPlatformDefaults(KeyMap& map);
  /// Fills the key map with the defaults when it never got them, and grabs
  /// its keys unless they are grabbed; true when both are done.
  bool StartKeyMap();

  int m_iSavedMemorySplit = 0;
};

class CHALExternApi final : public CHALPlatform {
 public:
  CHALExternApi();
  ~CHALExternApi() override;

  void Start() override;
  void DestroyBTHAL() override;
  void CreateBTHAL() override;
  void FillDefaultKeyMap(KeyMap& map) override;
  bool GetBrightness(unsigned int& percent) override;
  bool SetBrightness(unsigned int percent, unsigned int fade) override;
  void GetRawBrightness(unsigned int& level) override;
  void SetRawBrightness(unsigned int const& level) override;
  bool SuspendDevice() override;
  bool IsForegroundTrackingEnabled() override;
  bool IsFMTransmitterActive() override;
  void SetFMBandwidth(unsigned int const& low, unsigned int const& high) override;
  void GetFMBandwidth(unsigned int& low, unsigned int& high) override;
  void SetMemorySplit(int percent) override;
  void RestoreMemorySplit() override;
  bool GetDeviceID(wchar_t* buffer, int length) override;
  bool GetDeviceInfo(eDeviceInfoID id, wchar_t* buffer, unsigned long length) override;
  bool ReadFlash(unsigned long offset, unsigned char* buffer, unsigned long length) override;
  bool WriteFlash(unsigned long offset, unsigned char* buffer, unsigned long length) override;
  bool GetBtMACAddr(wchar_t* buffer, int length) override;

 private:
  bool m_bFMTransmitterActive = false;
  unsigned int m_uiFMBandHigh = 1070;
  unsigned int m_uiFMBandLow = 880;
};

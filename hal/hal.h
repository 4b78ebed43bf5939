// Level 0 of the HAL object: the listener registries, the key map, the level
// settings and the defaults of the 79 operations every level shares. The
// exported functions, the worker threads and the key-event window reach the
// device only through these virtual operations.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "pndhal/api.h"
#include "pndhal/navtime.h"
#include "pndhal/navtimezone.h"
#include "runtime/listener_registry.h"
#include "runtime/zu_new.h"

class CHAL : public runtime::ZuAllocated {
 public:
  using KeyMap = HardwareKeyMap;

  CHAL();
  CHAL(const CHAL&) = delete;
  CHAL& operator=(const CHAL&) = delete;

  // Operations in declaration order; the comment gives each its number.
  virtual void Start();                                                                          // 0
  virtual ~CHAL();                                                                               // 1
  virtual void DestroyBTHAL();                                                                   // 2
  virtual void CreateBTHAL();                                                                    // 3
  virtual void EnsureBTHAL();                                                                    // 4
  virtual void StopThreads();                                                                    // 5
  virtual void Connect(IHardwareKeyListener* listener);                                          // 6
  virtual bool SearchStorageCard(CardInfo& card);                                                // 7
  virtual void ConnectKeyEventHandler();                                                         // 8
  virtual bool ActivateSharedHardwareKeyMap(KeyMap& map);                                        // 9
  virtual void DeactivateSharedHardwareKeyMap(KeyMap& map);                                      // 10
  virtual void FillDefaultKeyMap(KeyMap& map);                                                   // 11
  virtual void OnHotKey(unsigned int message, unsigned int wParam, long lParam, bool* handled);  // 12
  virtual bool GetLocalNavTime(CNavTime& time);                                                  // 13
  virtual bool GetGMTNavTime(CNavTime& time);                                                    // 14
  virtual bool SetLocalNavTime(CNavTime& time);                                                  // 15
  virtual bool SetGMTNavTime(CNavTime& time);                                                    // 16
  virtual bool SetTimezone(CNavTimeZone const& zone);                                            // 17
  virtual CNavTimeZone GetTimezone();                                                            // 18
  virtual bool GetAvailableTimezones(Container::ZuVector<CNavTimeZone>& zones);                  // 19
  virtual bool SetScreenOrientation(bool const& landscape);                                      // 20
  virtual bool GetScreenOrientation(DisplayInfo& info);                                          // 21
  virtual bool GetBrightness(unsigned int& percent);                                             // 22
  virtual bool SetBrightness(unsigned int percent, unsigned int fade);                           // 23
  virtual bool PMDisplayOff();                                                                   // 24
  virtual bool PMDisplayOn();                                                                    // 25
  virtual bool Reserved26();                                                                     // 26
  virtual bool Reserved27();                                                                     // 27
  virtual unsigned int RoundBrightness(float level);                                             // 28
  virtual void GetRawBrightness(unsigned int& level);                                            // 29
  virtual void SetRawBrightness(unsigned int const& level);                                      // 30
  virtual bool SetVolume(unsigned int percent);                                                  // 31
  virtual bool GetVolume(unsigned int& percent);                                                 // 32
  virtual bool Mute(bool mute);                                                                  // 33
  virtual bool IsMuted(bool& muted);                                                             // 34
  virtual bool PMGetPowerInfo(PMPowerInfo& info);                                                // 35
  virtual bool PMPowerOff();                                                                     // 36
  virtual bool ResetDevice();                                                                    // 37
  virtual bool SuspendDevice();                                                                  // 38
  virtual bool GetDeviceID(wchar_t* buffer, int length);                                         // 39
  virtual bool CalibrateTouchscreen();                                                           // 40
  virtual void StartResetIdleTimer();                                                            // 41
  virtual void StopResetIdleTimer();                                                             // 42
  virtual void ActivatePowerKey(bool activate);                                                  // 43
  virtual void SetMemorySplit(int percent);                                                      // 44
  virtual void RestoreMemorySplit();                                                             // 45
  virtual bool OpenContacts();                                                                   // 46
  virtual bool SetSystemLanguage(unsigned long language);                                        // 47
  virtual bool GetDeviceInfo(eDeviceInfoID id, wchar_t* buffer, unsigned long length);           // 48
  virtual bool ReadFlash(unsigned long offset, unsigned char* buffer, unsigned long length);     // 49
  virtual bool WriteFlash(unsigned long offset, unsigned char* buffer, unsigned long length);    // 50
  virtual bool IsForegroundTrackingEnabled();                                                    // 51
  virtual bool IsApplicationInForeground();                                                      // 52
  virtual void OnForegroundChanged(bool inForeground);                                           // 53
  virtual void ResetIdleTimerTick();                                                             // 54
  virtual bool ActivateFMTransmitter(bool on);                                                   // 55
  virtual bool IsFMTransmitterActive();                                                          // 56
  virtual bool SetFMPiCode(unsigned short code);                                                 // 57
  virtual bool SetFMStationName(wchar_t const* name);                                            // 58
  virtual bool SetFMRadioText(wchar_t const* text);                                              // 59
  virtual bool MuteFM(bool mute);                                                                // 60
  virtual void SetFMFrequencySearchStepSize(unsigned int const& step);                           // 61
  virtual bool SetFMFrequency(unsigned int frequency);                                           // 62
  virtual bool StepFMFrequencyForward(unsigned int const& step);                                 // 63
  virtual bool StepFMFrequencyBackward(unsigned int const& step);                                // 64
  virtual bool GetFMFrequency(unsigned int& frequency);                                          // 65
  virtual bool SetFMPower(unsigned int power);                                                   // 66
  virtual void SetFMBandwidth(unsigned int const& low, unsigned int const& high);                // 67
  virtual void GetFMBandwidth(unsigned int& low, unsigned int& high);                            // 68
  virtual bool SetFMMode(unsigned int mode);                                                     // 69
  virtual bool GetFMMode(unsigned int& mode);                                                    // 70
  virtual bool SetDynamicControl(FMDRCSetting const& setting);                                   // 71
  virtual void GetDynamicControl(FMDRCSetting& setting);                                         // 72
  virtual bool SetFMEmphasis(unsigned int const& emphasis);                                      // 73
  virtual void ActivateSRAudio(bool const& on);                                                  // 74
  virtual bool SetMicVolume(unsigned int const& volume);                                         // 75
  virtual bool GetMicVolume(unsigned int& volume);                                               // 76
  virtual bool ActivateRemoteControl(bool on);                                                   // 77
  virtual bool GetBtMACAddr(wchar_t* buffer, int length);                                        // 78

  // Registries, used by the exported Connect/Disconnect and by the threads
  // that raise events.
  runtime::ListenerRegistry<IHardwareKeyRecordListener> m_keyRecordListeners;
  runtime::ListenerRegistry<IPMPowerListener> m_powerListeners;
  runtime::ListenerRegistry<IVolumeListener> m_volumeListeners;
  runtime::ListenerRegistry<ICardListener> m_cardListeners;
  runtime::ListenerRegistry<ISuspendResumeDeviceListener> m_suspendResumeListeners;

  /// Calls every power listener with `info`, in registration order.
  void NotifyPower(PMPowerInfo const& info);
  void NotifyVolume(VolumeInfo const& volume);
  void NotifyCard(CardInfo const& card);
  void NotifySuspendResume(bool const& suspending);

  /// A copy of the key map taken in one piece.
  KeyMap CopyKeyMap() const;
  /// Replaces the key map in one piece; false (unchanged) when memory ran out.
  bool ReplaceKeyMap(KeyMap const& map);

  void SetRecordMode(bool on) { m_bRecordMode.store(on); }

  /// Finishes a key start-up that memory ran out for (the default map, the
  /// grab of its keys or the key handler), as soon as the HAL is used again.
  /// Until it succeeds no key is grabbed, so no press is lost unseen.
  void RetryKeyStart() {
    // Read first: every exported call passes here, and a plain load keeps
    // the common case free of a write to a shared line.
    if (m_bKeyStartPending.load(std::memory_order_relaxed) && m_bKeyStartPending.exchange(false)) {
      CompleteKeyStart();
    }
  }
  /// Removes the first registration of a key listener.
  void DisconnectKeyListener(IHardwareKeyListener* listener) { m_keyListeners.Disconnect(listener); }

 protected:
  /// Does what is left of the key start-up; sets m_bKeyStartPending again
  /// when it still cannot. Not one of the numbered operations.
  virtual void CompleteKeyStart() {}

  // The device threads read the level settings and the foreground flags.
  friend class CBrightnessFadeThread;
  friend class CPollingThread;

  // The daylight name read by the last GetTimezone and the display name read
  // last by GetAvailableTimezones.
  String::StringProxy<String::ZuStringImpl> m_timeZoneDaylightName;
  String::StringProxy<String::ZuStringImpl> m_timeZoneDisplayName;
  /// The key map; read by the key-event window, replaced by the application.
  /// Guarded by m_keyMapLock.
  KeyMap m_keyMap;
  mutable std::mutex m_keyMapLock;
  std::atomic<bool> m_bRecordMode{false};
  std::atomic<bool> m_bKeyStartPending{false};
  unsigned int m_uiMaxBrightnessLevel = 10;
  unsigned int m_uiMinBrightnessLevel = 0;
  unsigned int m_uiFadeStep = 20;
  unsigned int m_uiPollSeconds = 5;
  bool m_bInForeground = false;
  std::atomic<bool> m_bResetIdleTimer{false};
  runtime::ListenerRegistry<IHardwareKeyListener> m_keyListeners;
  unsigned int m_uiSavedVolume = 0;
};

/// The HAL singleton, created and started on first use; null when it could
/// not be allocated.
CHAL* GetHALInstance();

/// The HAL singleton if it exists, without creating it or finishing its
/// start-up.
CHAL* PeekHALInstance();

/// The phone-link object of the process, or null.
CBTHAL*& BTHALPointer();

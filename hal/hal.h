// Level 0 of the HAL object: the listener registries, the key map, the level
// settings and the 79 operations every level shares (each service's file
// defines its operations' defaults, hal.cpp the rest), and the lease an
// exported call holds the HAL by. The exported functions, the worker threads
// and the key-event window reach the device only through these virtual
// operations.
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

  /// The registry of each listener kind of PNDHAL_LISTENERS.
  template <class Listener>
  runtime::ListenerRegistry<Listener>& Registry();

  /// Calls every listener of the kind `Listener` with `event`, in registration order, on the calling
  /// thread.
  template <class Listener, class Event>
  void Notify(Event const& event) {
    Registry<Listener>().ForEach([&](Listener* listener) { listener->Notify(event); });
  }

  /// A copy of the key map taken in one piece.
  KeyMap CopyKeyMap() const;
  /// Replaces the key map and grabs its keys, all or nothing (the levels
  /// with a key-event window); false here. Not one of the numbered
  /// operations: SetHardwareKeyMap's body.
  virtual bool SetKeyMap(KeyMap const& map);

  void SetRecordMode(bool on) { m_bRecordMode.store(on); }

  /// Starts again what could not start (the key-event window and its keys,
  /// the key handler, a device thread): called by every exported call and by
  /// each round of the polling thread. Until a part runs, the operations that
  /// need it answer false. Costs one load when nothing is pending; skips the
  /// work when another thread is doing it.
  void RetryStart() {
    if (!m_bStartPending.load(std::memory_order_relaxed)) return;
    std::unique_lock lock(m_startLock, std::try_to_lock);
    if (lock.owns_lock() && m_bStartPending.exchange(false)) CompleteStart();
  }
  /// The polling thread's period; also how often a device thread tries again
  /// for a notification queue the platform refused.
  DWORD PollPeriodMs() const { return m_uiPollSeconds * 1000; }

 protected:
  /// Starts what has not started yet; calls MarkStartPending() for what
  /// still cannot. Runs under m_startLock. Not one of the numbered operations.
  virtual void CompleteStart() {}
  /// Asks the next exported call (or polling round) to run CompleteStart.
  void MarkStartPending() { m_bStartPending.store(true); }

  // The device threads read the level settings and the foreground flags.
  friend class CBrightnessFadeThread;
  friend class CPollingThread;

  // The daylight name read by the last GetTimezone and the display name read
  // last by GetAvailableTimezones.
  String::StringProxy<String::ZuStringImpl> m_timeZoneDaylightName;
  String::StringProxy<String::ZuStringImpl> m_timeZoneDisplayName;
  /// The key map; read by the key-event window, replaced by the application.
  /// Changed only with both the level-1 grab lock and m_keyMapLock held, so
  /// either of them is enough to read it.
  KeyMap m_keyMap;
  mutable std::mutex m_keyMapLock;
  std::atomic<bool> m_bRecordMode{false};
  std::atomic<bool> m_bStartPending{false};
  // Held while parts are started again, and by the operations that start or
  // stop a part themselves (ActivatePowerKey), so the two never cross.
  std::mutex m_startLock;
  unsigned int m_uiMaxBrightnessLevel = 10;
  unsigned int m_uiMinBrightnessLevel = 0;
  unsigned int m_uiFadeStep = 20;
  unsigned int m_uiPollSeconds = 5;
  bool m_bInForeground = false;
  std::atomic<bool> m_bResetIdleTimer{false};
  runtime::ListenerRegistry<IHardwareKeyListener> m_keyListeners;
  unsigned int m_uiSavedVolume = 0;
};

// Each listener kind's registry, X(interface, registry).
#define PNDHAL_REGISTRIES(X)                          \
  X(IHardwareKeyListener, m_keyListeners)             \
  X(IHardwareKeyRecordListener, m_keyRecordListeners) \
  X(IPMPowerListener, m_powerListeners)               \
  X(IVolumeListener, m_volumeListeners)               \
  X(ICardListener, m_cardListeners)                   \
  X(ISuspendResumeDeviceListener, m_suspendResumeListeners)

// A type names the registry: it cannot stand in parentheses.
// NOLINTBEGIN(bugprone-macro-parentheses)
#define PNDHAL_REGISTRY_OF(Interface, registry)                   \
  template <>                                                     \
  inline runtime::ListenerRegistry<Interface>& CHAL::Registry() { \
    return registry;                                              \
  }
// NOLINTEND(bugprone-macro-parentheses)
PNDHAL_REGISTRIES(PNDHAL_REGISTRY_OF)
#undef PNDHAL_REGISTRY_OF

/// The HAL singleton, created and started on first use; null when it could
/// not be allocated. For the library's own code, which runs inside an
/// exported call or on one of the HAL's threads: exported functions hold a
/// HalCall instead.
CHAL* GetHALInstance();

/// The HAL singleton if it exists, without creating it or finishing its
/// start-up.
CHAL* PeekHALInstance();

/// The HAL, held for the length of one exported call. FreeDLL waits until no
/// call holds the HAL before it tears it down, and while it tears it down
/// every new call finds no HAL and reports failure; so no call ever runs on a
/// freed HAL. Nested calls (from a listener the call invokes) hold it again.
///
/// An exported function that forwards to one operation lives in its service's
/// file: it holds a HalCall, passes its arguments through and returns the
/// operation's result, or reports failure (false, or nothing done) when no HAL
/// could be created or FreeDLL is tearing it down.
class HalCall {
 public:
  enum class Use {
    kCreate,    ///< create and start the HAL when none exists
    kExisting,  ///< only the HAL that exists: a call that takes something away
  };
  explicit HalCall(Use use = Use::kCreate);
  ~HalCall();
  HalCall(const HalCall&) = delete;
  HalCall& operator=(const HalCall&) = delete;

  explicit operator bool() const { return m_pHal != nullptr; }
  CHAL* operator->() const { return m_pHal; }
  CHAL& operator*() const { return *m_pHal; }

 private:
  CHAL* m_pHal;
};

/// The current HAL's phone link, or null. Set by CreateBTHAL, cleared by
/// DestroyBTHAL; read by the calls that hold the HAL.
std::atomic<CBTHAL*>& BTHALPointer();

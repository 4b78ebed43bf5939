// Internals of the simulated telephone program shared by its parts: the
// protocol's message names and records, and the state the program and its
// control API share.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <string>
#include <vector>

#include "ce/window.h"
#include "pndsim/telephone.h"
#include "sim/kernel/kernel.h"

namespace sim::telephone {

/// The protocol's registered messages, in the order of kMessageNames.
enum Message : int {
  kShowHidePhoneline,
  kShowHideDialer,
  kShowHideSetting,
  kShowHideFloatingWnd,
  kBtPower,
  kGetBtPower,
  kBtPowerStatus,
  kGetCallStatus,
  kCallStatus,
  kHangUp,
  kGetMissCall,
  kMissCall,
  kQueryFunction,
  kGprsConnection,
  kChangeLang,
  kErrorCode,
  kGetVersion,
  kMenuAnimation,
  kChgForegroundApp,
  kVolumeRequest,
  kVolumeIndex,
  kFactoryReset,
  kMessageCount
};

/// The names the program registers its messages under.
extern const wchar_t* const kMessageNames[kMessageCount];

/// The number of `message`, registered on first use.
UINT MessageId(Message message);

/// The copy-data records: register and unregister carry two fields of 100
/// UTF-16 units (400 bytes), the text record one field of 260 (520 bytes).
inline constexpr std::uintptr_t kRegisterRecord = 11024;
inline constexpr std::uintptr_t kUnregisterRecord = 11025;
inline constexpr std::uintptr_t kTextRecord = 11026;
inline constexpr std::uint32_t kStatusRecordBytes = 400;
inline constexpr std::uint32_t kTextRecordBytes = 520;
inline constexpr const wchar_t* kWindowTitle = L"ORX_TELBRIDGE";

/// What the program and the control API share; guarded by `mutex`. Nothing
/// that takes the kernel lock runs with it held.
struct Shared {
  Shared() { RestoreBuiltIn(); }  // not shared yet: no lock to take

  Mutex mutex;
  std::condition_variable changed;  // waits with `mutex`
  pndsim::TelephoneState state GUARDED_BY(mutex);
  HWND window GUARDED_BY(mutex) = nullptr;
  int instances GUARDED_BY(mutex) = 0;  // main functions running
  std::uint32_t windowDelay GUARDED_BY(mutex) = 0;
  bool stopRequested GUARDED_BY(mutex) = false;
  std::uint64_t requested GUARDED_BY(mutex) = 0;  // control requests posted
  std::uint64_t handled GUARDED_BY(mutex) = 0;    // control requests handled
  BoundedRecord<pndsim::TelephoneMessage> log GUARDED_BY(mutex){pndsim::kDefaultTelephoneLogCapacity};

  /// Puts the state and the window delay back to the built-in profile's.
  void RestoreBuiltIn() REQUIRES(mutex);
};

Shared& State();

/// The program's main function.
std::uint32_t TelephoneMain(const std::string& commandLine);

/// The private message through which the control API asks the program (on
/// its own thread) to report a state: wParam the Message to send, lParam the
/// request number.
UINT ControlMessage();

}  // namespace sim::telephone

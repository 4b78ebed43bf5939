// Control of the simulated telephone program that the phone link drives: its
// Bluetooth power, call state, foreground and volume step as the user or the
// phone would change them, its start-up behaviour, another application
// holding a status window, and the log of every message it received.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pndsim/control.h"

namespace pndsim {

/// Where the default device stores the telephone program: in the folder
/// "TelBridge" beside the application's folder.
inline constexpr const char* kTelephoneProgramPath = "\\Storage Card\\TelBridge\\TelBridge.exe";

/// The telephone program's call states, as it reports them.
namespace TelephoneCall {
inline constexpr int Idle = 0;      ///< no call (also after a call ended)
inline constexpr int Incoming = 1;  ///< ringing
inline constexpr int Outgoing = 2;  ///< dialling
inline constexpr int Active = 3;    ///< talking
inline constexpr int Held = 4;      ///< on hold
}  // namespace TelephoneCall

/// The telephone program's foreground reports.
namespace TelephoneForeground {
inline constexpr int Application = 1;  ///< the navigation application is in front
inline constexpr int Telephone = 2;    ///< the telephone program's window is in front
}  // namespace TelephoneForeground

/// What the telephone program holds.
struct TelephoneState {
  bool running = false;        ///< its window exists
  bool windowVisible = false;  ///< the phone line is shown
  int bluetoothPower = 1;      ///< 1 on, 0 off
  int callState = 0;           ///< a TelephoneCall value, or what SetTelephoneCallState set
  int foreground = 1;          ///< a TelephoneForeground value, or what SetTelephoneForeground set
  unsigned volumeStep = 5;     ///< 0 to 10
  std::uint32_t language = 0x0409;
  std::vector<std::string> statusWindows;  ///< registered titles, in order, UTF-8
  std::string lastText;                    ///< the last text record, UTF-8
  std::string commandLine;                 ///< of its last start
  int menuAnimations = 0;
  int factoryResets = 0;
};

/// The calls below that wait for the program must not be made from a phone-link
/// listener: the program's report would wait for the very thread that waits for
/// it, and the call gives up after five seconds.

/// The telephone program's current state.
PNDSIM_CONTROL_API TelephoneState Telephone();

/// Switches Bluetooth on (1) or off (0; a call then ends); any other value
/// makes the program report an unknown power state. The program reports the
/// new power state to every registered status window; the call returns once
/// those reports were handled. Returns whether the program runs (when it
/// does not, the state is kept for its next start and nobody is told).
PNDSIM_CONTROL_API bool SetTelephoneBluetoothPower(int power);
/// Sets the call state (a TelephoneCall value; any other number is passed on
/// as it is) and reports it, as SetTelephoneBluetoothPower does.
PNDSIM_CONTROL_API bool SetTelephoneCallState(int state);
/// Reports a foreground change (a TelephoneForeground value; any other number
/// is passed on as it is), as SetTelephoneBluetoothPower does.
PNDSIM_CONTROL_API bool SetTelephoneForeground(int foreground);
/// Sets the volume step the program reports (0 to 10 on a real phone; any
/// number is passed on) and reports it, as SetTelephoneBluetoothPower does.
PNDSIM_CONTROL_API bool SetTelephoneVolumeStep(unsigned step);

/// Makes the program's window appear `milliseconds` (device time) after the
/// program starts, from the next start on; 0 (the default) at once.
PNDSIM_CONTROL_API void SetTelephoneWindowDelay(std::uint32_t milliseconds);
/// The delay SetTelephoneWindowDelay set.
PNDSIM_CONTROL_API std::uint32_t TelephoneWindowDelay();
/// Sets the language (a language identifier, 0x0409 by default) the program
/// runs in, as if the user had chosen it.
PNDSIM_CONTROL_API void SetTelephoneLanguage(std::uint32_t language);
/// Stores the program at kTelephoneProgramPath (true, the default) or removes
/// it, so that starting it fails as for a missing file.
PNDSIM_CONTROL_API void SetTelephoneInstalled(bool installed);

/// Starts the program as another application would, with an empty command
/// line, and waits until its window exists. False when it cannot be started or
/// its window did not appear within five seconds of real time.
PNDSIM_CONTROL_API bool StartTelephone();
/// Closes the program (WM_CLOSE) and waits until it has ended; true when it
/// is not running afterwards.
PNDSIM_CONTROL_API bool StopTelephone();
/// Waits until the program has handled every message posted to it before
/// this call, with the reports it sent for them. False when it does not run
/// or did not answer within five seconds of real time.
PNDSIM_CONTROL_API bool SyncTelephone();

/// One message the telephone program's window received.
struct TelephoneMessage {
  std::string name;  ///< "WM_ORXBT_INMSG_VOLUMEREQUEST", "WM_COPYDATA", "WM_CLOSE", ...
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
  std::uint32_t dataKind = 0;       ///< copy-data: dwData
  std::uint32_t dataBytes = 0;      ///< copy-data: cbData
  std::vector<std::string> fields;  ///< copy-data: the UTF-16 text fields, decoded to UTF-8
  /// One line: the name, then "wParam lParam" or, for copy-data,
  /// "dwData cbData" and each field in double quotes.
  PNDSIM_CONTROL_API std::string Text() const;
};

/// The number of messages the log keeps after a reset.
inline constexpr std::size_t kDefaultTelephoneLogCapacity = 1000;
/// The messages the program received since the last reset or
/// ClearTelephoneLog(), in order (its own control messages excluded): the
/// newest, up to the log's capacity.
PNDSIM_CONTROL_API std::vector<TelephoneMessage> TelephoneLog();
/// The log as text, one line per message.
PNDSIM_CONTROL_API std::string TelephoneLogText();
/// Forgets the log and its count of dropped messages, and gives their memory
/// back.
PNDSIM_CONTROL_API void ClearTelephoneLog();
/// Makes the log keep at most `capacity` messages until the next reset,
/// forgetting at once (and counting as dropped) the oldest beyond it.
PNDSIM_CONTROL_API void SetTelephoneLogCapacity(std::size_t capacity);
/// How full the log is.
PNDSIM_CONTROL_API RecordStatus TelephoneLogStatus();

/// Opens a status window titled `title` (UTF-8) for another application that
/// uses the telephone too, and registers it with the program. False when one
/// is open already or the window could not be created.
PNDSIM_CONTROL_API bool OpenOtherStatusWindow(std::string_view title);
/// The reports the other application's status window received.
PNDSIM_CONTROL_API int OtherStatusWindowReports();
/// Unregisters and closes the other application's status window.
PNDSIM_CONTROL_API void CloseOtherStatusWindow();

}  // namespace pndsim

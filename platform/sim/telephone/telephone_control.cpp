// The control API of the simulated telephone program: state changes that the
// program reports from its own thread, start and stop, and its message log.
#include <chrono>

#include "ce/process.h"
#include "pndsim/programs.h"
#include "sim/kernel/kernel.h"
#include "sim/telephone/telephone_program.h"
#include "sim/text_codec/text_codec.h"

namespace sim::telephone {
namespace {

constexpr auto kAnswerLimit = std::chrono::seconds(5);

// Applies `change` to the state and, when the program runs, has it send
// `report` to its status windows; returns once they have handled it.
template <class Change>
bool ChangeAndReport(Message report, Change change) {
  Shared& shared = State();
  HWND window;
  std::uint64_t request;
  {
    sim::MutexLock lock(shared.mutex);
    change(shared.state);
    window = shared.window;
    if (window == nullptr) return false;
    request = ++shared.requested;
  }
  if (!PostMessageW(window, ControlMessage(), static_cast<WPARAM>(report), static_cast<LPARAM>(request))) {
    return false;
  }
  sim::MutexLock lock(shared.mutex);
  return shared.changed.wait_for(lock.native(), kAnswerLimit, [&]() REQUIRES(shared.mutex) {
    return shared.handled >= request || shared.window != window;
  }) && shared.handled >= request;
}

}  // namespace
}  // namespace sim::telephone

using namespace sim;
using namespace sim::telephone;

std::string pndsim::TelephoneMessage::Text() const {
  std::string line = name;
  if (name == "WM_COPYDATA") {
    line += " " + std::to_string(dataKind) + " " + std::to_string(dataBytes);
    for (const std::string& field : fields) line += " \"" + field + "\"";
  } else {
    line += " " + std::to_string(wParam) + " " + std::to_string(lParam);
  }
  return line;
}

pndsim::TelephoneState pndsim::Telephone() {
  Shared& shared = State();
  sim::MutexLock lock(shared.mutex);
  return shared.state;
}

bool pndsim::SetTelephoneBluetoothPower(int power) {
  return ChangeAndReport(kBtPowerStatus, [&](TelephoneState& state) {
    state.bluetoothPower = power;
    if (power == 0) state.callState = TelephoneCall::Idle;
  });
}

bool pndsim::SetTelephoneCallState(int callState) {
  return ChangeAndReport(kCallStatus, [&](TelephoneState& state) { state.callState = callState; });
}

bool pndsim::SetTelephoneForeground(int foreground) {
  return ChangeAndReport(kChgForegroundApp, [&](TelephoneState& state) { state.foreground = foreground; });
}

bool pndsim::SetTelephoneVolumeStep(unsigned step) {
  return ChangeAndReport(kVolumeIndex, [&](TelephoneState& state) { state.volumeStep = step; });
}

bool pndsim::SyncTelephone() {
  return ChangeAndReport(kMessageCount, [](TelephoneState&) {});
}

void pndsim::SetTelephoneWindowDelay(std::uint32_t milliseconds) {
  Shared& shared = State();
  sim::MutexLock lock(shared.mutex);
  shared.windowDelay = milliseconds;
}

std::uint32_t pndsim::TelephoneWindowDelay() {
  Shared& shared = State();
  sim::MutexLock lock(shared.mutex);
  return shared.windowDelay;
}

void pndsim::SetTelephoneLanguage(std::uint32_t language) {
  Shared& shared = State();
  sim::MutexLock lock(shared.mutex);
  shared.state.language = language;
}

void pndsim::SetTelephoneInstalled(bool installed) {
  if (installed) {
    InstallProgram(kTelephoneProgramPath, TelephoneMain);
  } else {
    RemoveProgram(kTelephoneProgramPath);
  }
}

bool pndsim::StartTelephone() {
  std::wstring path = Widen(kTelephoneProgramPath);
  PROCESS_INFORMATION information{};
  if (!CreateProcessW(path.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr,
                      &information)) {
    return false;
  }
  CloseHandle(information.hThread);
  CloseHandle(information.hProcess);
  Shared& shared = State();
  sim::MutexLock lock(shared.mutex);
  return shared.changed.wait_for(lock.native(), kAnswerLimit,
                                 [&]() REQUIRES(shared.mutex) { return shared.window != nullptr; });
}

bool pndsim::StopTelephone() {
  Shared& shared = State();
  HWND window;
  {
    sim::MutexLock lock(shared.mutex);
    if (shared.instances == 0) return true;
    shared.stopRequested = true;
    window = shared.window;
  }
  if (window != nullptr) PostMessageW(window, WM_CLOSE, 0, 0);
  sim::MutexLock lock(shared.mutex);
  return shared.changed.wait_for(lock.native(), kAnswerLimit,
                                 [&]() REQUIRES(shared.mutex) { return shared.instances == 0; });
}

std::vector<pndsim::TelephoneMessage> pndsim::TelephoneLog() {
  Shared& shared = State();
  sim::MutexLock lock(shared.mutex);
  return shared.log.Copy();
}

std::string pndsim::TelephoneLogText() {
  std::string text;
  for (const TelephoneMessage& message : TelephoneLog()) text += message.Text() + "\n";
  return text;
}

void pndsim::ClearTelephoneLog() {
  Shared& shared = State();
  sim::MutexLock lock(shared.mutex);
  shared.log.Clear();
}

void pndsim::SetTelephoneLogCapacity(std::size_t capacity) {
  Shared& shared = State();
  sim::MutexLock lock(shared.mutex);
  shared.log.SetCapacity(capacity);
}

pndsim::RecordStatus pndsim::TelephoneLogStatus() {
  Shared& shared = State();
  sim::MutexLock lock(shared.mutex);
  return shared.log.Status();
}

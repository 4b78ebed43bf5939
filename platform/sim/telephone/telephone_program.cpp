// The simulated telephone program: its hidden main window "ORX_TELBRIDGE",
// the requests it answers, the status windows it reports to, and the log of
// every message it received.
#include "sim/telephone/telephone_program.h"

#include <algorithm>

#include "ce/kernel.h"
#include "ce/utf16.h"
#include "sim/kernel/kernel.h"
#include "sim/programs/programs.h"
#include "sim/text_codec/text_codec.h"

namespace sim::telephone {

const wchar_t* const kMessageNames[kMessageCount] = {
    L"WM_ORXBT_INMSG_SHOWHIDE_PHONELINE",
    L"WM_ORXBT_INMSG_SHOWHIDE_DIALER",
    L"WM_ORXBT_INMSG_SHOWHIDE_SETTING",
    L"WM_ORXBT_INMSG_SHOWHIDE_FLOATINGWND",
    L"WM_ORXBT_INMSG_BTPOWER",
    L"WM_ORXBT_INMSG_GETBTPOWER",
    L"WM_ORXBT_OUTMSG_BTPOWERSTATUS",
    L"WM_ORXBT_INMSG_GETCALLSTATUS",
    L"WM_ORXBT_OUTMSG_CALLSTATUS",
    L"WM_ORXBT_INMSG_HANGUP",
    L"WM_ORXBT_INMSG_GETMISSCALL",
    L"WM_ORXBT_OUTMSG_MISSCALL",
    L"WM_ORXBT_INMSG_QUERYFUCTION",
    L"WM_ORXBT_INMSG_GPRSCONNECTION",
    L"WM_ORXBT_INMSG_CHANGELANG",
    L"WM_ORXBT_OUTMSG_ERRORCODE",
    L"WM_ORXBT_INMSG_GETVERSION",
    L"WM_ORXBT_INMSG_MENUANIMATION",
    L"WM_ORXBT_OUTMSG_CHGFORGROUNDAPP",
    L"WM_ORXBT_INMSG_VOLUMEREQUEST",
    L"WM_ORXBT_OUTMSG_VOLUMEINDEX",
    L"WM_ORXBT_INMSG_FACTORYRESET",
};

UINT MessageId(Message message) { return RegisterWindowMessageW(kMessageNames[message]); }

UINT ControlMessage() { return RegisterWindowMessageW(L"PNDSIM_TELEPHONE_CONTROL"); }

void Shared::RestoreBuiltIn() {
  const programs::ProgramsSetting& builtIn = programs::kProgramsSection.BuiltIn();
  state = pndsim::TelephoneState{};
  state.bluetoothPower = builtIn.telephoneBluetoothPower ? 1 : 0;
  state.volumeStep = builtIn.telephoneVolumeStep;
  state.language = builtIn.telephoneLanguage;
  windowDelay = builtIn.telephoneWindowDelay;
}

Shared& State() {
  static auto* shared = new Shared;
  return *shared;
}

namespace {

constexpr const wchar_t* kClassName = L"TelBridgeWindow";

// The UTF-16 text fields of `units` characters each in a copy-data record.
std::vector<std::string> DecodeFields(const COPYDATASTRUCT& data, std::size_t units) {
  std::vector<std::string> fields;
  const auto* bytes = static_cast<const BYTE*>(data.lpData);
  const std::size_t fieldBytes = units * 2;
  for (std::size_t at = 0; bytes != nullptr && at + fieldBytes <= data.cbData; at += fieldBytes) {
    std::wstring text(units + 1, L'\0');
    text.resize(ce::Utf16BytesToWide(bytes + at, fieldBytes, text.data(), text.size()));
    fields.push_back(Narrow(text.c_str()));
  }
  return fields;
}

void Log(pndsim::TelephoneMessage entry) {
  Shared& shared = State();
  sim::MutexLock lock(shared.mutex);
  shared.log.Add(std::move(entry));
}

// Sends one report to every registered status window that exists, as the
// program's own thread, and waits for each to handle it.
void Report(Message message, WPARAM wParam, LPARAM lParam) {
  std::vector<std::string> titles;
  {
    Shared& shared = State();
    sim::MutexLock lock(shared.mutex);
    titles = shared.state.statusWindows;
  }
  const UINT id = MessageId(message);
  for (const std::string& title : titles) {
    const std::wstring wide = Widen(title);
    if (HWND window = FindWindowW(nullptr, wide.c_str())) SendMessageW(window, id, wParam, lParam);
  }
}

void OnCopyData(const COPYDATASTRUCT& data) {
  pndsim::TelephoneMessage entry{"WM_COPYDATA", 0, 0, static_cast<std::uint32_t>(data.dwData),
                                 data.cbData,   {}};
  const bool status = data.dwData == kRegisterRecord || data.dwData == kUnregisterRecord;
  const bool text = data.dwData == kTextRecord;
  // Records of another size are logged and otherwise ignored.
  if (status && data.cbData == kStatusRecordBytes) entry.fields = DecodeFields(data, 100);
  if (text && data.cbData == kTextRecordBytes) entry.fields = DecodeFields(data, 260);
  {
    Shared& shared = State();
    sim::MutexLock lock(shared.mutex);
    std::vector<std::string>& windows = shared.state.statusWindows;
    if (status && !entry.fields.empty() && !entry.fields[0].empty()) {
      auto it = std::find(windows.begin(), windows.end(), entry.fields[0]);
      if (data.dwData == kRegisterRecord && it == windows.end()) windows.push_back(entry.fields[0]);
      if (data.dwData == kUnregisterRecord && it != windows.end()) windows.erase(it);
    }
    if (text && !entry.fields.empty()) shared.state.lastText = entry.fields[0];
  }
  Log(std::move(entry));
}

// Answers one request of the protocol; false for a message that is none.
bool OnRequest(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  int which = kMessageCount;
  for (int i = 0; i < kMessageCount; ++i) {
    if (MessageId(static_cast<Message>(i)) == message) which = i;
  }
  if (which == kMessageCount) return false;
  Log({Narrow(kMessageNames[which]), wParam, lParam, 0, 0, {}});
  Shared& shared = State();
  sim::MutexLock lock(shared.mutex);
  pndsim::TelephoneState& state = shared.state;
  switch (which) {
    case kShowHidePhoneline:
      state.windowVisible = wParam != 0;
      lock.unlock();
      ShowWindow(window, wParam != 0 ? SW_SHOWNORMAL : SW_HIDE);
      break;
    case kBtPower: {
      const int power = wParam != 0 ? 1 : 0;
      state.bluetoothPower = power;
      if (power == 0) state.callState = pndsim::TelephoneCall::Idle;
      lock.unlock();
      Report(kBtPowerStatus, static_cast<WPARAM>(power), 0);
      break;
    }
    case kGetBtPower: {
      const int power = state.bluetoothPower;
      lock.unlock();
      Report(kBtPowerStatus, static_cast<WPARAM>(power), 0);
      break;
    }
    case kGetCallStatus: {
      const int call = state.callState;
      lock.unlock();
      Report(kCallStatus, static_cast<WPARAM>(call), 0);
      break;
    }
    case kHangUp:
      if (state.callState != pndsim::TelephoneCall::Idle) {
        state.callState = pndsim::TelephoneCall::Idle;
        lock.unlock();
        Report(kCallStatus, pndsim::TelephoneCall::Idle, 0);
      }
      break;
    case kChangeLang:
      state.language = static_cast<std::uint32_t>(wParam);
      break;
    case kMenuAnimation:
      ++state.menuAnimations;
      break;
    case kVolumeRequest: {
      if (wParam == 1 && lParam == 1 && state.volumeStep < 10) ++state.volumeStep;
      if (wParam == 1 && lParam == 0 && state.volumeStep > 0) --state.volumeStep;
      const unsigned step = state.volumeStep;
      lock.unlock();
      Report(kVolumeIndex, 0, static_cast<LPARAM>(step));
      break;
    }
    case kFactoryReset: {
      // The program's factory settings are those of the built-in profile.
      const programs::ProgramsSetting& builtIn = programs::kProgramsSection.BuiltIn();
      ++state.factoryResets;
      state.volumeStep = builtIn.telephoneVolumeStep;
      state.language = builtIn.telephoneLanguage;
      lock.unlock();
      Report(kVolumeIndex, 0, static_cast<LPARAM>(builtIn.telephoneVolumeStep));
      break;
    }
    default:
      break;  // registered by the protocol, not acted on by this program
  }
  return true;
}

// A control request: reports the state the control API has just set.
void OnControl(WPARAM which, LPARAM request) {
  Shared& shared = State();
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  {
    sim::MutexLock lock(shared.mutex);
    if (which == kBtPowerStatus) wParam = static_cast<WPARAM>(shared.state.bluetoothPower);
    if (which == kCallStatus) wParam = static_cast<WPARAM>(shared.state.callState);
    if (which == kChgForegroundApp) wParam = static_cast<WPARAM>(shared.state.foreground);
    if (which == kVolumeIndex) lParam = static_cast<LPARAM>(shared.state.volumeStep);
  }
  if (which < kMessageCount) Report(static_cast<Message>(which), wParam, lParam);
  sim::MutexLock lock(shared.mutex);
  shared.handled = std::max(shared.handled, static_cast<std::uint64_t>(request));
  shared.changed.notify_all();
}

LRESULT TelephoneProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == ControlMessage()) {
    OnControl(wParam, lParam);
    return 0;
  }
  if (message == WM_COPYDATA) {
    if (lParam != 0) OnCopyData(*reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    return TRUE;
  }
  if (message == WM_CLOSE) {
    Log({"WM_CLOSE", wParam, lParam, 0, 0, {}});
    DestroyWindow(window);
    return 0;
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  if (OnRequest(window, message, wParam, lParam)) return 0;
  return DefWindowProcW(window, message, wParam, lParam);
}

void RegisterTelephoneClass() {
  WNDCLASSW existing{};
  if (GetClassInfoW(nullptr, kClassName, &existing)) return;
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = TelephoneProcedure;
  windowClass.lpszClassName = kClassName;
  RegisterClassW(&windowClass);
}

// Marks one main function ended; the program's registrations end with it.
struct Instance {
  Instance() {
    Shared& shared = State();
    sim::MutexLock lock(shared.mutex);
    ++shared.instances;
  }
  ~Instance() {
    Shared& shared = State();
    sim::MutexLock lock(shared.mutex);
    if (--shared.instances == 0) {
      shared.window = nullptr;
      shared.state.running = false;
      shared.state.windowVisible = false;
      shared.state.statusWindows.clear();
      shared.stopRequested = false;
    }
    shared.changed.notify_all();
  }
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;
};

struct Registration {
  Registration() noexcept {
    if (programs::kProgramsSection.BuiltIn().telephoneInstalled) {
      programs::InstallDefaultProgram(pndsim::kTelephoneProgramPath, TelephoneMain);
    }
    OnReset([] {
      pndsim::StopTelephone();
      pndsim::CloseOtherStatusWindow();
      Shared& shared = State();
      sim::MutexLock lock(shared.mutex);
      shared.RestoreBuiltIn();
      shared.log.Reset(pndsim::kDefaultTelephoneLogCapacity);
    });
  }
} g_registration;

}  // namespace

std::uint32_t TelephoneMain(const std::string& commandLine) {
  // A second start finds the first program's window and leaves it the work.
  if (FindWindowW(nullptr, kWindowTitle) != nullptr) return 1;
  Instance instance;
  std::uint32_t delay;
  {
    Shared& shared = State();
    sim::MutexLock lock(shared.mutex);
    shared.state.commandLine = commandLine;
    delay = shared.windowDelay;
  }
  // Waits in short steps, so that a stop request does not wait out the delay.
  auto stopRequested = [] {
    Shared& shared = State();
    sim::MutexLock lock(shared.mutex);
    return shared.stopRequested;
  };
  const DWORD begin = GetTickCount();
  while (GetTickCount() - begin < delay && !stopRequested()) Sleep(10);
  if (stopRequested()) return 0;
  RegisterTelephoneClass();
  // "-h" starts the program with its window hidden.
  const bool visible = commandLine != "-h";
  HWND window = CreateWindowExW(0, kClassName, kWindowTitle, visible ? WS_VISIBLE : 0, 0, 0, 480, 272,
                                nullptr, nullptr, nullptr, nullptr);
  if (window == nullptr) return 2;
  {
    Shared& shared = State();
    sim::MutexLock lock(shared.mutex);
    shared.window = window;
    shared.state.running = true;
    shared.state.windowVisible = visible;
    shared.changed.notify_all();
  }
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
  return static_cast<std::uint32_t>(message.wParam);
}

}  // namespace sim::telephone

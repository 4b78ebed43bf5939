// The phone link's operations: starting or finding the telephone program,
// closing the link, and the requests posted or sent to the program.
#include "bt/bthal_impl.h"

#include <cstdint>
#include <cwchar>
#include <string_view>

#include "bt/phone_messages.h"
#include "ce/process.h"

namespace {

// Room for a program file name, terminator included.
constexpr std::size_t kPathChars = 260;
constexpr DWORD kWindowWaitMs = 200;
constexpr DWORD kFactoryResetPauseMs = 6000;
constexpr unsigned int kMaxVolumeIndex = 10;
// The step unmuting returns to when none was remembered: half volume.
constexpr unsigned int kUnmuteStep = 5;

// The telephone program beside the application's folder: the parent of the
// folder holding the application's executable, then
// "TelBridge\\TelBridge.exe". An application in the root finds it in the
// root. False when a name does not fit `out`.
bool DefaultProgramFile(wchar_t (&out)[kPathChars]) {
  wchar_t module[kPathChars];
  const DWORD length = GetModuleFileNameW(nullptr, module, kPathChars);
  if (length == 0 || length >= kPathChars) return false;
  const std::wstring_view name(module, length);
  std::wstring_view parent;
  const std::size_t cut = name.find_last_of(L"\\/");
  if (cut != std::wstring_view::npos) {
    const std::wstring_view folder = name.substr(0, cut);
    const std::size_t up = folder.find_last_of(L"\\/");
    if (up != std::wstring_view::npos) {
      parent = folder.substr(0, up + 1);
    } else if (folder.empty()) {
      parent = name.substr(0, cut + 1);
    }
  }
  constexpr std::wstring_view kProgram = L"TelBridge\\TelBridge.exe";
  if (parent.size() + kProgram.size() >= kPathChars) return false;
  std::size_t at = 0;
  for (wchar_t c : parent) out[at++] = c;
  for (wchar_t c : kProgram) out[at++] = c;
  out[at] = L'\0';
  return true;
}

// `path` copied into `out`; false when it does not fit.
bool CopyProgramFile(const wchar_t* path, wchar_t (&out)[kPathChars]) {
  const std::size_t length = std::wcslen(path);
  if (length >= kPathChars) return false;
  std::wmemcpy(out, path, length + 1);
  return true;
}

// Reads the hexadecimal number that `text` begins with (after blanks, with an
// optional "0x"). False when there is none or it exceeds 32 bits.
bool ParseHex(const wchar_t* text, DWORD& value) {
  if (text == nullptr) return false;
  while (*text == L' ' || *text == L'\t' || *text == L'\n' || *text == L'\r') ++text;
  if (text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) text += 2;
  std::uint64_t number = 0;
  int digits = 0;
  for (;; ++text, ++digits) {
    int digit;
    if (*text >= L'0' && *text <= L'9') {
      digit = *text - L'0';
    } else if (*text >= L'a' && *text <= L'f') {
      digit = *text - L'a' + 10;
    } else if (*text >= L'A' && *text <= L'F') {
      digit = *text - L'A' + 10;
    } else {
      break;
    }
    number = number * 16 + static_cast<std::uint64_t>(digit);
    if (number > 0xFFFFFFFFu) return false;
  }
  if (digits == 0) return false;
  value = static_cast<DWORD>(number);
  return true;
}

}  // namespace

CBTHALImpl::~CBTHALImpl() { CloseStatusChannel(); }

HWND CBTHALImpl::FindTelephone() { return FindWindowW(nullptr, Phone::kTelephoneTitle); }

bool CBTHALImpl::PostToTelephone(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND telephone = FindTelephone();
  if (telephone == nullptr) return false;
  PostMessageW(telephone, message, wParam, lParam);
  return true;
}

bool CBTHALImpl::Attach() {
  if (!OpenStatusChannel()) {
    m_bConnected.store(false);
    return false;
  }
  m_bConnected.store(true);
  PostToTelephone(Phone::RegisteredMessages().menuAnimation, 0, 0);
  return true;
}

bool CBTHALImpl::LaunchPhone(wchar_t const* path) {
  // Opening or closing the channel from its own window thread would wait for
  // that thread.
  if (GetCurrentThreadId() == m_statusWindow.ThreadId()) return false;
  if (FindTelephone() != nullptr) return Attach();
  wchar_t program[kPathChars];
  const bool named = path != nullptr ? CopyProgramFile(path, program) : DefaultProgramFile(program);
  wchar_t commandLine[] = L"-h";
  PROCESS_INFORMATION started{};
  if (!named || !CreateProcessW(program, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr,
                                &started)) {
    m_bConnected.store(false);
    return false;
  }
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
  // A window that has not appeared by then is no error: the program may still
  // be starting.
  const DWORD begin = GetTickCount();
  while (FindTelephone() == nullptr && GetTickCount() - begin <= kWindowWaitMs) Sleep(1);
  return Attach();
}

bool CBTHALImpl::ClosePhone() {
  if (GetCurrentThreadId() == m_statusWindow.ThreadId()) return false;
  CloseStatusChannel();
  return PostToTelephone(WM_CLOSE, 0, 0);
}

bool CBTHALImpl::ShowPhoneWindow() {
  return m_bConnected.load() && PostToTelephone(Phone::RegisteredMessages().showHidePhoneline, 1, 0);
}

bool CBTHALImpl::HidePhoneWindow() {
  return m_bConnected.load() && PostToTelephone(Phone::RegisteredMessages().showHidePhoneline, 0, 0);
}

bool CBTHALImpl::SendPhoneText(wchar_t const* text) {
  if (!m_bConnected.load() || text == nullptr) return false;
  HWND telephone = FindTelephone();
  if (telephone == nullptr) return false;
  BYTE payload[Phone::kTextChars * 2] = {};
  Phone::EncodeField(text, payload, Phone::kTextChars);
  COPYDATASTRUCT record{Phone::kText, sizeof payload, payload};
  SendMessageW(telephone, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&record));
  return true;
}

bool CBTHALImpl::HangUp() { return PostToTelephone(Phone::RegisteredMessages().hangUp, 0, 0); }

bool CBTHALImpl::ChangePhoneLanguage(wchar_t const* languageHex) {
  DWORD language = 0;
  if (!m_bConnected.load() || !ParseHex(languageHex, language)) return false;
  return PostToTelephone(Phone::RegisteredMessages().changeLang, language, 0);
}

bool CBTHALImpl::SetPhoneVolume(unsigned int percent) {
  const unsigned int target = percent / 10;
  const unsigned int current = m_uiVolumeIndex.load();
  if (target == current) return true;
  const bool up = target > current;
  if (!PostToTelephone(Phone::RegisteredMessages().volumeRequest, 1, up ? 1 : 0)) return false;
  if (up && current < kMaxVolumeIndex) m_uiVolumeIndex.store(current + 1);
  if (!up && current > 0) m_uiVolumeIndex.store(current - 1);
  return true;
}

bool CBTHALImpl::MutePhone(bool mute) {
  bool muted = false;
  if (!IsPhoneMuted(muted) || muted == mute) return false;
  const unsigned int start = m_uiVolumeIndex.load();
  unsigned int target = 0;
  if (mute) {
    m_uiSavedVolumeIndex.store(start);
  } else {
    target = m_uiSavedVolumeIndex.load();
    if (target == 0) target = kUnmuteStep;
  }
  // One request moves one step: as many are posted as the way is long, so the
  // phone is muted (or back at its step) once the program has handled them.
  // Counted from the start, so reports arriving meanwhile cannot add steps.
  const bool up = target > start;
  const UINT request = Phone::RegisteredMessages().volumeRequest;
  for (unsigned int steps = up ? target - start : start - target; steps > 0; --steps) {
    if (!PostToTelephone(request, 1, up ? 1 : 0)) return false;
  }
  m_uiVolumeIndex.store(target);
  return true;
}

bool CBTHALImpl::GetPhoneVolume(unsigned int& percent) {
  const unsigned int index = m_uiVolumeIndex.load();
  if (index > kMaxVolumeIndex) return false;
  percent = index * 10;
  return true;
}

bool CBTHALImpl::IsPhoneMuted(bool& muted) {
  unsigned int percent = 0;
  if (!GetPhoneVolume(percent)) return false;
  muted = percent == 0;
  return true;
}

bool CBTHALImpl::FactoryResetPhone() {
  if (!PostToTelephone(Phone::RegisteredMessages().factoryReset, 0, 0)) return false;
  Sleep(kFactoryResetPauseMs);
  return true;
}

void CBTHALImpl::GetCallStatus(int& status) { status = m_iCallStatus.load(); }

bool CBTHALImpl::SetBTPowerOn() { return PostToTelephone(Phone::RegisteredMessages().btPower, 1, 0); }

bool CBTHALImpl::SetBTPowerOff() { return PostToTelephone(Phone::RegisteredMessages().btPower, 0, 0); }

// Another application that uses the telephone program too: its status
// window, registered with the program, counting the reports it receives.
#include <atomic>

#include "ce/kernel.h"
#include "ce/utf16.h"
#include "sim/kernel/kernel.h"
#include "sim/telephone/telephone_program.h"
#include "sim/text_codec/text_codec.h"

namespace sim::telephone {
namespace {

constexpr const wchar_t* kOtherStatusClass = L"OtherStatusWindow";

struct Other {
  Mutex mutex;  // serialises open and close
  HANDLE thread GUARDED_BY(mutex) = nullptr;
  std::atomic<HWND> window{nullptr};
  // Set under `mutex` before the window's thread starts, which reads them while the opener waits for it.
  std::wstring title;
  HANDLE ready = nullptr;
  std::atomic<int> reports{0};
};

Other& OtherState() {
  static auto* other = new Other;
  return *other;
}

// Sends the register or unregister record naming `title` to the program.
void SendStatusRecord(std::uintptr_t kind, const std::wstring& title) {
  HWND telephone = FindWindowW(nullptr, kWindowTitle);
  if (telephone == nullptr) return;
  BYTE bytes[kStatusRecordBytes] = {};
  std::wstring field = title.substr(0, 99);
  ce::WideToUtf16Bytes(field.c_str(), bytes, kStatusRecordBytes / 2);
  COPYDATASTRUCT data{kind, kStatusRecordBytes, bytes};
  SendMessageW(telephone, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
}

LRESULT OtherProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  for (Message out : {kBtPowerStatus, kCallStatus, kChgForegroundApp, kVolumeIndex}) {
    if (message == MessageId(out)) {
      OtherState().reports.fetch_add(1);
      return 0;
    }
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

DWORD OtherThread(LPVOID) {
  Other& other = OtherState();
  WNDCLASSW existing{};
  if (!GetClassInfoW(nullptr, kOtherStatusClass, &existing)) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = OtherProcedure;
    windowClass.lpszClassName = kOtherStatusClass;
    RegisterClassW(&windowClass);
  }
  HWND window = CreateWindowExW(0, kOtherStatusClass, other.title.c_str(), 0, 0, 0, 1, 1, nullptr, nullptr,
                                nullptr, nullptr);
  other.window.store(window);
  SetEvent(other.ready);
  if (window == nullptr) return 1;
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
  other.window.store(nullptr);
  return 0;
}

}  // namespace
}  // namespace sim::telephone

using namespace sim::telephone;

bool pndsim::OpenOtherStatusWindow(std::string_view title) {
  Other& other = OtherState();
  sim::MutexLock lock(other.mutex);
  if (other.thread != nullptr) return false;
  other.title = sim::Widen(title);
  other.reports.store(0);
  other.ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (other.ready == nullptr) return false;
  other.thread = CreateThread(nullptr, 0, OtherThread, nullptr, 0, nullptr);
  if (other.thread != nullptr) WaitForSingleObject(other.ready, INFINITE);
  CloseHandle(other.ready);
  other.ready = nullptr;
  if (other.window.load() == nullptr) {
    if (other.thread != nullptr) {
      WaitForSingleObject(other.thread, INFINITE);
      CloseHandle(other.thread);
      other.thread = nullptr;
    }
    return false;
  }
  SendStatusRecord(kRegisterRecord, other.title);
  return true;
}

int pndsim::OtherStatusWindowReports() { return OtherState().reports.load(); }

void pndsim::CloseOtherStatusWindow() {
  Other& other = OtherState();
  sim::MutexLock lock(other.mutex);
  if (other.thread == nullptr) return;
  SendStatusRecord(kUnregisterRecord, other.title);
  if (HWND window = other.window.load()) PostMessageW(window, WM_CLOSE, 0, 0);
  WaitForSingleObject(other.thread, INFINITE);
  CloseHandle(other.thread);
  other.thread = nullptr;
}

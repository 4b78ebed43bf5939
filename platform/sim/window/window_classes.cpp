// Window classes: registration, look-up and removal, one name space per
// process (the application's, and each started program's).
#include "sim/window/window_system.h"

using namespace sim;
using namespace sim::window;

namespace {

bool IsResourceId(LPCWSTR name) { return name != nullptr && IsAtom(name); }

}  // namespace

ATOM RegisterClassW(const WNDCLASSW* windowClass) {
  const bool sound = windowClass != nullptr && windowClass->lpfnWndProc != nullptr &&
                     windowClass->cbWndExtra >= 0 && windowClass->cbClsExtra >= 0 &&
                     windowClass->lpszClassName != nullptr && !IsAtom(windowClass->lpszClassName) &&
                     windowClass->lpszClassName[0] != L'\0';
  ThreadObject& self = CurrentThread();
  KernelLock lock(KernelMutex());
  WindowSystem& state = State();
  std::pair<DWORD, std::wstring> key{self.processId(),
                                     sound ? FoldCase(windowClass->lpszClassName) : std::wstring()};
  DWORD error = ERROR_SUCCESS;
  if (!sound) {
    error = ERROR_INVALID_PARAMETER;
  } else if (state.classes.contains(key)) {
    error = ERROR_CLASS_ALREADY_EXISTS;
  } else if (state.nextClassAtom == 0) {
    error = ERROR_NOT_ENOUGH_MEMORY;  // the atom table is full
  }
  if (!BeginCall(pndsim::Call::RegisterClass, error, ERROR_NOT_ENOUGH_MEMORY)) {
    return 0;
  }
  auto record = std::make_shared<WindowClass>();
  record->processId = key.first;
  record->name = windowClass->lpszClassName;
  record->atom = state.nextClassAtom++;  // wraps to 0 past 0xFFFF: the atom table is full
  record->description = *windowClass;
  record->description.lpszClassName = record->name.c_str();
  if (windowClass->lpszMenuName != nullptr && !IsResourceId(windowClass->lpszMenuName)) {
    record->menuName = windowClass->lpszMenuName;
    record->description.lpszMenuName = record->menuName.c_str();
  }
  const ATOM atom = record->atom;
  state.classes.emplace(std::move(key), std::move(record));
  return atom;
}

BOOL GetClassInfoW(HINSTANCE, LPCWSTR className, WNDCLASSW* windowClass) {
  if (windowClass == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  ThreadObject& self = CurrentThread();
  KernelLock lock(KernelMutex());
  std::shared_ptr<WindowClass> record = LookupClass(self.processId(), className);
  if (!record) {
    return FailCall(ERROR_CLASS_DOES_NOT_EXIST, FALSE);
  }
  *windowClass = record->description;
  windowClass->lpszClassName = className;
  return TRUE;
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE) {
  ThreadObject& self = CurrentThread();
  KernelLock lock(KernelMutex());
  std::shared_ptr<WindowClass> record = LookupClass(self.processId(), className);
  DWORD error = ERROR_SUCCESS;
  if (!record) {
    error = ERROR_CLASS_DOES_NOT_EXIST;
  } else if (record->windowCount > 0) {
    error = ERROR_CLASS_HAS_WINDOWS;
  }
  if (error != ERROR_SUCCESS) {
    return FailCall(error, FALSE);
  }
  State().classes.erase({record->processId, FoldCase(record->name.c_str())});
  return TRUE;
}

// Windows: creation with its WM_CREATE, destruction, visibility, extra bytes,
// search by class and title, owner and foreground, and the control calls that
// list them.

#include <cstring>

#include "sim/window/window_system.h"

using namespace sim;
using namespace sim::window;

namespace {

// Reads (and with `replacement` writes) a value of type T at byte `index` of
// the window's extra bytes; returns the value found there.
template <class T>
T ExchangeExtra(HWND handle, int index, const T* replacement) {
  KernelLock lock(KernelMutex());
  std::shared_ptr<Window> window = LookupWindow(handle);
  if (!window || index < 0 || static_cast<std::size_t>(index) + sizeof(T) > window->extra.size()) {
    return FailCall(window ? ERROR_INVALID_INDEX : ERROR_INVALID_WINDOW_HANDLE, 0);
  }
  T previous;
  std::memcpy(&previous, window->extra.data() + index, sizeof(T));
  if (replacement != nullptr) {
    std::memcpy(window->extra.data() + index, replacement, sizeof(T));
  }
  return previous;
}

}  // namespace

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID parameter) {
  ThreadObject& self = CurrentThread();
  KernelLock lock(KernelMutex());
  WindowSystem& state = State();
  std::shared_ptr<WindowClass> windowClass = LookupClass(self.processId(), className);
  DWORD error = ERROR_SUCCESS;
  if (!windowClass) {
    error = ERROR_CANNOT_FIND_WND_CLASS;
  } else if (parent != nullptr && !LookupWindow(parent)) {
    error = ERROR_INVALID_WINDOW_HANDLE;
  }
  if (!BeginCall(pndsim::Call::CreateWindow, error, ERROR_NOT_ENOUGH_MEMORY)) {
    return nullptr;
  }
  auto window = std::make_shared<Window>();
  window->handle = reinterpret_cast<HWND>(state.nextWindow);
  state.nextWindow += 0x10;
  window->windowClass = windowClass;
  window->procedure = windowClass->description.lpfnWndProc;
  window->title = windowName != nullptr ? windowName : L"";
  window->extra.assign(static_cast<std::size_t>(windowClass->description.cbWndExtra), 0);
  window->queue = CurrentQueue(self);
  window->processId = self.processId();
  window->visible = (style & WS_VISIBLE) != 0;
  ++windowClass->windowCount;
  state.windows.emplace(reinterpret_cast<std::uintptr_t>(window->handle), window);
  lock.unlock();

  CREATESTRUCTW creation{parameter,  instance,  menu,   parent, height, width, y, x, static_cast<LONG>(style),
                         windowName, className, exStyle};
  const HWND handle = window->handle;
  if (window->procedure(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&creation)) == -1) {
    DestroyWindow(handle);
    return nullptr;
  }
  // The procedure may have destroyed the window itself during its creation.
  lock.lock();
  return LookupWindow(handle) ? handle : nullptr;
}

BOOL ShowWindow(HWND handle, int command) {
  KernelLock lock(KernelMutex());
  std::shared_ptr<Window> window = LookupWindow(handle);
  if (!window) {
    return FailCall(ERROR_INVALID_WINDOW_HANDLE, FALSE);
  }
  const bool wasVisible = window->visible;
  window->visible = command != SW_HIDE;
  return wasVisible ? TRUE : FALSE;
}

BOOL DestroyWindow(HWND handle) {
  ThreadObject& self = CurrentThread();
  KernelLock lock(KernelMutex());
  std::shared_ptr<Window> window = LookupWindow(handle);
  if (!window || window->queue->threadId() != self.id()) {
    return FailCall(window ? ERROR_ACCESS_DENIED : ERROR_INVALID_WINDOW_HANDLE, FALSE);
  }
  if (window->destroying) {
    return TRUE;  // called again from its own WM_DESTROY
  }
  window->destroying = true;
  lock.unlock();
  window->procedure(handle, WM_DESTROY, 0, 0);
  lock.lock();
  RemoveWindow(window);
  return TRUE;
}

BOOL IsWindow(HWND handle) {
  KernelLock lock(KernelMutex());
  return LookupWindow(handle) ? TRUE : FALSE;
}

LRESULT DefWindowProcW(HWND handle, UINT message, WPARAM, LPARAM) {
  if (message == WM_CLOSE) {
    DestroyWindow(handle);
  }
  return 0;
}

LONG GetWindowLongW(HWND window, int index) { return ExchangeExtra<LONG>(window, index, nullptr); }

LONG SetWindowLongW(HWND window, int index, LONG value) { return ExchangeExtra<LONG>(window, index, &value); }

LONG_PTR GetWindowLongPtrW(HWND window, int index) { return ExchangeExtra<LONG_PTR>(window, index, nullptr); }

LONG_PTR SetWindowLongPtrW(HWND window, int index, LONG_PTR value) {
  return ExchangeExtra<LONG_PTR>(window, index, &value);
}

HWND FindWindowW(LPCWSTR className, LPCWSTR windowName) {
  ThreadObject& self = CurrentThread();
  KernelLock lock(KernelMutex());
  // A class named by text is matched by name in every process; an atom names one of the caller's classes.
  std::shared_ptr<WindowClass> windowClass;
  std::wstring classKey;
  const bool byName = className != nullptr && !IsAtom(className);
  if (className != nullptr && IsAtom(className)) {
    windowClass = LookupClass(self.processId(), className);
    if (!windowClass) {
      return nullptr;
    }
  } else if (className != nullptr) {
    classKey = FoldCase(className);
  }
  const std::wstring title = windowName != nullptr ? FoldCase(windowName) : std::wstring();
  // Newest first: the window created last lies on top of the others.
  const auto& windows = State().windows;
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    const Window& window = *it->second;
    if ((windowClass && window.windowClass != windowClass) ||
        (byName && FoldCase(window.windowClass->name) != classKey)) {
      continue;
    }
    if (windowName != nullptr && FoldCase(window.title) != title) {
      continue;
    }
    return window.handle;
  }
  return nullptr;
}

DWORD GetWindowThreadProcessId(HWND handle, DWORD* processId) {
  KernelLock lock(KernelMutex());
  std::shared_ptr<Window> window = LookupWindow(handle);
  if (!window) {
    return FailCall(ERROR_INVALID_WINDOW_HANDLE, 0);
  }
  if (processId != nullptr) {
    *processId = window->processId;
  }
  return window->queue->threadId();
}

HWND GetForegroundWindow() {
  KernelLock lock(KernelMutex());
  return State().foreground;
}

std::vector<pndsim::WindowInfo> pndsim::Windows() {
  KernelLock lock(KernelMutex());
  std::vector<WindowInfo> windows;
  for (const auto& [key, window] : State().windows) {
    windows.push_back({key, Narrow(window->title.c_str()), Narrow(window->windowClass->name.c_str()),
                       window->queue->threadId(), window->visible});
  }
  return windows;
}

int pndsim::WindowCount() {
  KernelLock lock(KernelMutex());
  return static_cast<int>(State().windows.size());
}

bool pndsim::SetForegroundWindow(std::uintptr_t window) {
  const auto handle = reinterpret_cast<HWND>(window);
  KernelLock lock(KernelMutex());
  if (handle != nullptr && !LookupWindow(handle)) {
    return false;
  }
  State().foreground = handle;
  return true;
}

// The message-window thread: window class registration shared by every
// window thread of the process, the window procedure and the message loop.
#include "runtime/message_window_thread.h"

#include <cwchar>
#include <mutex>

namespace {

// Shared by every window thread: the class is registered once per process
// under a name generated from the class description.
struct WindowClassState {
  std::mutex lock;
  wchar_t className[256] = L"";
  int extraIndex = 0;
  WNDPROC chainedProc = &DefWindowProcW;
};

WindowClassState& ClassState() {
  static WindowClassState state;
  return state;
}

}  // namespace

CMessageWindowThread::CMessageWindowThread() : CHALThread(0) { m_bAttached.store(true); }

CMessageWindowThread::~CMessageWindowThread() {
  Destroy();
  m_bAttached.store(false);
  Shutdown();
}

bool CMessageWindowThread::Create(const wchar_t* title) {
  if (IsRunning()) return false;
  m_title = title != nullptr ? title : kDefaultTitle;
  SetName(kDefaultTitle);
  if (!m_windowReady.Ensure()) return false;
  m_windowReady.Reset();
  if (!Start(this, nullptr)) return false;
  // The thread may also end without a window (creation failed, or it was
  // terminated): then its finished event ends the wait.
  HANDLE ready[] = {m_windowReady.GetHandle(), FinishedEvent().GetHandle()};
  WaitForMultipleObjects(2, ready, FALSE, INFINITE);
  if (m_hWnd.load() != nullptr) return true;
  // Without a window the thread is ending: let it end, so that a later Create
  // can start it again.
  Wait(INFINITE);
  return false;
}

bool CMessageWindowThread::Destroy() {
  if (!IsRunning()) return false;
  RequestStop();
  if (HWND window = m_hWnd.load()) PostMessageW(window, WM_QUIT, 0, 0);
  return Wait(INFINITE);
}

void CMessageWindowThread::RegisterWindowClass(WNDCLASSW description) {
  WindowClassState& state = ClassState();
  std::lock_guard guard(state.lock);
  WNDCLASSW existing{};
  if (state.className[0] != L'\0' && GetClassInfoW(description.hInstance, state.className, &existing)) return;
  state.chainedProc = description.lpfnWndProc != nullptr ? description.lpfnWndProc : &DefWindowProcW;
  state.extraIndex = description.cbWndExtra;
  description.style |= CS_DBLCLKS;
  if (description.hbrBackground == nullptr) {
    description.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  }
  description.cbWndExtra += static_cast<int>(sizeof(LONG_PTR));  // room for the context pointer
  description.lpfnWndProc = &CMessageWindowThread::WindowProc;
  std::swprintf(state.className, 256, L"Pwc%u%u%u%u%u", description.style,
                static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(description.hCursor)),
                static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(description.hbrBackground)),
                static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(description.hIcon)),
                static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(description.lpszMenuName)));
  description.lpszClassName = state.className;
  RegisterClassW(&description);
}

LRESULT CALLBACK CMessageWindowThread::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowClassState& state = ClassState();
  if (message == WM_CREATE) {
    auto* self = static_cast<CMessageWindowThread*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(window, state.extraIndex, reinterpret_cast<LONG_PTR>(self));
    self->m_hWnd.store(window);
  }
  auto* self = reinterpret_cast<CMessageWindowThread*>(GetWindowLongPtrW(window, state.extraIndex));
  if (self != nullptr && self->m_bAttached.load()) {
    bool handled = false;
    WindowMessageSignal& signal = message == WM_HOTKEY ? self->m_hotKeySignal : self->m_messageSignal;
    signal.Emit(message, static_cast<unsigned int>(wParam), static_cast<long>(lParam), &handled);
    if (handled) return 0;
  }
  return state.chainedProc(window, message, wParam, lParam);
}

unsigned long CMessageWindowThread::Run(void*) {
  WNDCLASSW description{};
  description.hInstance = nullptr;
  RegisterWindowClass(description);
  HWND window = CreateWindowExW(0, ClassState().className, m_title.c_str(), 0, 0, 0, 1, 1, nullptr, nullptr,
                                nullptr, this);
  if (window == nullptr) {
    m_windowReady.Set();
    return 0;
  }
  ShowWindow(window, SW_HIDE);
  m_windowReady.Set();

  MSG message{};
  for (;;) {
    const BOOL result = GetMessageW(&message, window, 0, 0);
    if (result == 0) break;
    if (result == -1) {
      // An error is retried, unless the window is gone (closed by default
      // processing): then no message can ever arrive and the loop ends.
      if (!IsWindow(window)) break;
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  if (IsWindow(window)) DestroyWindow(window);
  m_hWnd.store(nullptr);
  return static_cast<unsigned long>(message.wParam);
}

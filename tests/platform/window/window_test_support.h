// Test support for the window system: a window class whose procedure forwards
// to a handler given at creation, emulated threads running a function, a
// window thread with its message loop, and waiting for trace events.
#pragma once

#include <ce/kernel.h>
#include <ce/window.h>
#include <gtest/gtest.h>
#include <pndsim/pndsim.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "sim_guard.h"

namespace wintest {

/// What a test window does with a message; runs on the window's thread.
using Handler = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;

inline constexpr wchar_t kClassName[] = L"PndTestWindow";

/// The test class's procedure: WM_CREATE keeps the Handler* creation parameter
/// in the extra bytes, every message goes to that handler, and what it does
/// not take (or a window without handler) goes to DefWindowProcW.
inline LRESULT TestProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) {
    const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, 0, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
  }
  auto* handler = reinterpret_cast<Handler*>(GetWindowLongPtrW(window, 0));
  if (handler != nullptr && *handler) {
    return (*handler)(window, message, wParam, lParam);
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

/// Registers the test class once per process.
inline void RegisterTestClass() {
  WNDCLASSW existing{};
  if (GetClassInfoW(nullptr, kClassName, &existing)) {
    return;
  }
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = TestProcedure;
  windowClass.cbWndExtra = sizeof(LONG_PTR);
  windowClass.lpszClassName = kClassName;
  ASSERT_NE(RegisterClassW(&windowClass), 0);
}

/// A window of the test class owned by the calling thread; `handler` must
/// outlive it.
inline HWND CreateTestWindow(const wchar_t* title, Handler* handler) {
  RegisterTestClass();
  return CreateWindowExW(0, kClassName, title, 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, handler);
}

/// Resets the simulator for the scope of a test and destroys the windows the
/// test's thread still owns at its end, so that tests also run one after the
/// other in one process. The test's handlers are gone by then, so a test
/// window is detached from its handler first.
class Guard : public pndtest::SimGuard {
 public:
  using SimGuard::SimGuard;
  ~Guard() {
    for (const pndsim::WindowInfo& window : pndsim::Windows()) {
      if (window.ownerThread != GetCurrentThreadId()) {
        continue;
      }
      const auto handle = reinterpret_cast<HWND>(window.handle);
      if (window.className == "PndTestWindow") {
        SetWindowLongPtrW(handle, 0, 0);
      }
      DestroyWindow(handle);
    }
  }
  Guard(const Guard&) = delete;
  Guard& operator=(const Guard&) = delete;
};

/// A thread started with CreateThread running `body`.
class EmulatedThread {
 public:
  explicit EmulatedThread(std::function<DWORD()> body) : body_(std::move(body)) {
    handle_ = CreateThread(nullptr, 0, &EmulatedThread::Entry, this, 0, &id_);
  }
  ~EmulatedThread() {
    if (handle_ == nullptr) {
      return;
    }
    if (!Join()) {
      TerminateThread(handle_, 0);
    }
    CloseHandle(handle_);
  }
  EmulatedThread(const EmulatedThread&) = delete;
  EmulatedThread& operator=(const EmulatedThread&) = delete;

  /// Waits for the thread to end; false when it still runs after `limitMs`.
  bool Join(DWORD limitMs = 10000) { return WaitForSingleObject(handle_, limitMs) == WAIT_OBJECT_0; }
  HANDLE handle() const { return handle_; }
  DWORD id() const { return id_; }

 private:
  static DWORD Entry(LPVOID self) { return static_cast<EmulatedThread*>(self)->body_(); }

  std::function<DWORD()> body_;
  HANDLE handle_ = nullptr;
  DWORD id_ = 0;
};

/// An emulated thread that owns one test window and runs its message loop
/// until WM_QUIT.
class WindowThread {
 public:
  explicit WindowThread(Handler handler, const wchar_t* title = L"")
      : handler_(std::move(handler)), thread_([this, title] { return Body(title); }) {
    created_.WaitFor(1);
  }
  ~WindowThread() { Stop(); }
  WindowThread(const WindowThread&) = delete;
  WindowThread& operator=(const WindowThread&) = delete;

  HWND hwnd() const { return hwnd_; }
  DWORD threadId() const { return thread_.id(); }
  /// Ends the loop (if the window still exists) and waits for the thread.
  bool Stop() {
    PostMessageW(hwnd_, WM_QUIT, 0, 0);
    return thread_.Join();
  }

 private:
  DWORD Body(const wchar_t* title) {
    hwnd_ = CreateTestWindow(title, &handler_);
    created_.Notify();
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
      DispatchMessageW(&message);
    }
    return 0;
  }

  Handler handler_;
  HWND hwnd_ = nullptr;
  pndtest::Signal created_;
  EmulatedThread thread_;
};

/// Number of trace events of `kind` so far.
inline int CountTrace(const std::string& kind) {
  const auto trace = pndsim::Trace();
  return static_cast<int>(std::count_if(trace.begin(), trace.end(),
                                        [&](const pndsim::TraceEvent& event) { return event.kind == kind; }));
}

/// Waits until the trace holds at least `count` events of `kind`; false after
/// `limit`. Used where a thread blocks inside the platform and the trace is
/// the only sign that it got there.
inline bool WaitForTrace(const std::string& kind, int count,
                         std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (CountTrace(kind) < count) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::yield();
  }
  return true;
}

/// A thread message tests post behind others to see what was queued before.
inline constexpr UINT kMarkerMessage = WM_USER + 999;

/// Takes the next message already posted to the calling thread: posts a marker
/// behind it first, so the call never blocks. Returns the marker itself when
/// nothing else was queued.
inline MSG NextQueued() {
  PostMessageW(nullptr, kMarkerMessage, 0, 0);
  MSG message{};
  EXPECT_GT(GetMessageW(&message, nullptr, 0, 0), 0);
  if (message.message != kMarkerMessage) {
    MSG marker{};
    EXPECT_GT(GetMessageW(&marker, nullptr, kMarkerMessage, kMarkerMessage), 0);
  }
  return message;
}

}  // namespace wintest

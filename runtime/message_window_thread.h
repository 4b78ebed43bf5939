// A worker thread that owns one hidden window and runs its message loop,
// handing hot-key messages and all other messages to attached handlers.
#pragma once

#include <atomic>

#include "ce/window.h"
#include "pndhal/container.h"
#include "runtime/hal_thread.h"
#include "runtime/listener_registry.h"
#include "runtime/zu_new.h"

/// One attachment of an object's member function to a window's messages.
class CWindowMessageHandler : public runtime::ZuAllocated {
 public:
  virtual ~CWindowMessageHandler() = default;
  /// The object the handler is bound to.
  virtual void* GetObject() const = 0;
  /// Calls the bound member with the message's values.
  virtual void Invoke(unsigned int message, unsigned int wParam, long lParam, bool* handled) = 0;
};

/// A handler bound to `object->*member`.
template <class T>
class CMemberWindowMessageHandler final : public CWindowMessageHandler {
 public:
  using Member = void (T::*)(unsigned int message, unsigned int wParam, long lParam, bool* handled);
  CMemberWindowMessageHandler(T* object, Member member) : m_pObject(object), m_member(member) {}
  void* GetObject() const override { return m_pObject; }
  void Invoke(unsigned int message, unsigned int wParam, long lParam, bool* handled) override {
    (m_pObject->*m_member)(message, wParam, lParam, handled);
  }

 private:
  T* m_pObject;
  Member m_member;
};

/// A signal deletes a handler once it is detached and no call of it runs.
struct DeleteWindowMessageHandler {
  void operator()(CWindowMessageHandler* handler) const { delete handler; }
};

/// The handlers of one kind of message, kept as listeners are: they run on
/// the window thread in order, may be attached and removed from any thread,
/// and a handler may remove itself (or others) during its own call, also from
/// a nested message. Removing a handler from another thread while it runs
/// waits for that call to return.
class WindowMessageSignal {
 public:
  /// Takes ownership of `handler` and appends it; false (handler deleted)
  /// when the list cannot grow.
  bool Add(CWindowMessageHandler* handler) {
    if (handlers_.Connect(handler)) return true;
    delete handler;
    return false;
  }
  /// Detaches and deletes the first handler bound to `object`.
  void Remove(void* object) {
    handlers_.RemoveFirst(
        [object](CWindowMessageHandler* handler) { return handler->GetObject() == object; });
  }
  /// Calls every handler in order with the message's values.
  void Emit(unsigned int message, unsigned int wParam, long lParam, bool* handled) {
    handlers_.ForEach(
        [&](CWindowMessageHandler* handler) { handler->Invoke(message, wParam, lParam, handled); });
  }
  std::size_t Size() const { return handlers_.Size(); }

 private:
  runtime::ListenerRegistry<CWindowMessageHandler, DeleteWindowMessageHandler> handlers_;
};

class CMessageWindowThread : public CHALThread {
 public:
  static constexpr const wchar_t* kDefaultTitle = L"WinThreadMessageWindow";

  CMessageWindowThread();
  /// Stops the thread (its window goes with it).
  ~CMessageWindowThread() override;

  /// Starts the thread, which creates the window titled `title` (null: the
  /// default title) and runs its loop. Returns once the window exists (true)
  /// or could not be created (false, the thread has ended then); false too
  /// when the thread already runs or cannot be started.
  bool Create(const wchar_t* title);
  /// Ends the loop and waits for the thread; false when it was not running.
  bool Destroy();

  /// Attaches `object->*member` to hot-key messages (0x0312) or to every
  /// other message. False when it cannot be attached.
  template <class T>
  bool AddHandler(unsigned int message, T* object, typename CMemberWindowMessageHandler<T>::Member member) {
    auto* handler = new (std::nothrow) CMemberWindowMessageHandler<T>(object, member);
    if (handler == nullptr) return false;
    return (message == WM_HOTKEY ? m_hotKeySignal : m_messageSignal).Add(handler);
  }
  /// Detaches the first handler bound to `object` from `signal`.
  static void RemoveHandler(WindowMessageSignal& signal, void* object) { signal.Remove(object); }

  WindowMessageSignal& HotKeySignal() { return m_hotKeySignal; }
  WindowMessageSignal& MessageSignal() { return m_messageSignal; }
  /// The window, or null while none exists.
  HWND Window() const { return m_hWnd.load(); }

  unsigned long Run(void* param) override;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static void RegisterWindowClass(WNDCLASSW description);

  String::StringProxy<String::ZuStringImpl> m_title;
  std::atomic<HWND> m_hWnd{nullptr};
  std::atomic<bool> m_bAttached{false};
  WindowMessageSignal m_hotKeySignal;
  WindowMessageSignal m_messageSignal;
  CEvent m_windowReady{true, false};  // set once Run has created the window or failed to
};

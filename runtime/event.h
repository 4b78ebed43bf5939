// Waitable objects: the common base of events and threads, and the event
// wrapper over one platform event handle.
#pragma once

#include <atomic>

#include "ce/kernel.h"

class CWaitableObject {
 public:
  CWaitableObject() = default;
  CWaitableObject(const CWaitableObject&) = delete;
  CWaitableObject& operator=(const CWaitableObject&) = delete;
  virtual ~CWaitableObject() = default;
  /// True for threads, false for events.
  virtual bool IsThread() const = 0;
  /// The platform handle to wait on.
  virtual HANDLE GetHandle() const = 0;
};

/// Waits on any waitable object; returns the platform's wait result
/// (0 = signalled, otherwise time-out or failure).
inline DWORD WaitOn(const CWaitableObject& object, DWORD milliseconds) {
  return WaitForSingleObject(object.GetHandle(), milliseconds);
}

class CEvent : public CWaitableObject {
 public:
  /// Creates an unnamed event. When the platform refuses, GetHandle() is null
  /// until a later Ensure() succeeds.
  CEvent(bool manualReset, bool initiallySet) : m_bManualReset(manualReset), m_bInitiallySet(initiallySet) {
    Ensure();
  }
  ~CEvent() override {
    if (HANDLE event = m_hEvent.load()) CloseHandle(event);
  }

  /// Creates the event when an earlier attempt failed, in its initial state;
  /// true once it exists. Owners call it before they rely on the event, so a
  /// refusal at construction does not outlive its cause.
  bool Ensure() {
    if (m_hEvent.load() != nullptr) return true;
    HANDLE created =
        CreateEventW(nullptr, m_bManualReset ? TRUE : FALSE, m_bInitiallySet ? TRUE : FALSE, nullptr);
    if (created == nullptr) return false;
    HANDLE expected = nullptr;
    if (!m_hEvent.compare_exchange_strong(expected, created)) CloseHandle(created);
    return true;
  }

  bool IsThread() const override { return false; }
  HANDLE GetHandle() const override { return m_hEvent.load(); }
  bool Set() { return SetEvent(GetHandle()) != FALSE; }
  bool Reset() { return ResetEvent(GetHandle()) != FALSE; }
  /// Waits for the event; returns the platform's wait result (0 = signalled).
  DWORD Wait(DWORD milliseconds) const { return WaitOn(*this, milliseconds); }

 private:
  std::atomic<HANDLE> m_hEvent{nullptr};
  bool m_bManualReset;
  bool m_bInitiallySet;
};

// Waitable objects: the common base of events and threads, and the event
// wrapper over one platform event handle.
#pragma once

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
  /// Creates an unnamed event; GetHandle() is null when the platform refused.
  CEvent(bool manualReset, bool initiallySet)
      : m_hEvent(CreateEventW(nullptr, manualReset ? TRUE : FALSE, initiallySet ? TRUE : FALSE, nullptr)) {}
  ~CEvent() override {
    if (m_hEvent != nullptr) CloseHandle(m_hEvent);
  }

  bool IsThread() const override { return false; }
  HANDLE GetHandle() const override { return m_hEvent; }
  bool Set() { return SetEvent(m_hEvent) != FALSE; }
  bool Reset() { return ResetEvent(m_hEvent) != FALSE; }
  /// Waits for the event; returns the platform's wait result (0 = signalled).
  DWORD Wait(DWORD milliseconds) const { return WaitOn(*this, milliseconds); }

 private:
  HANDLE m_hEvent;
};

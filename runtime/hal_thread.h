// The base of every thread the HAL runs: start handshake, stop request,
// finished signal, priority and name. A derived class supplies Run().
#pragma once

#include <atomic>

#include "pndhal/zu_string.h"
#include "runtime/critical_section.h"
#include "runtime/event.h"

/// Where a thread's priority can be configured, by section and key.
class PrioritySource {
 public:
  virtual ~PrioritySource() = default;
  /// Fills `value` and returns true when the source has an entry.
  virtual bool ReadValue(const wchar_t* section, const wchar_t* key, int& value) const = 0;
};

class CHALThread : public CWaitableObject {
 public:
  /// How long the destructor waits for a running thread before it ends it.
  static constexpr DWORD kDestroyTimeoutMs = 1600;
  static constexpr DWORD kTerminatedExitCode = 0xFFFFFFFFu;

  explicit CHALThread(unsigned long stackSize);
  /// Stops a still running thread: asks it to stop, waits up to 1600 ms,
  /// then terminates it. Derived classes call Shutdown() in their own
  /// destructor, so the thread never runs on a half-destroyed object.
  ~CHALThread() override;

  bool IsThread() const override { return true; }
  HANDLE GetHandle() const override { return m_hThread.load(); }
  /// Ends the calling thread, which must be this object's thread.
  [[noreturn]] virtual void Exit(unsigned long code);
  /// The thread body; its result is the thread's exit code.
  virtual unsigned long Run(void* param) = 0;
  virtual void Lock();
  virtual void Unlock();
  /// Waits up to `milliseconds` (INFINITE: without limit) for the thread to
  /// end. True when it ended or no thread runs; false on time-out.
  virtual bool Wait(unsigned long milliseconds);
  /// Ends the thread at once with exit code 0xFFFFFFFF. False when no thread
  /// runs or the platform refused.
  virtual bool Terminate();
  /// Stores the priority (0 highest .. 7) and applies it to a running thread.
  virtual bool SetPriority(int priority);
  virtual int GetPriority() { return m_iPriority.load(); }
  /// What the new thread runs around Run().
  virtual unsigned long ThreadMain();

  /// Starts the thread with `param` handed to Run(). Returns once the new
  /// thread runs. False when a thread already runs (also when another
  /// thread's Start of this object won the race) or none can be created, its
  /// events included.
  bool Start(void* param, const PrioritySource* priorities);
  void SetName(const String::StringProxy<String::ZuStringImpl>& name) { m_name = name; }
  const String::StringProxy<String::ZuStringImpl>& Name() const { return m_name; }

  /// True when the calling thread is running the Run() of a thread object:
  /// it is one of the library's own threads.
  static bool OnLibraryThread();

  /// Asks Run() to return.
  void RequestStop() { m_stopEvent.Set(); }
  /// Set while Run() executes.
  bool IsRunning() const { return m_bRunning.load(); }
  DWORD ThreadId() const { return m_dwThreadId.load(); }
  /// The manual-reset event Run() watches to know when to return.
  CEvent& StopEvent() { return m_stopEvent; }
  CEvent& FinishedEvent() { return m_finishedEvent; }

 protected:
  /// Stops a running thread as the destructor does.
  void Shutdown();

 private:
  static DWORD WINAPI ThreadEntry(LPVOID self);
  void CloseOwnedHandle();

  // m_lock serialises Start, Terminate and the thread's Exit; the fields
  // below that cross threads are atomics, read without it.
  CCriticalSection m_lock;
  std::atomic<HANDLE> m_hThread{nullptr};
  CEvent m_stopEvent{true, false};
  std::atomic<bool> m_bRunning{false};
  std::atomic<int> m_iPriority{THREAD_PRIORITY_NORMAL};
  unsigned long m_uiStackSize;
  std::atomic<void*> m_pParam{nullptr};
  CEvent m_finishedEvent{true, false};
  CEvent m_startedEvent{false, false};
  std::atomic<DWORD> m_dwThreadId{0};
  String::StringProxy<String::ZuStringImpl> m_name;
  // The platform handle of the latest thread, signalled once it has ended
  // completely. m_hThread is cleared as the thread ends; this one stays until
  // it is closed, so no handle leaks and waits know when the thread is gone.
  std::atomic<HANDLE> m_hOwnedThread{nullptr};
};

// Internals of the emulated kernel shared by every part of the simulator: the
// one kernel lock, waitable objects, the handle table, emulated threads and
// the waits they block in.
//
// Every object state change and every wait happens under the kernel lock;
// each thread blocks on a condition variable of its own, so signalling an
// object wakes exactly the threads waiting on it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "ce/kernel.h"
#include "pndsim/control.h"

namespace sim {

using KernelLock = std::unique_lock<std::mutex>;

/// The lock that guards every kernel object, the handle table and all waits.
std::mutex& KernelMutex();

/// Anything a handle can refer to.
class Object {
 public:
  Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;
  virtual ~Object();
};

/// The per-thread condition a blocked thread sleeps on (used with KernelMutex).
struct Waiter {
  std::condition_variable cv;
};

/// An object threads can wait for. All members require the kernel lock.
class Waitable : public Object {
 public:
  virtual bool IsSignaled() const = 0;
  /// Called when a wait is satisfied by this object (auto-reset events reset).
  virtual void Consume() {}

  void AddWaiter(Waiter* waiter);
  void RemoveWaiter(Waiter* waiter);
  /// Wakes every thread waiting on this object.
  void WakeWaiters();

 private:
  std::vector<Waiter*> waiters_;
};

class CriticalSectionLock;

/// An emulated thread: created by CreateThread, or adopted the first time a
/// thread the simulator did not start calls into it.
class ThreadObject final : public Waitable {
 public:
  ThreadObject(DWORD id, bool emulated) : id_(id), emulated_(emulated) {}

  bool IsSignaled() const override { return finished_; }

  DWORD id() const { return id_; }
  bool emulated() const { return emulated_; }

  Waiter waiter;
  int priority = THREAD_PRIORITY_NORMAL;
  bool finished_ = false;
  DWORD exitCode = STILL_ACTIVE;
  bool terminateRequested = false;
  LPTHREAD_START_ROUTINE start = nullptr;
  LPVOID parameter = nullptr;
  std::vector<CriticalSectionLock*> heldLocks;

 private:
  DWORD id_;
  bool emulated_;
};

/// The calling thread's kernel object, adopting the thread on first use.
/// Must be called without the kernel lock held.
ThreadObject& CurrentThread();

/// Handle table. Each requires the kernel lock.
HANDLE InsertHandle(std::shared_ptr<Object> object);
std::shared_ptr<Object> LookupHandle(HANDLE handle);
bool RemoveHandle(HANDLE handle);

template <class T>
std::shared_ptr<T> LookupAs(HANDLE handle) {
  return std::dynamic_pointer_cast<T>(LookupHandle(handle));
}

/// Registers a function that runs on every emulated thread as it ends, with
/// the kernel lock held, before the threads waiting for it are woken. A hook
/// releases what the thread still owns; it must neither block nor release the
/// lock. Takes the kernel lock itself: call it without the lock held.
void OnThreadExit(std::function<void(ThreadObject&)> hook);

/// Blocks the calling thread (whose object is `self`) until one of `objects`
/// is signalled or the (unscaled) time-out passes. Returns the index of the
/// object that ended the wait, or WAIT_TIMEOUT. A thread asked to terminate
/// ends here instead of returning. Requires the kernel lock.
DWORD WaitAny(KernelLock& lock, ThreadObject& self, std::span<Waitable* const> objects,
              DWORD milliseconds);

/// Ends the calling thread at once if another thread asked to terminate it.
/// Requires the kernel lock.
void TerminationPoint(KernelLock& lock, ThreadObject& self);

/// A platform time-out in real time under the current time scale.
std::chrono::steady_clock::duration ScaledTimeout(DWORD milliseconds);

/// True when a failure of `call` was requested; consumes one request.
bool ShouldFail(pndsim::Call call);

/// Appends one platform effect to the trace.
void Record(std::string kind, std::string detail);

/// Registers a function that pndsim::Reset() calls to restore one module.
void OnReset(std::function<void()> hook);

/// Wide text to UTF-8, for the trace and diagnostics.
std::string Narrow(const wchar_t* text);

}  // namespace sim

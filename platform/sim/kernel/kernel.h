// The kernel concern's face, what every other part of the simulator builds on: the one kernel lock,
// waitable objects, the handle table, emulated threads and the waits they block in, the message-queue object
// and the notification registrations written to it, the fault check that begins an emulated call, the trace,
// the reset hooks and the bounded record the device's logs are kept in.
//
// Every object state change and every wait happens under the kernel lock;
// each thread blocks on a condition variable of its own, so signalling an
// object wakes exactly the threads waiting on it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "ce/kernel.h"
#include "pndsim/control.h"
#include "sim/kernel/bounded_record.h"

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

  /// Fixes the exit code; the first code given stands (termination, ExitThread or the return value),
  /// whatever its value, STILL_ACTIVE included.
  void SetExitCode(DWORD code) {
    if (exitCodeSet_) return;
    exitCode = code;
    exitCodeSet_ = true;
  }

  Waiter waiter;
  int priority = THREAD_PRIORITY_NORMAL;
  bool finished_ = false;
  DWORD exitCode = STILL_ACTIVE;
  bool terminateRequested = false;
  LPTHREAD_START_ROUTINE start = nullptr;
  LPVOID parameter = nullptr;
  /// Called (with the kernel lock held) the first time the thread is about to block in a wait, then
  /// dropped: how a program's start tells its starter that it has come to rest.
  std::function<void()> onFirstBlock;
  std::vector<CriticalSectionLock*> heldLocks;

 private:
  DWORD id_;
  bool emulated_;
  bool exitCodeSet_ = false;
};

/// The calling thread's kernel object, adopting the thread on first use.
/// Must be called without the kernel lock held.
ThreadObject& CurrentThread();

/// The calling thread's object as CurrentThread() made it, or null before it did.
std::shared_ptr<ThreadObject> CurrentThreadObject();

/// The pseudo-handles GetCurrentThread() and GetCurrentProcess() return, the device platform's values.
/// They stand for the caller's thread and process wherever a handle is taken and are never in the
/// handle table, so closing them does nothing.
inline HANDLE const kCurrentThreadHandle = reinterpret_cast<HANDLE>(std::uintptr_t{0x41});
inline HANDLE const kCurrentProcessHandle = reinterpret_cast<HANDLE>(std::uintptr_t{0x42});

/// Handle table. Each requires the kernel lock. LookupHandle resolves the pseudo-handles too (the
/// current thread as CurrentThread() made it).
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
DWORD WaitAny(KernelLock& lock, ThreadObject& self, std::span<Waitable* const> objects, DWORD milliseconds);

/// The objects behind `handles`, in order: `owned` keeps them alive and
/// `objects` points at them. False when a handle refers to nothing that can be
/// waited on. Requires the kernel lock.
bool LookupWaitables(DWORD count, const HANDLE* handles, std::vector<std::shared_ptr<Waitable>>& owned,
                     std::vector<Waitable*>& objects);

/// Ends the calling thread at once if another thread asked to terminate it.
/// Requires the kernel lock.
void TerminationPoint(KernelLock& lock, ThreadObject& self);

/// A platform time-out in real time under the current time scale.
std::chrono::steady_clock::duration ScaledTimeout(DWORD milliseconds);

/// How every emulated call that can fail on demand begins, in the platform's order: `argumentError` is
/// the call's own verdict on its arguments (ERROR_SUCCESS when they are sound); with sound arguments a
/// pending failure of `call` is consumed, recorded in the trace ("fault", the call's name) and answers
/// `faultError`. Returns ERROR_SUCCESS when the call goes on, else the error it fails with. Leaves the
/// last error alone, for the calls that answer their error (the registry calls).
DWORD CheckCall(pndsim::Call call, DWORD argumentError, DWORD faultError);

/// CheckCall for the calls that report through the last error: false, with the error as the calling
/// thread's last error, when the call fails; true when it goes on.
bool BeginCall(pndsim::Call call, DWORD argumentError, DWORD faultError);

/// How a call that reports through the last error fails past its fault check: `error` becomes the calling
/// thread's last error and `result`, the call's failure value, is returned. The last error belongs to the
/// thread, so it is set with the caller's locks still held; they are released as the call returns.
template <class Result>
Result FailCall(DWORD error, Result result) {
  SetLastError(error);
  return result;
}

/// The point-to-point message queue: a kernel object that is signalled while a message waits, written by
/// the power manager and the storage driver and read by the HAL.
class MsgQueueObject final : public Waitable {
 public:
  MsgQueueObject(DWORD maxMessages, DWORD maxMessageBytes)
      : maxMessages_(maxMessages), maxMessageBytes_(maxMessageBytes) {}

  bool IsSignaled() const override { return !messages_.empty(); }

  /// Appends one message and wakes its readers. False when it is larger than
  /// the queue's largest message or the queue is full. Requires the kernel lock.
  bool Write(std::span<const std::uint8_t> message);
  /// Takes the oldest message; requires the kernel lock and a waiting message.
  std::vector<std::uint8_t> Take();

 private:
  DWORD maxMessages_;
  DWORD maxMessageBytes_;
  std::deque<std::vector<std::uint8_t>> messages_;
};

/// Writes `record` to the queue of every live registration in `registrations` that `wants` it, forgetting
/// the registrations that have ended; returns how many queues took it. Each registration type (power,
/// device) has a `queue` member, a weak reference to its message queue. Requires the kernel lock.
template <class Registration, class Wants>
int WriteToRegistered(std::vector<std::weak_ptr<Registration>>& registrations,
                      std::span<const std::uint8_t> record, Wants wants) {
  int written = 0;
  std::erase_if(registrations, [](const auto& entry) { return entry.expired(); });
  for (const auto& entry : registrations) {
    auto registration = entry.lock();
    auto queue = registration ? registration->queue.lock() : nullptr;
    if (queue && wants(*registration) && queue->Write(record)) ++written;
  }
  return written;
}

/// Ends a notification registration of type `Registration` (a power or a
/// device registration): closes its handle, or fails with
/// ERROR_INVALID_HANDLE for a handle that is no such registration.
template <class Registration>
BOOL CloseRegistration(HANDLE handle) {
  {
    KernelLock lock(KernelMutex());
    if (!LookupAs<Registration>(handle)) {
      return FailCall(ERROR_INVALID_HANDLE, FALSE);
    }
  }
  return CloseHandle(handle);
}

/// Appends one platform effect to the trace.
void Record(std::string kind, std::string detail);

/// Registers a function that pndsim::Reset() calls to restore one module.
void OnReset(std::function<void()> hook);

}  // namespace sim

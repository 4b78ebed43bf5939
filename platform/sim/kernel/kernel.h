// The kernel concern's face, what every other part of the simulator builds on: the one kernel lock and the
// annotated mutex a device model keeps (mutex.h), waitable objects, the handle table, emulated threads and
// the waits they block in, the message-queue object and the notification registrations written to it, the
// fault check that begins an emulated call and the helper that fails one, the trace, the reset hooks and the
// bounded record the device's logs are kept in.
//
// Every object state change and every wait happens under the kernel lock (GUARDED_BY and REQUIRES say where,
// and Clang's thread-safety analysis checks them); each thread blocks on a condition variable of its own, so
// signalling an object wakes exactly the threads waiting on it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "ce/kernel.h"
#include "pndsim/control.h"
#include "sim/kernel/bounded_record.h"
#include "sim/kernel/mutex.h"

namespace sim {

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

/// An object threads can wait for.
class Waitable : public Object {
 public:
  virtual bool IsSignaled() const REQUIRES(KernelMutex()) = 0;
  /// Called when a wait is satisfied by this object (auto-reset events reset).
  virtual void Consume() REQUIRES(KernelMutex()) {}

  /// Whether a message or record waits in this object to be taken by a thread (the queues say so).
  virtual bool HoldsDeliveries() const REQUIRES(KernelMutex()) { return false; }

  void AddWaiter(Waiter* waiter) REQUIRES(KernelMutex());
  void RemoveWaiter(Waiter* waiter) REQUIRES(KernelMutex());
  /// Wakes every thread waiting on this object.
  void WakeWaiters() REQUIRES(KernelMutex());

 private:
  std::vector<Waiter*> waiters_ GUARDED_BY(KernelMutex());
};

class CriticalSectionLock;

/// A started program's process as the kernel sees it: its id and its threads, counted from their creation
/// to the end of their exit clean-up (their windows and queues gone). It is signalled once it has had a
/// thread and the last has ended. The application itself has none: its threads belong to no such object.
class ProcessLife : public Waitable {
 public:
  explicit ProcessLife(DWORD id) : id_(id) {}

  bool IsSignaled() const override REQUIRES(KernelMutex()) { return hadThread_ && threads_ == 0; }
  DWORD id() const { return id_; }

  void AddThread() REQUIRES(KernelMutex()) {
    ++threads_;
    hadThread_ = true;
  }
  void RemoveThread() REQUIRES(KernelMutex()) {
    if (--threads_ == 0) WakeWaiters();
  }

 private:
  const DWORD id_;
  int threads_ GUARDED_BY(KernelMutex()) = 0;
  bool hadThread_ GUARDED_BY(KernelMutex()) = false;
};

/// The process id of the application, whose threads belong to no started program.
DWORD ApplicationProcessId();

/// An emulated thread: created by CreateThread, or adopted the first time a
/// thread the simulator did not start calls into it.
class ThreadObject final : public Waitable {
 public:
  ThreadObject(DWORD id, bool emulated) : id_(id), emulated_(emulated) {}

  bool IsSignaled() const override REQUIRES(KernelMutex()) { return finished_; }

  DWORD id() const { return id_; }
  bool emulated() const { return emulated_; }

  /// Fixes the exit code; the first code given stands (termination, ExitThread or the return value),
  /// whatever its value, STILL_ACTIVE included.
  void SetExitCode(DWORD code) REQUIRES(KernelMutex()) {
    if (exitCodeSet_) return;
    exitCode = code;
    exitCodeSet_ = true;
  }

  Waiter waiter;
  int priority GUARDED_BY(KernelMutex()) = THREAD_PRIORITY_NORMAL;
  bool finished_ GUARDED_BY(KernelMutex()) = false;
  DWORD exitCode GUARDED_BY(KernelMutex()) = STILL_ACTIVE;
  bool terminateRequested GUARDED_BY(KernelMutex()) = false;
  /// Set before the thread starts and read by it alone.
  LPTHREAD_START_ROUTINE start = nullptr;
  LPVOID parameter = nullptr;
  /// Called (with the kernel lock held) the first time the thread is about to block in a wait, then
  /// dropped: how a program's start tells its starter that it has come to rest.
  std::function<void()> onFirstBlock GUARDED_BY(KernelMutex());
  std::vector<CriticalSectionLock*> heldLocks GUARDED_BY(KernelMutex());
  /// The started program the thread belongs to, the creating thread's; null for the application's threads.
  std::shared_ptr<ProcessLife> process GUARDED_BY(KernelMutex());

  /// The id of the process the thread belongs to.
  DWORD processId() const REQUIRES(KernelMutex()) { return process ? process->id() : ApplicationProcessId(); }

 private:
  DWORD id_;
  bool emulated_;
  bool exitCodeSet_ GUARDED_BY(KernelMutex()) = false;
};

/// Makes `queue` count for pndsim::WaitForQuiet while it lives: quiet needs it to hold no delivery.
void RegisterDeliveryQueue(const std::shared_ptr<Waitable>& queue) REQUIRES(KernelMutex());
/// The calling thread took a delivery (a posted or sent message, a queue record): the device is not quiet
/// until the thread next blocks in a wait, having done what the delivery asked.
void NoteDeliveryTaken() REQUIRES(KernelMutex());
/// The calling thread blocks in a wait, or ends: what it took is done with.
void NoteDeliveryDone() REQUIRES(KernelMutex());

/// The calling thread's kernel object, adopting the thread on first use.
ThreadObject& CurrentThread() EXCLUDES(KernelMutex());

/// CreateThread with a default stack for a thread of `process` (null: the application) instead of the
/// calling thread's process: how a program's first thread is started.
HANDLE CreateThreadOf(std::shared_ptr<ProcessLife> process, LPTHREAD_START_ROUTINE start, LPVOID parameter,
                      DWORD* threadId);

/// The calling thread's object as CurrentThread() made it, or null before it did.
std::shared_ptr<ThreadObject> CurrentThreadObject();

/// The pseudo-handles GetCurrentThread() and GetCurrentProcess() return, the device platform's values.
/// They stand for the caller's thread and process wherever a handle is taken and are never in the
/// handle table, so closing them does nothing.
inline HANDLE const kCurrentThreadHandle = reinterpret_cast<HANDLE>(std::uintptr_t{0x41});
inline HANDLE const kCurrentProcessHandle = reinterpret_cast<HANDLE>(std::uintptr_t{0x42});

/// The handle table. LookupHandle resolves the pseudo-handles too (the current thread as CurrentThread()
/// made it).
HANDLE InsertHandle(std::shared_ptr<Object> object) REQUIRES(KernelMutex());
std::shared_ptr<Object> LookupHandle(HANDLE handle) REQUIRES(KernelMutex());
bool RemoveHandle(HANDLE handle) REQUIRES(KernelMutex());

template <class T>
std::shared_ptr<T> LookupAs(HANDLE handle) REQUIRES(KernelMutex()) {
  return std::dynamic_pointer_cast<T>(LookupHandle(handle));
}

/// Registers a function that runs on every emulated thread as it ends, with
/// the kernel lock held, before the threads waiting for it are woken. A hook
/// releases what the thread still owns; it must neither block nor release the
/// lock. Takes the kernel lock itself.
void OnThreadExit(std::function<void(ThreadObject&)> hook) EXCLUDES(KernelMutex());

/// Blocks the calling thread (whose object is `self`) until one of `objects`
/// is signalled or the (unscaled) time-out passes. Returns the index of the
/// object that ended the wait, or WAIT_TIMEOUT. A thread asked to terminate
/// ends here instead of returning. `lock` holds the kernel lock; the wait releases it while it sleeps.
DWORD WaitAny(KernelLock& lock, ThreadObject& self, std::span<Waitable* const> objects, DWORD milliseconds)
    REQUIRES(KernelMutex());

/// The objects behind `handles`, in order: `owned` keeps them alive and
/// `objects` points at them. False when a handle refers to nothing that can be
/// waited on.
bool LookupWaitables(DWORD count, const HANDLE* handles, std::vector<std::shared_ptr<Waitable>>& owned,
                     std::vector<Waitable*>& objects) REQUIRES(KernelMutex());

/// Ends the calling thread at once if another thread asked to terminate it.
void TerminationPoint(KernelLock& lock, ThreadObject& self) REQUIRES(KernelMutex());

/// A span of device time in real time under the current time scale.
std::chrono::steady_clock::duration ScaledTimeout(double milliseconds);
/// Wakes every thread in a wait with a time-out, to measure what is left of it at a new time scale.
void WakeTimedWaiters() EXCLUDES(KernelMutex());

/// Milliseconds of device time since the simulator started: real time multiplied by the time scale in
/// force while it passed. The tick count, the waits and the device clock all run on it.
double DeviceElapsedMs();

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

  bool IsSignaled() const override REQUIRES(KernelMutex()) { return !messages_.empty(); }
  bool HoldsDeliveries() const override REQUIRES(KernelMutex()) { return !messages_.empty(); }

  /// Appends one message and wakes its readers. False when it is larger than
  /// the queue's largest message or the queue is full.
  bool Write(std::span<const std::uint8_t> message) REQUIRES(KernelMutex());
  /// Takes the oldest message for the calling thread (NoteDeliveryTaken); requires a waiting message.
  std::vector<std::uint8_t> Take() REQUIRES(KernelMutex());

 private:
  const DWORD maxMessages_;
  const DWORD maxMessageBytes_;
  std::deque<std::vector<std::uint8_t>> messages_ GUARDED_BY(KernelMutex());
};

/// Writes `record` to the queue of every live registration in `registrations` that `wants` it, forgetting
/// the registrations that have ended; returns how many queues took it. Each registration type (power,
/// device) has a `queue` member, a weak reference to its message queue.
template <class Registration, class Wants>
int WriteToRegistered(std::vector<std::weak_ptr<Registration>>& registrations,
                      std::span<const std::uint8_t> record, Wants wants) REQUIRES(KernelMutex()) {
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

/// Appends one platform effect to the trace, its detail given as text alone (no fields).
void Record(std::string kind, std::string detail);

/// A field of a platform effect whose value is text.
pndsim::TraceField TextField(std::string name, std::string text);
/// A field whose value is a number, shown in the detail as `text` ("0x0D"), or in decimal when `text` is
/// empty.
pndsim::TraceField NumberField(std::string name, std::int64_t value, std::string text = {});

/// A field whose value is yes (1) or no (0), shown in the detail as `text`, which may be empty ("" or
/// " refused").
pndsim::TraceField FlagField(std::string name, bool value, std::string text);

/// Appends one platform effect to the trace with its fields. Its detail is made from them: each field as
/// "NAME=TEXT", separated by blanks, or, when `pattern` is not empty, the pattern with each "{NAME}" replaced
/// by that field's text ("{caption}: {text}").
void Record(std::string kind, std::vector<pndsim::TraceField> fields, std::string_view pattern = {});

/// Registers a function that pndsim::Reset() calls to restore one module.
void OnReset(std::function<void()> hook);
/// pndsim::Reset() but for the time scale: a profile loaded onto a running device keeps its pace, so that
/// no thread of the library begins a wait at another pace meanwhile.
void ResetDevice();

}  // namespace sim

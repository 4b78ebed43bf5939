// Emulated threads on POSIX threads: creation, identity, priority, exit,
// termination and the thread-local last error.
//
// Termination cannot stop a POSIX thread at an arbitrary instruction without
// corrupting the process, so it takes effect at the target's next kernel call
// (a wait, Sleep, a critical section): the thread then unwinds through
// pthread_exit, running the destructors on its stack, and any critical
// sections it still holds are released.
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>

#include "pndsim/kernel.h"
#include "sim/kernel/critical_section_lock.h"
#include "sim/kernel/kernel.h"

namespace sim {
namespace {

std::atomic<DWORD> g_nextThreadId{0x100};
std::atomic<int> g_liveThreads{0};
thread_local std::shared_ptr<ThreadObject> t_self;
thread_local DWORD t_lastError = ERROR_SUCCESS;

// Functions other modules run as an emulated thread ends.
struct ExitHookList {
  std::vector<std::function<void(ThreadObject&)>> hooks GUARDED_BY(KernelMutex());
};

ExitHookList& ExitHooks() {
  static auto* hooks = new ExitHookList;
  return *hooks;
}

// Marks the thread ended, releases the locks it still holds and wakes those
// waiting for it. Runs on the ending thread, also while it unwinds.
void FinishThread(ThreadObject& self, DWORD exitCode) EXCLUDES(KernelMutex()) {
  KernelLock lock(KernelMutex());
  for (CriticalSectionLock* held : self.heldLocks) held->Abandon();
  self.heldLocks.clear();
  for (auto& hook : ExitHooks().hooks) hook(self);
  self.SetExitCode(exitCode);
  self.finished_ = true;
  NoteDeliveryDone();
  self.WakeWaiters();
  if (self.process) self.process->RemoveThread();
  if (self.emulated()) g_liveThreads.fetch_sub(1);
}

// Ends the calling thread. The kernel lock its caller holds stays held until
// the unwinding destroys that caller's lock guard, so the clean-up of every
// frame on the way (a wait unregistering from its objects) still runs under it.
[[noreturn]] void EndCurrentThread(ThreadObject& self, DWORD exitCode) REQUIRES(KernelMutex()) {
  self.SetExitCode(exitCode);
  pthread_exit(nullptr);
}

struct FinishOnExit {
  ThreadObject* self;
  ~FinishOnExit() { FinishThread(*self, 0); }
};

void* ThreadEntry(void* raw) {
  std::unique_ptr<std::shared_ptr<ThreadObject>> start(static_cast<std::shared_ptr<ThreadObject>*>(raw));
  t_self = *start;
  start.reset();
  ThreadObject& self = *t_self;
  FinishOnExit finish{&self};
  const DWORD code = self.start(self.parameter);
  KernelLock lock(KernelMutex());
  self.SetExitCode(code);
  return nullptr;
}

}  // namespace

void OnThreadExit(std::function<void(ThreadObject&)> hook) {
  KernelLock lock(KernelMutex());
  ExitHooks().hooks.push_back(std::move(hook));
}

std::shared_ptr<ThreadObject> CurrentThreadObject() { return t_self; }

ThreadObject& CurrentThread() {
  if (!t_self) t_self = std::make_shared<ThreadObject>(g_nextThreadId.fetch_add(1), false);
  return *t_self;
}

void TerminationPoint(KernelLock&, ThreadObject& self) {
  if (self.terminateRequested && self.emulated()) EndCurrentThread(self, self.exitCode);
}

}  // namespace sim

using namespace sim;

namespace sim {
namespace {

// Starts an emulated thread of `process` (null: the application).
HANDLE StartThread(std::shared_ptr<ProcessLife> process, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                   LPVOID parameter, DWORD* threadId) {
  auto thread = std::make_shared<ThreadObject>(g_nextThreadId.fetch_add(1), true);
  thread->start = start;
  thread->parameter = parameter;

  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  if (stackSize != 0) pthread_attr_setstacksize(&attributes, std::max<SIZE_T>(stackSize, PTHREAD_STACK_MIN));

  HANDLE handle;
  {
    KernelLock lock(KernelMutex());
    handle = InsertHandle(thread);
    thread->process = std::move(process);
    if (thread->process) thread->process->AddThread();
  }
  g_liveThreads.fetch_add(1);
  pthread_t native;
  auto* startArgument = new std::shared_ptr<ThreadObject>(thread);
  const int error = pthread_create(&native, &attributes, ThreadEntry, startArgument);
  pthread_attr_destroy(&attributes);
  if (error != 0) {
    delete startArgument;
    g_liveThreads.fetch_sub(1);
    {
      KernelLock lock(KernelMutex());
      RemoveHandle(handle);
      if (thread->process) thread->process->RemoveThread();
    }
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (threadId != nullptr) *threadId = thread->id();
  return handle;
}

}  // namespace

DWORD ApplicationProcessId() { return static_cast<DWORD>(getpid()); }

HANDLE CreateThreadOf(std::shared_ptr<ProcessLife> process, LPTHREAD_START_ROUTINE start, LPVOID parameter,
                      DWORD* threadId) {
  return StartThread(std::move(process), 0, start, parameter, threadId);
}

}  // namespace sim

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T stackSize, LPTHREAD_START_ROUTINE start, LPVOID parameter,
                    DWORD creationFlags, DWORD* threadId) {
  const DWORD argumentError =
      start == nullptr || creationFlags != 0 ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
  if (!BeginCall(pndsim::Call::CreateThread, argumentError, ERROR_NOT_ENOUGH_MEMORY)) {
    return nullptr;
  }
  // A thread belongs to its creator's process.
  ThreadObject& creator = CurrentThread();
  std::shared_ptr<ProcessLife> process;
  {
    KernelLock lock(KernelMutex());
    process = creator.process;
  }
  return StartThread(std::move(process), stackSize, start, parameter, threadId);
}

HANDLE GetCurrentThread() { return kCurrentThreadHandle; }

HANDLE GetCurrentProcess() { return kCurrentProcessHandle; }

DWORD GetCurrentThreadId() { return CurrentThread().id(); }

BOOL SetThreadPriority(HANDLE handle, int priority) {
  CurrentThread();
  KernelLock lock(KernelMutex());
  auto thread = LookupAs<ThreadObject>(handle);
  if (!thread || priority < THREAD_PRIORITY_TIME_CRITICAL || priority > THREAD_PRIORITY_IDLE) {
    return FailCall(thread ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE, FALSE);
  }
  thread->priority = priority;
  return TRUE;
}

int GetThreadPriority(HANDLE handle) {
  CurrentThread();
  KernelLock lock(KernelMutex());
  auto thread = LookupAs<ThreadObject>(handle);
  if (!thread) {
    return FailCall(ERROR_INVALID_HANDLE, THREAD_PRIORITY_ERROR_RETURN);
  }
  return thread->priority;
}

void ExitThread(DWORD exitCode) {
  ThreadObject& self = CurrentThread();
  KernelLock lock(KernelMutex());
  EndCurrentThread(self, exitCode);
}

BOOL TerminateThread(HANDLE handle, DWORD exitCode) {
  ThreadObject& self = CurrentThread();
  KernelLock lock(KernelMutex());
  auto thread = LookupAs<ThreadObject>(handle);
  if (!thread || !thread->emulated()) {
    // Only threads this platform started can be ended from outside.
    return FailCall(thread ? ERROR_ACCESS_DENIED : ERROR_INVALID_HANDLE, FALSE);
  }
  if (thread->finished_) return TRUE;
  thread->SetExitCode(exitCode);
  thread->terminateRequested = true;
  if (thread.get() == &self) EndCurrentThread(self, exitCode);
  thread->waiter.cv.notify_one();
  // Return only once the thread has unwound, so nothing it runs afterwards
  // can touch what the caller frees next.
  Waitable* target = thread.get();
  WaitAny(lock, self, std::span<Waitable* const>(&target, 1), INFINITE);
  return TRUE;
}

BOOL GetExitCodeThread(HANDLE handle, DWORD* exitCode) {
  CurrentThread();
  KernelLock lock(KernelMutex());
  auto thread = LookupAs<ThreadObject>(handle);
  if (!thread || exitCode == nullptr) {
    return FailCall(thread ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE, FALSE);
  }
  *exitCode = thread->finished_ ? thread->exitCode : STILL_ACTIVE;
  return TRUE;
}

DWORD GetLastError() { return t_lastError; }

void SetLastError(DWORD error) { t_lastError = error; }

int pndsim::LiveThreadCount() { return g_liveThreads.load(); }

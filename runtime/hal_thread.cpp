// The worker-thread base: start handshake, stop, wait and termination.
#include "runtime/hal_thread.h"

namespace {

// The thread object whose Run() the calling thread executes, if any.
thread_local const CHALThread* t_pCurrentThread = nullptr;

}  // namespace

bool CHALThread::OnLibraryThread() { return t_pCurrentThread != nullptr; }

CHALThread::CHALThread(unsigned long stackSize) : m_uiStackSize(stackSize) {}

CHALThread::~CHALThread() {
  Shutdown();
  CloseOwnedHandle();
}

void CHALThread::Shutdown() {
  if (m_hOwnedThread.load() == nullptr) return;
  m_stopEvent.Set();
  if (!Wait(kDestroyTimeoutMs)) Terminate();
  m_hThread.store(nullptr);
}

void CHALThread::CloseOwnedHandle() {
  if (HANDLE handle = m_hOwnedThread.exchange(nullptr)) CloseHandle(handle);
}

DWORD WINAPI CHALThread::ThreadEntry(LPVOID self) {
  if (self == nullptr) return 0;
  return static_cast<DWORD>(static_cast<CHALThread*>(self)->ThreadMain());
}

bool CHALThread::Start(void* param, const PrioritySource* priorities) {
  if (m_hThread.load() != nullptr) return false;
  CCriticalSectionLock guard(m_lock);
  // Tested again under the lock: a concurrent Start may have won the race.
  if (m_hThread.load() != nullptr) return false;
  // Events the platform refused at construction are made now; without them
  // the thread could be neither stopped nor waited for.
  if (!m_stopEvent.Ensure() || !m_finishedEvent.Ensure() || !m_startedEvent.Ensure()) return false;
  if (priorities != nullptr) {
    int priority = 0;
    if (priorities->ReadValue(L"ThreadPriorities", m_name.c_str(), priority)) m_iPriority = priority;
  }
  // The previous thread may still be running its last steps after Exit():
  // let it finish before its events are reused.
  if (HANDLE previous = m_hOwnedThread.load()) WaitForSingleObject(previous, INFINITE);
  CloseOwnedHandle();
  m_startedEvent.Reset();
  m_finishedEvent.Reset();
  m_pParam.store(param);
  m_stopEvent.Reset();

  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, m_uiStackSize, &CHALThread::ThreadEntry, this, 0, &id);
  if (thread == nullptr) {
    m_pParam.store(nullptr);
    return false;
  }
  // The new thread cannot end before these stores: Exit() takes m_lock.
  m_hOwnedThread.store(thread);
  m_dwThreadId.store(id);
  m_hThread.store(thread);
  SetThreadPriority(thread, m_iPriority.load());
  m_startedEvent.Wait(INFINITE);
  return true;
}

unsigned long CHALThread::ThreadMain() {
  // Running is set before the handshake so that an owner stopping the thread
  // right after Start() returns always finds it running.
  m_bRunning.store(true);
  // Applied here too, so Run() never starts at the platform's default.
  SetThreadPriority(GetCurrentThread(), m_iPriority.load());
  m_startedEvent.Set();
  t_pCurrentThread = this;
  const unsigned long code = Run(m_pParam.load());
  t_pCurrentThread = nullptr;
  m_bRunning.store(false);
  Exit(code);
  return code;  // not reached: Exit() ends the thread
}

void CHALThread::Exit(unsigned long code) {
  {
    CCriticalSectionLock guard(m_lock);
    m_hThread.store(nullptr);
    m_dwThreadId.store(0);
    m_pParam.store(nullptr);
  }
  // Nothing of this object is touched after the finished event: its owner may
  // destroy it as soon as it sees the event.
  HANDLE finished = m_finishedEvent.GetHandle();
  SetEvent(finished);
  ExitThread(static_cast<DWORD>(code));
}

void CHALThread::Lock() { m_lock.Enter(); }

void CHALThread::Unlock() { m_lock.Leave(); }

bool CHALThread::Wait(unsigned long milliseconds) {
  // The platform handle, not m_hThread, tells when the thread has ended:
  // Exit() clears m_hThread while the thread still runs its last steps on
  // this object, which must not go away before they are done.
  HANDLE thread = m_hOwnedThread.load();
  if (thread == nullptr) return true;
  const DWORD timeout = milliseconds >= INFINITE ? INFINITE : static_cast<DWORD>(milliseconds);
  if (WaitForSingleObject(thread, timeout) != WAIT_OBJECT_0) return false;
  m_hThread.compare_exchange_strong(thread, nullptr);
  return true;
}

bool CHALThread::Terminate() {
  if (m_hThread.load() == nullptr) return false;
  CCriticalSectionLock guard(m_lock);
  bool terminated = false;
  if (HANDLE thread = m_hOwnedThread.load()) {
    terminated = TerminateThread(thread, kTerminatedExitCode) != FALSE;
    if (terminated) CloseOwnedHandle();
  }
  m_bRunning.store(false);
  m_hThread.store(nullptr);
  m_dwThreadId.store(0);
  m_pParam.store(nullptr);
  m_finishedEvent.Set();
  m_startedEvent.Reset();
  return terminated;
}

bool CHALThread::SetPriority(int priority) {
  m_iPriority.store(priority);
  HANDLE thread = m_hThread.load();
  if (thread == nullptr) return true;
  return SetThreadPriority(thread, priority) != FALSE;
}

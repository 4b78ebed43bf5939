// The HAL singleton's life cycle: creation and start on first use, the calls
// that hold it, teardown by FreeDLL once no call holds it, and the phone-link
// pointer.
#include <atomic>
#include <condition_variable>
#include <mutex>

#include "hal/hal_levels.h"
#include "pndhal/lifecycle.h"

namespace {

// One observer of the library's life; the registry deletes it once removed
// and no call of it is in flight.
struct LibraryObserverEntry : runtime::ZuAllocated {
  LibraryObserverEntry(int entryId, pndhal::LibraryObserver entryObserver)
      : id(entryId), observer(std::move(entryObserver)) {}
  int id;
  pndhal::LibraryObserver observer;
};

struct DeleteObserverEntry {
  void operator()(LibraryObserverEntry* entry) const { delete entry; }
};

runtime::ListenerRegistry<LibraryObserverEntry, DeleteObserverEntry> g_observers;
std::atomic<int> g_lastObserverId{0};

void Tell(pndhal::LibraryEvent event) {
  g_observers.ForEach([event](LibraryObserverEntry* entry) { entry->observer(event); });
}

std::atomic<CHAL*> g_hal{nullptr};
std::atomic<CBTHAL*> g_bthal{nullptr};
// Serialises creation and teardown, so that two first uses create one HAL
// and two FreeDLL calls destroy it once. Never taken by a thread that holds
// the HAL (a call in flight, or one of the HAL's own threads): FreeDLL waits
// for those while it holds this lock.
std::mutex g_lifecycle;

// The exported calls in flight on the HAL, and whether FreeDLL is tearing it
// down. A call counts itself in before it looks at g_closing, and FreeDLL
// sets g_closing before it waits for the count to fall to zero; so either
// FreeDLL waits for the call or the call sees g_closing and finds no HAL.
std::atomic<int> g_calls{0};
std::atomic<bool> g_closing{false};
std::mutex g_drainLock;
std::condition_variable g_drained;

// Calls the current thread holds the HAL for: a thread inside an exported
// call must neither create a HAL nor tear one down, or it would wait for
// itself.
thread_local int t_heldCalls = 0;

// Counts a call in; the HAL, or null (and nothing counted) when there is none
// or it is being torn down.
CHAL* EnterCall() {
  g_calls.fetch_add(1);
  if (!g_closing.load()) {
    if (CHAL* hal = g_hal.load()) return hal;
  }
  if (g_calls.fetch_sub(1) == 1 && g_closing.load()) {
    std::lock_guard lock(g_drainLock);
    g_drained.notify_all();
  }
  return nullptr;
}

void LeaveCall() {
  if (g_calls.fetch_sub(1) == 1 && g_closing.load()) {
    std::lock_guard lock(g_drainLock);
    g_drained.notify_all();
  }
}

// Creates and starts the HAL unless one exists.
void Create() {
  std::lock_guard guard(g_lifecycle);
  if (g_hal.load() != nullptr) return;
  // Without memory for the HAL there is nothing to start: callers report
  // failure, and the next call tries again.
  CHAL* hal = new (std::nothrow) CHALExternApi();
  if (hal == nullptr) return;
  // Stored before anything runs on it, so the nested lookups of EnsureBTHAL
  // find it. Calls of other threads wait for the lifecycle lock meanwhile.
  g_hal.store(hal);
  hal->EnsureBTHAL();
  // Listeners connected now hear the threads' first reports.
  Tell(pndhal::LibraryEvent::kCreated);
  hal->Start();
}

}  // namespace

std::atomic<CBTHAL*>& BTHALPointer() { return g_bthal; }

CHAL* GetHALInstance() {
  if (CHAL* hal = g_hal.load()) return hal;
  Create();
  return g_hal.load();
}

CHAL* PeekHALInstance() { return g_hal.load(); }

HalCall::HalCall(Use use) : m_pHal(EnterCall()) {
  // A thread that holds the HAL already, or runs on one of its threads, only
  // ever uses the HAL it finds: FreeDLL may be waiting for it.
  if (m_pHal == nullptr && use == Use::kCreate && !g_closing.load() && t_heldCalls == 0 &&
      !CHALThread::OnLibraryThread()) {
    Create();
    m_pHal = EnterCall();
  }
  if (m_pHal == nullptr) return;
  ++t_heldCalls;
  m_pHal->RetryStart();
}

HalCall::~HalCall() {
  if (m_pHal == nullptr) return;
  --t_heldCalls;
  LeaveCall();
}

void InitHAL() { HalCall hal; }

void FreeDLL() {
  // A listener runs on one of the HAL's threads, or inside an exported call
  // on the application's thread; the teardown would wait for either. The HAL
  // stays up, to be freed from outside.
  if (CHALThread::OnLibraryThread() || t_heldCalls != 0) return;
  std::lock_guard guard(g_lifecycle);
  CHAL* hal = g_hal.load();
  if (hal == nullptr) return;
  // Observers still reach the HAL to take their listeners away.
  Tell(pndhal::LibraryEvent::kStopping);
  g_closing.store(true);
  {
    std::unique_lock lock(g_drainLock);
    g_drained.wait(lock, [] { return g_calls.load() == 0; });
  }
  hal->StopThreads();
  hal->DestroyBTHAL();
  delete hal;
  g_hal.store(nullptr);
  g_closing.store(false);
}

int pndhal::ObserveLibrary(LibraryObserver observer) {
  if (!observer) return 0;
  const int id = ++g_lastObserverId;
  auto* entry = new (std::nothrow) LibraryObserverEntry(id, std::move(observer));
  if (entry == nullptr) return 0;
  if (!g_observers.Connect(entry)) {
    delete entry;
    return 0;
  }
  return id;
}

void pndhal::UnobserveLibrary(int id) {
  g_observers.RemoveFirst([id](LibraryObserverEntry* entry) { return entry->id == id; });
}

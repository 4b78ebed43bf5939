// The handle table, events (named ones shared by name), CloseHandle and the waits on kernel objects.
#include <algorithm>
#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "pndsim/kernel.h"
#include "sim/kernel/kernel.h"

namespace sim {
namespace {

// Handles are small, never-reused-soon numbers, aligned like real ones so a
// stray pointer is unlikely to look like a handle.
class EventObject;

struct HandleTable {
  std::map<std::uintptr_t, std::shared_ptr<Object>> objects GUARDED_BY(KernelMutex());
  std::uintptr_t next GUARDED_BY(KernelMutex()) = 0x1000;
  // A name lives as long as its event: it goes with the last handle (and wait) on the event.
  std::map<std::wstring, std::weak_ptr<EventObject>> namedEvents GUARDED_BY(KernelMutex());
};

HandleTable& Table() {
  static auto* table = new HandleTable;  // outlives threads still running at exit
  return *table;
}

class EventObject final : public Waitable {
 public:
  EventObject(bool manualReset, bool state) : manualReset_(manualReset), state_(state) {}
  bool IsSignaled() const override REQUIRES(KernelMutex()) { return state_; }
  void Consume() override REQUIRES(KernelMutex()) {
    if (!manualReset_) state_ = false;
  }
  void Set() REQUIRES(KernelMutex()) {
    state_ = true;
    WakeWaiters();
  }
  void Reset() REQUIRES(KernelMutex()) { state_ = false; }

 private:
  const bool manualReset_;
  bool state_ GUARDED_BY(KernelMutex());
};

// The process as a waitable object: it cannot end while one of its threads waits for it.
class ProcessObject final : public Waitable {
 public:
  bool IsSignaled() const override REQUIRES(KernelMutex()) { return false; }
};

// The longest object name the platform takes, in characters.
constexpr std::size_t kMaxObjectName = 260;

}  // namespace

KernelMutexType& KernelMutex() {
  static auto* mutex = new KernelMutexType;  // outlives threads still running at exit
  return *mutex;
}

Object::~Object() = default;

void Waitable::AddWaiter(Waiter* waiter) { waiters_.push_back(waiter); }

void Waitable::RemoveWaiter(Waiter* waiter) {
  auto it = std::find(waiters_.begin(), waiters_.end(), waiter);
  if (it != waiters_.end()) waiters_.erase(it);
}

void Waitable::WakeWaiters() {
  for (Waiter* waiter : waiters_) waiter->cv.notify_one();
}

HANDLE InsertHandle(std::shared_ptr<Object> object) {
  HandleTable& table = Table();
  std::uintptr_t value = table.next;
  table.next += 4;
  table.objects.emplace(value, std::move(object));
  return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<Object> LookupHandle(HANDLE handle) {
  if (handle == kCurrentThreadHandle) return CurrentThreadObject();
  if (handle == kCurrentProcessHandle) {
    static auto* process = new std::shared_ptr<Object>(std::make_shared<ProcessObject>());
    return *process;
  }
  HandleTable& table = Table();
  auto it = table.objects.find(reinterpret_cast<std::uintptr_t>(handle));
  return it == table.objects.end() ? nullptr : it->second;
}

bool RemoveHandle(HANDLE handle) {
  return Table().objects.erase(reinterpret_cast<std::uintptr_t>(handle)) != 0;
}

namespace {

// The threads in a wait with a time-out: a change of the time scale wakes them to measure what is left of
// it at the new pace.
std::vector<Waiter*>& TimedWaiters() REQUIRES(KernelMutex()) {
  static auto* waiters = new std::vector<Waiter*>;
  return *waiters;
}

}  // namespace

void WakeTimedWaiters() {
  KernelLock lock(KernelMutex());
  for (Waiter* waiter : TimedWaiters()) waiter->cv.notify_all();
}

DWORD WaitAny(KernelLock& lock, ThreadObject& self, std::span<Waitable* const> objects, DWORD milliseconds) {
  // The time-out runs in device time, so that a wait begun at one pace ends when the device's time says
  // so, whatever the pace meanwhile.
  const double deviceDeadline = DeviceElapsedMs() + milliseconds;
  bool registered = false;
  bool timedOut = false;
  struct Unregister {
    std::span<Waitable* const> objects;
    Waiter* waiter;
    bool* registered;
    bool timed;
    ~Unregister() REQUIRES(KernelMutex()) {
      if (*registered) {
        for (Waitable* object : objects) object->RemoveWaiter(waiter);
        if (timed) std::erase(TimedWaiters(), waiter);
      }
    }
  } unregister{objects, &self.waiter, &registered, milliseconds != INFINITE && milliseconds != 0};

  for (;;) {
    TerminationPoint(lock, self);
    for (std::size_t i = 0; i < objects.size(); ++i) {
      if (objects[i]->IsSignaled()) {
        objects[i]->Consume();
        return static_cast<DWORD>(WAIT_OBJECT_0 + i);
      }
    }
    if (milliseconds == 0 || timedOut) return WAIT_TIMEOUT;
    if (self.onFirstBlock) std::exchange(self.onFirstBlock, nullptr)();
    NoteDeliveryDone();
    if (!registered) {
      for (Waitable* object : objects) object->AddWaiter(&self.waiter);
      if (unregister.timed) TimedWaiters().push_back(&self.waiter);
      registered = true;
    }
    if (milliseconds == INFINITE) {
      self.waiter.cv.wait(lock.native());
      continue;
    }
    const double left = deviceDeadline - DeviceElapsedMs();
    if (left <= 0) {
      timedOut = true;  // one more look: an object signalled at the deadline still counts
      continue;
    }
    self.waiter.cv.wait_for(lock.native(), ScaledTimeout(left));
  }
}

namespace {

// The queues that can hold deliveries, and how many threads are still busy with one they took.
std::vector<std::weak_ptr<Waitable>>& DeliveryQueues() REQUIRES(KernelMutex()) {
  static auto* queues = new std::vector<std::weak_ptr<Waitable>>;
  return *queues;
}
int& DeliveringThreads() REQUIRES(KernelMutex()) {
  static int count = 0;
  return count;
}
thread_local bool t_delivering = false;

}  // namespace

void RegisterDeliveryQueue(const std::shared_ptr<Waitable>& queue) {
  auto& queues = DeliveryQueues();
  std::erase_if(queues, [](const auto& entry) { return entry.expired(); });
  queues.push_back(queue);
}

void NoteDeliveryTaken() {
  if (t_delivering) return;
  t_delivering = true;
  ++DeliveringThreads();
}

void NoteDeliveryDone() {
  if (!t_delivering) return;
  t_delivering = false;
  --DeliveringThreads();
}

bool LookupWaitables(DWORD count, const HANDLE* handles, std::vector<std::shared_ptr<Waitable>>& owned,
                     std::vector<Waitable*>& objects) {
  owned.reserve(owned.size() + count);
  objects.reserve(objects.size() + count);
  for (DWORD i = 0; i < count; ++i) {
    std::shared_ptr<Waitable> object = LookupAs<Waitable>(handles[i]);
    if (!object) return false;
    objects.push_back(object.get());
    owned.push_back(std::move(object));
  }
  return true;
}

namespace {

DWORD WaitForHandles(DWORD count, const HANDLE* handles, DWORD milliseconds) EXCLUDES(KernelMutex()) {
  ThreadObject& self = CurrentThread();
  KernelLock lock(KernelMutex());
  std::vector<std::shared_ptr<Waitable>> owned;
  std::vector<Waitable*> objects;
  if (!LookupWaitables(count, handles, owned, objects)) {
    return FailCall(ERROR_INVALID_HANDLE, WAIT_FAILED);
  }
  return WaitAny(lock, self, objects, milliseconds);
}

// Applies `change` to the event behind `handle` under the kernel lock.
template <class Change>
BOOL ChangeEvent(HANDLE handle, Change change) EXCLUDES(KernelMutex()) {
  KernelLock lock(KernelMutex());
  auto event = LookupAs<EventObject>(handle);
  if (!event) {
    return FailCall(ERROR_INVALID_HANDLE, FALSE);
  }
  change(*event);
  return TRUE;
}

}  // namespace
}  // namespace sim

using namespace sim;

BOOL CloseHandle(HANDLE handle) {
  if (handle == kCurrentThreadHandle || handle == kCurrentProcessHandle) return TRUE;
  std::shared_ptr<Object> last;  // destroyed after the lock is released
  {
    KernelLock lock(KernelMutex());
    last = LookupHandle(handle);
    if (!last || !RemoveHandle(handle)) {
      return FailCall(ERROR_INVALID_HANDLE, FALSE);
    }
  }
  return TRUE;
}

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCWSTR name) {
  const std::wstring eventName = name != nullptr ? name : L"";
  KernelLock lock(KernelMutex());
  if (!BeginCall(pndsim::Call::CreateEvent,
                 eventName.size() > kMaxObjectName ? ERROR_FILENAME_EXCED_RANGE : ERROR_SUCCESS,
                 ERROR_NOT_ENOUGH_MEMORY)) {
    return nullptr;
  }
  HandleTable& table = Table();
  if (!eventName.empty()) {
    auto named = table.namedEvents.find(eventName);
    if (named != table.namedEvents.end()) {
      if (std::shared_ptr<EventObject> existing = named->second.lock()) {
        // The existing event keeps its own reset mode and state.
        SetLastError(ERROR_ALREADY_EXISTS);
        return InsertHandle(std::move(existing));
      }
      table.namedEvents.erase(named);
    }
  }
  auto event = std::make_shared<EventObject>(manualReset != FALSE, initialState != FALSE);
  if (!eventName.empty()) {
    std::erase_if(table.namedEvents, [](const auto& entry) { return entry.second.expired(); });
    table.namedEvents.emplace(eventName, event);
  }
  SetLastError(ERROR_SUCCESS);  // so that ERROR_ALREADY_EXISTS can be told from a fresh event
  return InsertHandle(std::move(event));
}

BOOL SetEvent(HANDLE handle) {
  return ChangeEvent(handle, [](EventObject& event) REQUIRES(KernelMutex()) { event.Set(); });
}

BOOL ResetEvent(HANDLE handle) {
  return ChangeEvent(handle, [](EventObject& event) REQUIRES(KernelMutex()) { event.Reset(); });
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  return WaitForHandles(1, &handle, milliseconds);
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds) {
  // The device platform has no wait-all; it refuses the flag like this.
  if (waitAll || count == 0 || count > MAXIMUM_WAIT_OBJECTS || handles == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  return WaitForHandles(count, handles, milliseconds);
}

bool pndsim::WaitForQuiet(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    {
      sim::KernelLock lock(sim::KernelMutex());
      bool quiet = sim::DeliveringThreads() == 0;
      for (const auto& entry : sim::DeliveryQueues()) {
        const auto queue = entry.lock();
        quiet = quiet && !(queue && queue->HoldsDeliveries());
      }
      if (quiet) return true;
    }
    if (std::chrono::steady_clock::now() >= deadline) return false;
    // Real time: the threads it waits for are running, not waiting for the device's time.
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
}

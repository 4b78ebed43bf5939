// The handle table, events, CloseHandle and the waits on kernel objects.
#include <algorithm>
#include <map>

#include "kernel.h"

namespace sim {
namespace {

// Handles are small, never-reused-soon numbers, aligned like real ones so a
// stray pointer is unlikely to look like a handle.
struct HandleTable {
  std::map<std::uintptr_t, std::shared_ptr<Object>> objects;
  std::uintptr_t next = 0x1000;
};

HandleTable& Table() {
  static auto* table = new HandleTable;  // outlives threads still running at exit
  return *table;
}

class EventObject final : public Waitable {
 public:
  EventObject(bool manualReset, bool state) : manualReset_(manualReset), state_(state) {}
  bool IsSignaled() const override { return state_; }
  void Consume() override {
    if (!manualReset_) state_ = false;
  }
  void Set() {
    state_ = true;
    WakeWaiters();
  }
  void Reset() { state_ = false; }

 private:
  bool manualReset_;
  bool state_;
};

// The pseudo handle GetCurrentThread() returns, as on the original platform.
HANDLE const kCurrentThreadPseudoHandle = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-2));

}  // namespace

std::mutex& KernelMutex() {
  static auto* mutex = new std::mutex;
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
  HandleTable& table = Table();
  auto it = table.objects.find(reinterpret_cast<std::uintptr_t>(handle));
  return it == table.objects.end() ? nullptr : it->second;
}

bool RemoveHandle(HANDLE handle) {
  return Table().objects.erase(reinterpret_cast<std::uintptr_t>(handle)) != 0;
}

DWORD WaitAny(KernelLock& lock, ThreadObject& self, std::span<Waitable* const> objects,
              DWORD milliseconds) {
  const auto deadline = std::chrono::steady_clock::now() + ScaledTimeout(milliseconds);
  bool registered = false;
  bool timedOut = false;
  struct Unregister {
    std::span<Waitable* const> objects;
    Waiter* waiter;
    bool* registered;
    ~Unregister() {
      if (*registered)
        for (Waitable* object : objects) object->RemoveWaiter(waiter);
    }
  } unregister{objects, &self.waiter, &registered};

  for (;;) {
    TerminationPoint(lock, self);
    for (std::size_t i = 0; i < objects.size(); ++i) {
      if (objects[i]->IsSignaled()) {
        objects[i]->Consume();
        return static_cast<DWORD>(WAIT_OBJECT_0 + i);
      }
    }
    if (milliseconds == 0 || timedOut) return WAIT_TIMEOUT;
    if (!registered) {
      for (Waitable* object : objects) object->AddWaiter(&self.waiter);
      registered = true;
    }
    if (milliseconds == INFINITE) {
      self.waiter.cv.wait(lock);
    } else if (self.waiter.cv.wait_until(lock, deadline) == std::cv_status::timeout) {
      timedOut = true;  // one more look: an object signalled at the deadline still counts
    }
  }
}

namespace {

DWORD WaitForHandles(DWORD count, const HANDLE* handles, DWORD milliseconds) {
  ThreadObject& self = CurrentThread();
  KernelLock lock(KernelMutex());
  std::vector<std::shared_ptr<Waitable>> owned;
  std::vector<Waitable*> objects;
  owned.reserve(count);
  objects.reserve(count);
  for (DWORD i = 0; i < count; ++i) {
    std::shared_ptr<Waitable> object = handles[i] == kCurrentThreadPseudoHandle
                                           ? std::shared_ptr<Waitable>()
                                           : LookupAs<Waitable>(handles[i]);
    if (!object) {
      lock.unlock();
      SetLastError(ERROR_INVALID_HANDLE);
      return WAIT_FAILED;
    }
    objects.push_back(object.get());
    owned.push_back(std::move(object));
  }
  return WaitAny(lock, self, objects, milliseconds);
}

// Applies `change` to the event behind `handle` under the kernel lock.
template <class Change>
BOOL ChangeEvent(HANDLE handle, Change change) {
  KernelLock lock(KernelMutex());
  auto event = LookupAs<EventObject>(handle);
  if (!event) {
    lock.unlock();
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  change(*event);
  return TRUE;
}

}  // namespace
}  // namespace sim

using namespace sim;

BOOL CloseHandle(HANDLE handle) {
  if (handle == kCurrentThreadPseudoHandle) return TRUE;
  std::shared_ptr<Object> last;  // destroyed after the lock is released
  {
    KernelLock lock(KernelMutex());
    last = LookupHandle(handle);
    if (!last || !RemoveHandle(handle)) {
      lock.unlock();
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
  }
  return TRUE;
}

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCWSTR name) {
  if (name != nullptr) {  // named events are not used by the HAL and not emulated
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  if (ShouldFail(pndsim::Call::CreateEvent)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  auto event = std::make_shared<EventObject>(manualReset != FALSE, initialState != FALSE);
  KernelLock lock(KernelMutex());
  return InsertHandle(std::move(event));
}

BOOL SetEvent(HANDLE handle) {
  return ChangeEvent(handle, [](EventObject& event) { event.Set(); });
}

BOOL ResetEvent(HANDLE handle) {
  return ChangeEvent(handle, [](EventObject& event) { event.Reset(); });
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  return WaitForHandles(1, &handle, milliseconds);
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll,
                             DWORD milliseconds) {
  // The device platform has no wait-all; it refuses the flag like this.
  if (waitAll || count == 0 || count > MAXIMUM_WAIT_OBJECTS || handles == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  return WaitForHandles(count, handles, milliseconds);
}

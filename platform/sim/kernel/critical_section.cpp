// Emulated critical sections: recursive locks that a waiting thread can be
// terminated out of, and that an ending thread gives up.
#include <algorithm>

#include "sim/kernel/critical_section_lock.h"

namespace sim {

void CriticalSectionLock::Enter(KernelLock& lock, ThreadObject& self) {
  if (owner_ != nullptr && owner_ != &self) {
    waiters_.push_back(&self.waiter);
    struct Unregister {
      std::vector<Waiter*>& waiters;
      Waiter* waiter;
      ~Unregister() { waiters.erase(std::find(waiters.begin(), waiters.end(), waiter)); }
    } unregister{waiters_, &self.waiter};
    // Woken by Release, or by TerminateThread through the thread's own waiter.
    while (owner_ != nullptr && owner_ != &self) {
      TerminationPoint(lock, self);
      self.waiter.cv.wait(lock.native());
    }
  }
  Take(self);
}

bool CriticalSectionLock::TryEnter(ThreadObject& self) {
  if (owner_ != nullptr && owner_ != &self) return false;
  Take(self);
  return true;
}

void CriticalSectionLock::Leave(ThreadObject& self) {
  if (owner_ != &self) return;  // leaving a section one does not own is ignored
  if (--count_ > 0) return;
  auto& held = self.heldLocks;
  held.erase(std::remove(held.begin(), held.end(), this), held.end());
  Release();
}

void CriticalSectionLock::Abandon() {
  count_ = 0;
  Release();
}

void CriticalSectionLock::Take(ThreadObject& self) {
  if (owner_ == nullptr) self.heldLocks.push_back(this);
  owner_ = &self;
  ++count_;
}

void CriticalSectionLock::Release() {
  owner_ = nullptr;
  for (Waiter* waiter : waiters_) waiter->cv.notify_one();
}

}  // namespace sim

using namespace sim;

void InitializeCriticalSection(LPCRITICAL_SECTION section) {
  if (section != nullptr) section->lock = new CriticalSectionLock;
}

void DeleteCriticalSection(LPCRITICAL_SECTION section) {
  if (section == nullptr || section->lock == nullptr) return;
  auto* lock = static_cast<CriticalSectionLock*>(section->lock);
  {
    KernelLock guard(KernelMutex());
    if (ThreadObject* owner = lock->owner()) {
      auto& held = owner->heldLocks;
      held.erase(std::remove(held.begin(), held.end(), lock), held.end());
    }
  }
  delete lock;
  section->lock = nullptr;
}

void EnterCriticalSection(LPCRITICAL_SECTION section) {
  ThreadObject& self = CurrentThread();
  KernelLock guard(KernelMutex());
  static_cast<CriticalSectionLock*>(section->lock)->Enter(guard, self);
}

BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section) {
  ThreadObject& self = CurrentThread();
  KernelLock guard(KernelMutex());
  return static_cast<CriticalSectionLock*>(section->lock)->TryEnter(self) ? TRUE : FALSE;
}

void LeaveCriticalSection(LPCRITICAL_SECTION section) {
  ThreadObject& self = CurrentThread();
  KernelLock guard(KernelMutex());
  static_cast<CriticalSectionLock*>(section->lock)->Leave(self);
}

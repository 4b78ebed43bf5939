// The lock behind an emulated CRITICAL_SECTION: recursive, owned by a thread,
// and released when its owner ends so a terminated thread cannot leave it
// held.
#pragma once

#include <vector>

#include "sim/kernel/kernel.h"

namespace sim {

class CriticalSectionLock {
 public:
  // Each requires the kernel lock.
  void Enter(KernelLock& lock, ThreadObject& self);
  bool TryEnter(ThreadObject& self);
  void Leave(ThreadObject& self);
  /// Releases the lock whatever its count; its owner has ended.
  void Abandon();
  ThreadObject* owner() const { return owner_; }

 private:
  void Take(ThreadObject& self);
  void Release();

  ThreadObject* owner_ = nullptr;
  int count_ = 0;
  std::vector<Waiter*> waiters_;
};

}  // namespace sim

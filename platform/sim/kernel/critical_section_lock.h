// The lock behind an emulated CRITICAL_SECTION: recursive, owned by a thread,
// and released when its owner ends so a terminated thread cannot leave it
// held.
#pragma once

#include <vector>

#include "sim/kernel/kernel.h"

namespace sim {

class CriticalSectionLock {
 public:
  void Enter(KernelLock& lock, ThreadObject& self) REQUIRES(KernelMutex());
  bool TryEnter(ThreadObject& self) REQUIRES(KernelMutex());
  void Leave(ThreadObject& self) REQUIRES(KernelMutex());
  /// Releases the lock whatever its count; its owner has ended.
  void Abandon() REQUIRES(KernelMutex());
  ThreadObject* owner() const REQUIRES(KernelMutex()) { return owner_; }

 private:
  void Take(ThreadObject& self) REQUIRES(KernelMutex());
  void Release() REQUIRES(KernelMutex());

  ThreadObject* owner_ GUARDED_BY(KernelMutex()) = nullptr;
  int count_ GUARDED_BY(KernelMutex()) = 0;
  std::vector<Waiter*> waiters_ GUARDED_BY(KernelMutex());
};

}  // namespace sim

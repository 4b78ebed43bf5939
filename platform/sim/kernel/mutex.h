// The simulator's locks as Clang's thread-safety analysis sees them: the kernel lock, which guards every
// kernel object, the handle table, the window system and the device models that waits depend on, and the
// mutex a device model keeps for its own state. std::mutex carries no annotations, so each is a capability
// wrapping one, with a scoped lock type that the analysis follows.
#pragma once

#include <mutex>

#include "sim/kernel/thread_annotations.h"

namespace sim {

class KernelLock;

/// The kernel lock's mutex. There is one, KernelMutex(); a field it guards is GUARDED_BY(KernelMutex()) and a
/// function that needs it held is REQUIRES(KernelMutex()).
class CAPABILITY("kernel lock") KernelMutexType final {
 public:
  KernelMutexType(const KernelMutexType&) = delete;
  KernelMutexType& operator=(const KernelMutexType&) = delete;

 private:
  KernelMutexType() = default;
  friend KernelMutexType& KernelMutex();
  friend class KernelLock;

  std::mutex mutex_;
};

/// The kernel lock.
KernelMutexType& KernelMutex();

/// Holds the kernel lock for its scope. It can be released and taken again inside the scope, also through a
/// reference handed to a function that needs the lock (a wait, a message delivery), and it hands the
/// condition variables of the waits the lock they sleep with.
class SCOPED_CAPABILITY KernelLock final {
 public:
  explicit KernelLock(KernelMutexType& mutex) ACQUIRE(mutex) : lock_(mutex.mutex_) {}
  ~KernelLock() RELEASE() = default;
  KernelLock(const KernelLock&) = delete;
  KernelLock& operator=(const KernelLock&) = delete;

  // The analysis cannot see into std::unique_lock; these are the primitive it trusts.
  void lock() ACQUIRE(KernelMutex()) NO_THREAD_SAFETY_ANALYSIS { lock_.lock(); }
  void unlock() RELEASE(KernelMutex()) NO_THREAD_SAFETY_ANALYSIS { lock_.unlock(); }
  bool owns_lock() const { return lock_.owns_lock(); }

  /// The lock as a condition variable waits with it: the wait releases it while it sleeps and holds it again
  /// when it returns, so the analysis' view stays true.
  std::unique_lock<std::mutex>& native() { return lock_; }

 private:
  std::unique_lock<std::mutex> lock_;
};

/// A device model's own mutex: GUARDED_BY(model.mutex) on the fields it guards.
class CAPABILITY("mutex") Mutex final {
 public:
  Mutex() = default;
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;

 private:
  friend class MutexLock;
  std::mutex mutex_;
};

/// Holds a Mutex for its scope; it can be released and taken again inside it, and hands a condition variable
/// the lock it waits with.
class SCOPED_CAPABILITY MutexLock final {
 public:
  explicit MutexLock(Mutex& mutex) ACQUIRE(mutex) : lock_(mutex.mutex_) {}
  ~MutexLock() RELEASE() = default;
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

  void lock() ACQUIRE() NO_THREAD_SAFETY_ANALYSIS { lock_.lock(); }
  void unlock() RELEASE() NO_THREAD_SAFETY_ANALYSIS { lock_.unlock(); }

  /// The lock as a condition variable waits with it (see KernelLock::native).
  std::unique_lock<std::mutex>& native() { return lock_; }

 private:
  std::unique_lock<std::mutex> lock_;
};

}  // namespace sim

// The HAL's annotations for Clang's thread-safety analysis (which lock guards a field, which lock a function
// needs or takes), and the mutex and scoped lock they name, since std::mutex carries none. Clang checks them
// (-Wthread-safety; the preset thread-safety makes a finding an error); for other compilers they are empty.
// The simulator has the same macros, spelt identically, so that a file that sees both still compiles.
#pragma once

#include <mutex>

#if defined(__clang__)
#define THREAD_ANNOTATION_ATTRIBUTE__(x) __attribute__((x))
#else
#define THREAD_ANNOTATION_ATTRIBUTE__(x)
#endif

/// A type that is a lock (a capability named `x` in the analysis' messages).
#define CAPABILITY(x) THREAD_ANNOTATION_ATTRIBUTE__(capability(x))
/// A type whose objects hold a lock for their scope.
#define SCOPED_CAPABILITY THREAD_ANNOTATION_ATTRIBUTE__(scoped_lockable)
/// A field read and written only with the lock `x` held.
#define GUARDED_BY(x) THREAD_ANNOTATION_ATTRIBUTE__(guarded_by(x))
/// A pointer whose target is read and written only with the lock `x` held.
#define PT_GUARDED_BY(x) THREAD_ANNOTATION_ATTRIBUTE__(pt_guarded_by(x))
/// A function called only with the locks named held.
#define REQUIRES(...) THREAD_ANNOTATION_ATTRIBUTE__(requires_capability(__VA_ARGS__))
/// A function called only with the locks named not held (it takes them itself).
#define EXCLUDES(...) THREAD_ANNOTATION_ATTRIBUTE__(locks_excluded(__VA_ARGS__))
/// A function that takes the locks named (or, on a scoped lock, those it holds) and returns with them held.
#define ACQUIRE(...) THREAD_ANNOTATION_ATTRIBUTE__(acquire_capability(__VA_ARGS__))
/// A function that releases the locks named (or, on a scoped lock, those it holds).
#define RELEASE(...) THREAD_ANNOTATION_ATTRIBUTE__(release_capability(__VA_ARGS__))
/// A function that returns the lock `x`, so that the lock it returns can be named by a call of it.
#define RETURN_CAPABILITY(x) THREAD_ANNOTATION_ATTRIBUTE__(lock_returned(x))
/// A function the analysis leaves out; each use says why the analysis cannot follow it.
#define NO_THREAD_SAFETY_ANALYSIS THREAD_ANNOTATION_ATTRIBUTE__(no_thread_safety_analysis)

namespace runtime {

/// A mutex the analysis knows: GUARDED_BY(mutex) on the fields it guards.
class CAPABILITY("mutex") Mutex final {
 public:
  Mutex() = default;
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;

 private:
  friend class MutexLock;
  std::mutex mutex_;
};

/// Holds a Mutex for its scope; it can be released and taken again inside it.
class SCOPED_CAPABILITY MutexLock final {
 public:
  explicit MutexLock(Mutex& mutex) ACQUIRE(mutex) : lock_(mutex.mutex_) {}
  ~MutexLock() RELEASE() = default;
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

  // The analysis cannot see into std::unique_lock; these are the primitive it trusts.
  void lock() ACQUIRE() NO_THREAD_SAFETY_ANALYSIS { lock_.lock(); }
  void unlock() RELEASE() NO_THREAD_SAFETY_ANALYSIS { lock_.unlock(); }

 private:
  std::unique_lock<std::mutex> lock_;
};

}  // namespace runtime

// Test support: resets the simulated device on entry and on exit of a test,
// and waits for conditions without bare sleeps.
#pragma once

#include <pndsim/pndsim.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace pndtest {

/// Resets the simulator to its default device for the scope of a test.
class SimGuard {
 public:
  explicit SimGuard(double timeScale = 1) {
    pndsim::Reset();
    pndsim::SetTimeScale(timeScale);
  }
  ~SimGuard() { pndsim::Reset(); }
  SimGuard(const SimGuard&) = delete;
  SimGuard& operator=(const SimGuard&) = delete;
};

/// A counter that threads bump and tests wait on.
class Signal {
 public:
  void Notify() {
    std::lock_guard lock(mutex_);
    ++count_;
    cv_.notify_all();
  }
  /// Waits until at least `count` notifications arrived; false after `limit`.
  bool WaitFor(int count, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, limit, [&] { return count_ >= count; });
  }
  int Count() {
    std::lock_guard lock(mutex_);
    return count_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  int count_ = 0;
};

}  // namespace pndtest

// Test support for the HAL end to end: a fresh simulated device and no HAL
// before and after each test, and listeners that record what they receive.
#pragma once

#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "pndhal/pndhal.h"
#include "sim_guard.h"

namespace pndtest {

/// A fresh simulated device for a test, and no HAL after it. Listeners the
/// HAL may still call are made with Make(), so they outlive the HAL's
/// teardown.
class HalTest : public ::testing::Test {
 protected:
  template <class T, class... Args>
  T& Make(Args&&... args) {
    auto object = std::make_shared<T>(std::forward<Args>(args)...);
    owned_.push_back(object);
    return *object;
  }

  void TearDown() override {
    ZuAllocFailAfter(0, 0);
    FreeDLL();
  }

 private:
  SimGuard guard_;  // declared first: the device is reset after everything else
  std::vector<std::shared_ptr<void>> owned_;
};

/// Records every key it receives.
class KeyRecorder : public IHardwareKeyListener {
 public:
  void Notify(eHardwareKey const& key) override {
    std::lock_guard lock(mutex_);
    keys_.push_back(key);
    arrived_.notify_all();
  }
  std::vector<int> Keys() {
    std::lock_guard lock(mutex_);
    return keys_;
  }
  std::size_t Count() {
    std::lock_guard lock(mutex_);
    return keys_.size();
  }
  /// Waits until `key` arrives at position `from` or later.
  bool WaitForKey(int key, std::size_t from) {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, std::chrono::seconds(10), [&] {
      for (std::size_t i = from; i < keys_.size(); ++i)
        if (keys_[i] == key) return true;
      return false;
    });
  }

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::vector<int> keys_;
};

/// Presses `virtualKey` and waits until `recorder` receives `key` for it:
/// every key pressed before it has been dispatched by then (the recorder must
/// be the last listener, and no earlier press may map to `key`).
inline bool PressAndWait(KeyRecorder& recorder, unsigned virtualKey, int key) {
  const std::size_t before = recorder.Count();
  if (!pndsim::PressKey(virtualKey)) return false;
  return recorder.WaitForKey(key, before);
}

}  // namespace pndtest

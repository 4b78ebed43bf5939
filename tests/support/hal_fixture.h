// Test support for the HAL end to end: a fresh simulated device and no HAL
// before and after each test, and listeners that record what they receive.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "listener_recorders.h"
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

using KeyRecorder = HardwareKeyRecorder;

/// Presses `virtualKey` and waits until `recorder` receives `key` for it:
/// every key pressed before it has been dispatched by then (the recorder must
/// be the last listener, and no earlier press may map to `key`). A press the
/// key window's full queue refuses is repeated until the window catches up.
inline bool PressAndWait(KeyRecorder& recorder, unsigned virtualKey, int key) {
  const std::size_t before = recorder.Count();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!pndsim::PressKey(virtualKey)) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::yield();
  }
  return recorder.WaitForValue(key, before);
}

}  // namespace pndtest

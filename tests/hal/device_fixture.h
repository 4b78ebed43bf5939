// Test support for the device services: a HAL test with a chosen time scale,
// a level-3 HAL object with chosen brightness settings, and bounded waits on
// simulator state.
#pragma once

#include <chrono>
#include <thread>

#include "hal/hal_levels.h"
#include "hal_fixture.h"
#include "listener_recorders.h"

namespace pndtest {

/// A HAL test whose simulated time runs `kScale` times faster, so a 5-second
/// polling period takes 5 ms.
class DeviceTest : public HalTest {
 protected:
  static constexpr double kScale = 1000;
  void SetUp() override {
    HalTest::SetUp();
    pndsim::SetTimeScale(kScale);
  }
};

/// Polls `condition` until it holds; false after `limit`.
template <class Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

/// The platform level of the HAL with its own display settings, for the
/// operations the concrete object replaces (the fade, the I/O-control reads).
class PlatformHal final : public CHALPlatform {
 public:
  PlatformHal() = default;
  PlatformHal(unsigned int maxLevel, unsigned int minLevel) {
    m_uiMaxBrightnessLevel = maxLevel;
    m_uiMinBrightnessLevel = minLevel;
  }
};

/// The levels written to the backlight since the last reset.
inline std::vector<unsigned> WrittenLevels() {
  std::vector<unsigned> levels;
  for (const auto& write : pndsim::BacklightWrites()) levels.push_back(write.level);
  return levels;
}

}  // namespace pndtest

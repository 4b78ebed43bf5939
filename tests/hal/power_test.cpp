// The power services end to end on the simulated device: the power report,
// suspend and resume through the power broadcasts, the power key, the idle
// timer and the polling thread's power reports.
#include <gmock/gmock.h>

#include "ce/power.h"
#include "ce/window.h"
#include "device_fixture.h"

static bool operator==(const PMPowerInfo& a, const PMPowerInfo& b) {
  return a.batteryLevel == b.batteryLevel && a.powerState == b.powerState;
}

namespace pndtest {
namespace {

using ::testing::ElementsAre;

class PowerTest : public DeviceTest {
 protected:
  /// Starts the HAL and waits until its power-notification queue is registered.
  void StartHal() {
    InitHAL();
    ASSERT_TRUE(WaitUntil([] { return pndsim::PowerNotificationCount() == 1; }));
  }
};

TEST_F(PowerTest, PowerInfoFollowsTheStateTableAndKeepsTheCallersValueOtherwise) {
  InitHAL();
  constexpr std::uint32_t kKept = 7;
  struct Case {
    pndsim::PowerStatus status;
    bool result;
    PMPowerInfo expected;
  };
  const Case cases[] = {
      {{0, 0xFF, 50}, true, {50, 3}},        {{0, 0x01, 50}, true, {50, 0}},
      {{0, 0x02, 20}, true, {20, 0}},        {{1, 0x01, 100}, true, {100, 3}},
      {{1, 0x08, 60}, true, {60, 2}},        {{1, 0x80, 0}, false, {0, 1}},
      {{1, 0x09, 70}, true, {70, kKept}},    {{2, 0x01, 40}, true, {40, kKept}},
      {{0xFF, 0x01, 40}, true, {40, kKept}}, {{0, 0x01, 255}, true, {255, 0}},
      {{0, 0x01, 0}, false, {0, 0}},
  };
  for (const Case& c : cases) {
    pndsim::SetPowerStatus(c.status);
    PMPowerInfo info{99, kKept};
    EXPECT_EQ(PMGetPowerInfo(info), c.result)
        << int(c.status.acLineStatus) << "/" << int(c.status.batteryFlag);
    EXPECT_EQ(info.batteryLevel, c.expected.batteryLevel);
    EXPECT_EQ(info.powerState, c.expected.powerState)
        << int(c.status.acLineStatus) << "/" << int(c.status.batteryFlag);
  }
}

TEST_F(PowerTest, OnlyAnExactSuspendTransitionAndAResumeReachSuspendListeners) {
  StartHal();
  auto& listener = Make<SuspendRecorder>();
  Connect(&listener);
  EXPECT_EQ(pndsim::BroadcastPower(PBT_TRANSITION, POWER_STATE_SUSPEND | POWER_STATE_IDLE, "suspend"), 1);
  EXPECT_EQ(pndsim::BroadcastPower(PBT_TRANSITION, POWER_STATE_ON, "on"), 1);
  EXPECT_EQ(pndsim::BroadcastPower(PBT_POWERSTATUSCHANGE, POWER_STATE_SUSPEND, ""), 1);
  pndsim::PlugAc();
  ASSERT_TRUE(pndsim::Suspend());
  ASSERT_TRUE(pndsim::Resume());  // resume, then an on transition
  ASSERT_TRUE(listener.WaitFor(2));
  // Broadcasts are read in order, so everything before the suspend was seen.
  EXPECT_EQ(pndsim::BroadcastPower(PBT_RESUME, 0, ""), 1);
  ASSERT_TRUE(listener.WaitFor(3));
  EXPECT_THAT(listener.Values(), ElementsAre(true, false, false));
}

TEST_F(PowerTest, SuspendAtTheDeviceLevelPressesThePowerKeyAndListenersSeeSuspendThenResume) {
  StartHal();
  auto& listener = Make<SuspendRecorder>();
  Connect(&listener);
  pndsim::ClearTrace();
  EXPECT_TRUE(SuspendDevice());
  ASSERT_TRUE(listener.WaitFor(1));
  EXPECT_TRUE(pndsim::IsSuspended());
  std::vector<std::string> keys;
  for (const auto& event : pndsim::Trace()) {
    if (event.kind == "keybd_event") keys.push_back(event.detail);
  }
  EXPECT_THAT(keys, ElementsAre("vk=0xDF scan=0 flags=0x4 extra=0", "vk=0xDF scan=0 flags=0x6 extra=0"));

  ASSERT_TRUE(pndsim::Resume());
  ASSERT_TRUE(listener.WaitFor(2));
  EXPECT_THAT(listener.Values(), ElementsAre(true, false));
}

TEST_F(PowerTest, PlatformLevelSuspendRequestsTheForcedSuspendState) {
  PlatformHal hal;
  pndsim::ClearTrace();
  EXPECT_TRUE(hal.SuspendDevice());
  EXPECT_EQ(pndsim::SuspendCount(), 1);
  bool requested = false;
  for (const auto& event : pndsim::Trace()) {
    requested |= event.kind == "power.request" && event.detail == "state=0x00200000 options=0x00001000";
  }
  EXPECT_TRUE(requested);
  EXPECT_TRUE(hal.SuspendDevice());  // already suspended: still reported as done
}

TEST_F(PowerTest, ActivatePowerKeyStopsAndRestartsTheNotificationThreadOnce) {
  StartHal();
  auto& listener = Make<SuspendRecorder>();
  Connect(&listener);
  ActivatePowerKey(true);
  EXPECT_EQ(pndsim::PowerNotificationCount(), 0);
  ActivatePowerKey(true);  // already stopped: returns at once
  ASSERT_TRUE(pndsim::Suspend());
  ASSERT_TRUE(pndsim::Resume());

  ActivatePowerKey(false);
  ActivatePowerKey(false);
  ASSERT_TRUE(WaitUntil([] { return pndsim::PowerNotificationCount() >= 1; }));
  EXPECT_EQ(pndsim::PowerNotificationCount(), 1);
  ASSERT_TRUE(pndsim::Suspend());
  ASSERT_TRUE(listener.WaitFor(1));
  EXPECT_EQ(pndsim::BroadcastPower(PBT_RESUME, 0, ""), 1);
  ASSERT_TRUE(listener.WaitFor(2));
  EXPECT_THAT(listener.Values(), ElementsAre(true, false));  // nothing from while it was stopped
}

TEST_F(PowerTest, PowerListenersHearTheStateAtConnectionAndThenOnlyChanges) {
  pndsim::SetPowerStatus({0, 0x01, 60});
  InitHAL();
  auto& listener = Make<PowerRecorder>();
  Connect(&listener);
  ASSERT_TRUE(listener.WaitFor(1));
  EXPECT_EQ(listener.Values().front(), (PMPowerInfo{60, 0}));
  // The idle-timer ticks count polling cycles.
  StartResetIdleTimer();
  ASSERT_TRUE(WaitUntil([] { return pndsim::IdleTimerResets() >= 3; }));
  const std::size_t settled = listener.Count();
  EXPECT_LE(settled, 2u);  // at connection, and the first cycle if it came later

  pndsim::PlugAc();
  pndsim::SetBattery(61, BATTERY_FLAG_CHARGING);
  ASSERT_TRUE(WaitUntil([&] { return listener.Values().back() == PMPowerInfo{61, 2}; }));
  const int cycles = pndsim::IdleTimerResets();
  ASSERT_TRUE(WaitUntil([&] { return pndsim::IdleTimerResets() >= cycles + 2; }));
  const auto values = listener.Values();
  EXPECT_LE(values.size(), settled + 2);  // the AC change and the battery change, at most
  EXPECT_EQ(values.back(), (PMPowerInfo{61, 2}));
}

TEST_F(PowerTest, IdleTimerIsResetEachCycleOnlyWhileAsked) {
  InitHAL();
  auto& volume = Make<VolumeRecorder>();
  Connect(&volume);
  StartResetIdleTimer();
  ASSERT_TRUE(WaitUntil([] { return pndsim::IdleTimerResets() >= 2; }));
  StopResetIdleTimer();
  const int stopped = pndsim::IdleTimerResets();
  // Two volume changes seen prove two more full cycles ran.
  for (std::uint16_t channel : {std::uint16_t{0x1000}, std::uint16_t{0x2000}}) {
    const std::size_t before = volume.Count();
    pndsim::SetVolumeChannels(channel, channel);
    ASSERT_TRUE(volume.WaitFor(before + 1));
  }
  EXPECT_LE(pndsim::IdleTimerResets(), stopped + 1);  // a tick already under way may land
}

TEST_F(PowerTest, ThePlatformLevelKeepsTheIdleTimerAwakeWhileTheApplicationIsInTheForeground) {
  PlatformHal hal;  // built on this thread: the windows of this thread are the application's
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.lpszClassName = L"NavigationApp";
  ASSERT_NE(RegisterClassW(&windowClass), 0);
  HWND window =
      CreateWindowExW(0, L"NavigationApp", L"map", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  VolumeRecorder volume;
  hal.m_volumeListeners.Connect(&volume);
  pndsim::SetBacklightLevel(4);
  pndsim::ClearBacklightWrites();
  hal.Start();

  ASSERT_TRUE(pndsim::SetForegroundWindow(reinterpret_cast<std::uintptr_t>(window)));
  EXPECT_TRUE(hal.IsApplicationInForeground());
  ASSERT_TRUE(WaitUntil([] { return pndsim::IdleTimerResets() >= 2; }));
  EXPECT_TRUE(WrittenLevels().empty());  // the brightness is set again as it was: no fade

  ASSERT_TRUE(pndsim::SetForegroundWindow(0));
  EXPECT_FALSE(hal.IsApplicationInForeground());
  // Two volume changes seen prove two more full cycles ran.
  for (std::uint16_t channel : {std::uint16_t{0x1000}, std::uint16_t{0x2000}}) {
    const std::size_t before = volume.Count();
    pndsim::SetVolumeChannels(channel, channel);
    ASSERT_TRUE(volume.WaitFor(before + 1));
  }
  const int left = pndsim::IdleTimerResets();
  const std::size_t seen = volume.Count();
  pndsim::SetVolumeChannels(0x3000, 0x3000);
  ASSERT_TRUE(volume.WaitFor(seen + 1));  // a cycle that ends with a tick
  EXPECT_EQ(pndsim::IdleTimerResets(), left);

  hal.StopThreads();
  hal.m_volumeListeners.Disconnect(&volume);
  DestroyWindow(window);
  UnregisterClassW(L"NavigationApp", nullptr);
}

TEST_F(PowerTest, ResetDeviceAsksForARebootAndReportsARefusal) {
  InitHAL();
  EXPECT_TRUE(ResetDevice());
  EXPECT_EQ(pndsim::RebootCount(), 1);
  pndsim::FailNext(pndsim::Call::KernelIoControl);
  EXPECT_FALSE(ResetDevice());
  EXPECT_EQ(pndsim::RebootCount(), 1);
  EXPECT_FALSE(PMPowerOff());
}

TEST_F(PowerTest, FreeDLLReturnsPromptlyWithTheRealPollingPeriod) {
  pndsim::SetTimeScale(1);
  pndsim::FailNext(pndsim::Call::CreateMsgQueue);  // the notification thread waits for its stop alone
  InitHAL();
  const auto start = std::chrono::steady_clock::now();
  FreeDLL();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
  EXPECT_EQ(pndsim::PowerNotificationCount(), 0);
}

}  // namespace
}  // namespace pndtest

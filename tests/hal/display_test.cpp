// The display services end to end on the simulated device: the fade's level
// sequence and pauses, brightness at the platform and device levels, display
// off and on, and the screen orientation.
#include <gmock/gmock.h>

#include "device_fixture.h"

namespace pndtest {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

class DisplayTest : public DeviceTest {};

struct FadeCase {
  unsigned maxLevel;
  unsigned startLevel;
  unsigned target;
  std::vector<unsigned> writes;
};

TEST_F(DisplayTest, AFadeWritesEachStepFromTheLevelReadToTheGoal) {
  const FadeCase cases[] = {
      {10, 2, 100, {2, 4, 6, 8, 10}},    // up, default fade: back to back
      {8, 8, 0, {8, 6, 4, 3, 1}},        // down to 0 percent stops at the minimum level
      {10, 10, 3, {10, 8, 6, 4, 2, 1}},  // 3 percent rounds to level 0, raised to the minimum
      {10, 3, 50, {3, 5}},               // 30 -> 50: one step reaches the goal
  };
  for (const FadeCase& fade : cases) {
    PlatformHal hal(fade.maxLevel, 1);
    pndsim::SetBacklightLevel(fade.startLevel);
    pndsim::ClearBacklightWrites();
    EXPECT_TRUE(hal.SetBrightness(fade.target, 0));
    EXPECT_THAT(WrittenLevels(), ElementsAreArray(fade.writes))
        << "max " << fade.maxLevel << " from " << fade.startLevel << " to " << fade.target << "%";
    for (const auto& write : pndsim::BacklightWrites()) EXPECT_EQ(write.via, "ioctl");
  }
}

TEST_F(DisplayTest, AFadeArgumentOfOnePausesFiftyMillisecondsPerStep) {
  // A slow pace, so that a thread preempted on a busy machine stays well inside the bound.
  pndsim::SetTimeScale(2);
  PlatformHal hal(10, 1);
  pndsim::SetBacklightLevel(2);
  pndsim::ClearBacklightWrites();
  ASSERT_TRUE(hal.SetBrightness(100, 1));
  const auto writes = pndsim::BacklightWrites();
  ASSERT_EQ(writes.size(), 5u);
  for (std::size_t i = 1; i < writes.size(); ++i) {
    const std::uint32_t pause = writes[i].tick - writes[i - 1].tick;
    EXPECT_GE(pause, 49u) << "step " << i;
    EXPECT_LT(pause, 400u) << "step " << i;
  }
}

TEST_F(DisplayTest, AFadeAlreadyAtItsTargetWritesTheGoalOnce) {
  PlatformHal hal(10, 1);
  pndsim::SetBacklightLevel(5);
  pndsim::ClearBacklightWrites();
  CBrightnessFadeThread fade(50, 100);
  ASSERT_TRUE(fade.Start(static_cast<CHAL*>(&hal), nullptr));
  ASSERT_TRUE(fade.Wait(INFINITE));
  EXPECT_THAT(WrittenLevels(), ElementsAre(5u));
}

TEST_F(DisplayTest, PlatformLevelSkipsAFadeToTheCurrentBrightnessAndRefusesOutOfRange) {
  PlatformHal hal;  // max 8, min 1
  pndsim::SetBacklightLevel(4);
  pndsim::ClearBacklightWrites();
  EXPECT_TRUE(hal.SetBrightness(50, 0));
  EXPECT_FALSE(hal.SetBrightness(101, 0));
  EXPECT_THAT(WrittenLevels(), IsEmpty());
  unsigned percent = 0;
  EXPECT_TRUE(hal.GetBrightness(percent));
  EXPECT_EQ(percent, 50u);

  pndsim::FailNext(pndsim::Call::KernelIoControl);
  percent = 77;
  EXPECT_FALSE(hal.GetBrightness(percent));  // a refused read is no reading of 0
  EXPECT_EQ(percent, 77u);

  pndsim::SetBacklightLevel(9);  // above the maximum of 8
  EXPECT_FALSE(hal.GetBrightness(percent));
  EXPECT_EQ(percent, 77u);
  // Nothing was read, so there is nothing to restore.
  EXPECT_FALSE(hal.PMDisplayOn());
  EXPECT_THAT(WrittenLevels(), IsEmpty());
}

TEST_F(DisplayTest, AFadeThatCannotStartIsReportedAndChangesNothing) {
  PlatformHal hal(10, 1);
  pndsim::SetBacklightLevel(2);
  pndsim::ClearBacklightWrites();
  pndsim::FailNext(pndsim::Call::CreateThread);
  EXPECT_FALSE(hal.SetBrightness(100, 0));
  EXPECT_THAT(WrittenLevels(), IsEmpty());
  EXPECT_TRUE(hal.SetBrightness(100, 0));
  EXPECT_EQ(pndsim::BacklightLevel(), 10u);
}

TEST_F(DisplayTest, RoundBrightnessRoundsToTheNearestWholeNumberHalvesUp) {
  PlatformHal hal;
  const std::pair<float, unsigned> cases[] = {{0.3f, 0},  {0.5f, 1}, {1.5f, 2},  {2.49f, 2},
                                              {2.51f, 3}, {7.0f, 7}, {-0.7f, 0}, {-3.0f, 0}};
  for (const auto& [value, rounded] : cases) EXPECT_EQ(hal.RoundBrightness(value), rounded) << value;
}

TEST_F(DisplayTest, DeviceLevelWritesThroughTheVendorAtOnce) {
  InitHAL();
  pndsim::ClearBacklightWrites();
  EXPECT_TRUE(SetBrightness(100, 1));
  EXPECT_TRUE(SetBrightness(0, 0));
  EXPECT_TRUE(SetBrightness(55, 0));
  EXPECT_FALSE(SetBrightness(101, 0));
  EXPECT_THAT(WrittenLevels(), ElementsAre(10u, 1u, 5u));
  for (const auto& write : pndsim::BacklightWrites()) EXPECT_EQ(write.via, "vendor");

  unsigned percent = 0;
  pndsim::SetBacklightLevel(14);
  EXPECT_TRUE(GetBrightness(percent));
  EXPECT_EQ(percent, 100u);  // above the range reads as full
  pndsim::SetBacklightLevel(7);
  EXPECT_TRUE(GetBrightness(percent));
  EXPECT_EQ(percent, 70u);
}

TEST_F(DisplayTest, DisplayOffThenOnRestoresTheBrightness) {
  InitHAL();
  pndsim::SetBacklightLevel(8);
  pndsim::ClearBacklightWrites();
  EXPECT_FALSE(PMDisplayOn()) << "the display is on: nothing to restore";
  EXPECT_TRUE(PMDisplayOff());
  unsigned percent = 0;
  EXPECT_TRUE(GetBrightness(percent));
  EXPECT_EQ(percent, 10u) << "the lowest level reads as 10 percent";
  EXPECT_TRUE(PMDisplayOff()) << "off again keeps the brightness to restore";
  EXPECT_TRUE(PMDisplayOn());
  EXPECT_THAT(WrittenLevels(), ElementsAre(1u, 1u, 8u));
  EXPECT_FALSE(PMDisplayOn()) << "on again changes nothing";

  pndsim::SetBacklightLevel(0);  // the backlight went dark by itself
  EXPECT_TRUE(PMDisplayOn()) << "dark counts as off";
  EXPECT_THAT(WrittenLevels(), ElementsAre(1u, 1u, 8u, 8u));
}

TEST_F(DisplayTest, DisplayOffWithoutAReadableBrightnessChangesNothing) {
  InitHAL();
  pndsim::SetBacklightLevel(6);
  ASSERT_TRUE(PMDisplayOff());
  ASSERT_TRUE(PMDisplayOn());
  pndsim::SetBacklightLevel(9);
  pndsim::ClearBacklightWrites();
  pndsim::FailNext(pndsim::Call::GetProcAddress);  // the vendor's brightness read is missing
  EXPECT_FALSE(PMDisplayOff());
  EXPECT_THAT(WrittenLevels(), IsEmpty());
  EXPECT_FALSE(PMDisplayOn()) << "the display is still on";
  EXPECT_TRUE(PMDisplayOff());
  EXPECT_TRUE(PMDisplayOn());
  EXPECT_THAT(WrittenLevels(), ElementsAre(1u, 9u)) << "the brightness before the failed call";
}

TEST_F(DisplayTest, AMissingVendorFunctionAnswersFalseAndWritesNothing) {
  InitHAL();
  pndsim::ClearBacklightWrites();
  pndsim::FailNext(pndsim::Call::GetProcAddress, 2);
  unsigned percent = 33;
  EXPECT_FALSE(GetBrightness(percent));
  EXPECT_EQ(percent, 33u);
  EXPECT_FALSE(SetBrightness(50, 0));
  EXPECT_THAT(WrittenLevels(), IsEmpty());
  EXPECT_TRUE(SetBrightness(50, 0));  // looked up afresh on every call
}

TEST_F(DisplayTest, FreeDLLReleasesTheVendorLibraryAndANewHALTakesItBack) {
  InitHAL();
  EXPECT_THAT(pndsim::LoadedLibraries(), ElementsAre("externapi.dll"));
  FreeDLL();
  EXPECT_THAT(pndsim::LoadedLibraries(), IsEmpty());

  pndsim::FailNext(pndsim::Call::LoadLibrary, 2);
  InitHAL();  // the library cannot be loaded: brightness is unavailable
  unsigned percent = 0;
  EXPECT_FALSE(GetBrightness(percent)) << "the loader refuses once more";
  EXPECT_THAT(pndsim::LoadedLibraries(), IsEmpty());
  EXPECT_TRUE(GetBrightness(percent)) << "the next call loads it";
  EXPECT_THAT(pndsim::LoadedLibraries(), ElementsAre("externapi.dll"));
}

TEST_F(DisplayTest, OrientationFollowsTheScreenResolution) {
  InitHAL();
  struct Case {
    int width, height;
    bool ok;
    DisplayInfo expected;
  };
  const Case cases[] = {{480, 272, true, {1, 480, 272}},
                        {272, 480, true, {0, 272, 480}},
                        {300, 300, true, {2, 300, 300}},
                        {0, 272, false, {9, 9, 9}}};
  for (const Case& c : cases) {
    pndsim::SetScreenSize(c.width, c.height);
    DisplayInfo info{9, 9, 9};
    EXPECT_EQ(GetScreenOrientation(info), c.ok);
    EXPECT_EQ(info.orientation, c.expected.orientation);
    EXPECT_EQ(info.width, c.expected.width);
    EXPECT_EQ(info.height, c.expected.height);
  }
  EXPECT_TRUE(SetScreenOrientation(true));
  EXPECT_EQ(pndsim::ScreenSize(), std::make_pair(0, 272));
}

}  // namespace
}  // namespace pndtest

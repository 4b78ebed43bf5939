// The volume services end to end on the simulated mixer: the percent
// conversions, channels, mute and restore, and the polling thread's reports.
#include <gmock/gmock.h>

#include "device_fixture.h"

namespace pndtest {
namespace {

class AudioTest : public DeviceTest {};

TEST_F(AudioTest, VolumeConvertsBetweenPercentAndBothChannels) {
  InitHAL();
  struct Case {
    unsigned set;
    std::uint32_t word;
  };
  const Case cases[] = {{50, 0x80008000}, {1, 0x028F028F}, {49, 0x7D707D70}, {100, 0xFFFFFFFF}, {0, 0}};
  for (const Case& c : cases) {
    EXPECT_TRUE(SetVolume(c.set));
    EXPECT_EQ(pndsim::VolumeWord(), c.word) << c.set;
  }
  // Every percentage reads back as written.
  for (unsigned set = 0; set <= 100; ++set) {
    ASSERT_TRUE(SetVolume(set));
    unsigned percent = 999;
    EXPECT_TRUE(GetVolume(percent));
    EXPECT_EQ(percent, set);
  }
  pndsim::SetVolumeChannels(0x1234, 0x1234);
  EXPECT_FALSE(SetVolume(101));
  EXPECT_EQ(pndsim::VolumeWord(), 0x12341234u);
}

TEST_F(AudioTest, TheLouderChannelIsReported) {
  InitHAL();
  unsigned percent = 0;
  pndsim::SetVolumeChannels(0x1000, 0x8000);
  EXPECT_TRUE(GetVolume(percent));
  EXPECT_EQ(percent, 50u);
  pndsim::SetVolumeChannels(0x8000, 0x1000);
  EXPECT_TRUE(GetVolume(percent));
  EXPECT_EQ(percent, 50u);
}

TEST_F(AudioTest, MuteAndRestoreGiveBackTheVolumeHoweverOftenTheyAlternate) {
  InitHAL();
  ASSERT_TRUE(SetVolume(50));
  for (int round = 0; round < 5; ++round) {
    EXPECT_TRUE(Mute(true));
    EXPECT_EQ(pndsim::VolumeWord(), 0u);
    EXPECT_TRUE(Mute(true)) << "a mute while muted keeps the volume to restore";
    EXPECT_TRUE(Mute(false));
    EXPECT_EQ(pndsim::VolumeWord(), 0x80008000u) << "round " << round;
  }
  bool muted = true;
  EXPECT_FALSE(IsMuted(muted));
  EXPECT_TRUE(muted);  // untouched
}

TEST_F(AudioTest, AMuteThatFailsChangesNothing) {
  InitHAL();
  ASSERT_TRUE(SetVolume(50));
  EXPECT_TRUE(Mute(false)) << "nothing saved yet: the volume stays";
  EXPECT_EQ(pndsim::VolumeWord(), 0x80008000u);
  for (pndsim::Call call : {pndsim::Call::WaveOutGetVolume, pndsim::Call::WaveOutSetVolume}) {
    pndsim::FailNext(call);
    EXPECT_FALSE(Mute(true)) << pndsim::CallName(call);
    EXPECT_EQ(pndsim::VolumeWord(), 0x80008000u) << pndsim::CallName(call);
  }
  ASSERT_TRUE(SetVolume(30));
  EXPECT_TRUE(Mute(false)) << "nothing saved by the failed mutes";
  EXPECT_EQ(pndsim::VolumeWord(), 0x4CCD4CCDu) << "the volume stays as it is";
}

TEST_F(AudioTest, MixerFailuresAreReported) {
  InitHAL();
  pndsim::FailNext(pndsim::Call::WaveOutSetVolume);
  EXPECT_FALSE(SetVolume(30));
  pndsim::FailNext(pndsim::Call::WaveOutGetVolume);
  unsigned percent = 0;
  EXPECT_FALSE(GetVolume(percent));
}

TEST_F(AudioTest, VolumeListenersHearAChangeWithinOnePollingPeriod) {
  InitHAL();
  auto& listener = Make<VolumeRecorder>();
  Connect(&listener);
  ASSERT_TRUE(SetVolume(50));
  ASSERT_TRUE(WaitUntil([&] {
    const auto values = listener.Values();
    return !values.empty() && values.back().volume == 50;
  }));
  EXPECT_FALSE(listener.Values().back().muted);
}

TEST_F(AudioTest, ASilentMixerAtStartIsNotReportedUntilItChanges) {
  pndsim::SetVolumeChannels(0, 0);
  InitHAL();
  auto& listener = Make<VolumeRecorder>();
  Connect(&listener);
  StartResetIdleTimer();
  ASSERT_TRUE(WaitUntil([] { return pndsim::IdleTimerResets() >= 2; }));
  EXPECT_EQ(listener.Count(), 0u);
  ASSERT_TRUE(SetVolume(100));
  ASSERT_TRUE(listener.WaitFor(1));
  EXPECT_EQ(listener.Values().front().volume, 100);
}

}  // namespace
}  // namespace pndtest

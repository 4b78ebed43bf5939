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
    unsigned readBack;
  };
  const Case cases[] = {{50, 0x7FFF7FFF, 49}, {1, 0x028F028F, 0}, {100, 0xFFFFFFFF, 100}, {0, 0, 0}};
  for (const Case& c : cases) {
    EXPECT_TRUE(SetVolume(c.set));
    EXPECT_EQ(pndsim::VolumeWord(), c.word) << c.set;
    unsigned percent = 999;
    EXPECT_TRUE(GetVolume(percent));
    EXPECT_EQ(percent, c.readBack) << c.set;
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

TEST_F(AudioTest, MuteSavesThePercentageReadAndUnmuteRestoresIt) {
  InitHAL();
  ASSERT_TRUE(SetVolume(50));
  EXPECT_TRUE(Mute(true));
  EXPECT_EQ(pndsim::VolumeWord(), 0u);
  bool muted = true;
  EXPECT_FALSE(IsMuted(muted));
  EXPECT_TRUE(muted);  // untouched
  EXPECT_TRUE(Mute(false));
  unsigned percent = 0;
  EXPECT_TRUE(GetVolume(percent));
  EXPECT_EQ(percent, 48u);  // 49 saved, written as 32112, read back as 48

  // A refused mute keeps the previous saved volume.
  pndsim::FailNext(pndsim::Call::WaveOutSetVolume);
  EXPECT_FALSE(Mute(true));
  EXPECT_TRUE(Mute(false));
  EXPECT_EQ(pndsim::VolumeWord(), 0x7D707D70u);
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
    return !values.empty() && values.back().volume == 49;
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

// The HAL's life cycle through the exported functions: creation on first use,
// one start, teardown that leaves nothing behind, and allocation failure.
#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "hal/hal.h"
#include "hal_fixture.h"

namespace {

using LifeCycle = pndtest::HalTest;

int KeyEventWindows() {
  int count = 0;
  for (const auto& window : pndsim::Windows()) count += window.title == "KeyEventMessageWin";
  return count;
}

TEST_F(LifeCycle, AnyExportedCallCreatesAndStartsTheHal) {
  EXPECT_EQ(KeyEventWindows(), 0);
  unsigned int volume = 0;
  GetVolume(volume);
  EXPECT_EQ(KeyEventWindows(), 1);
  EXPECT_EQ(pndsim::HotKeys().size(), 12u) << "the default keys are grabbed";
  EXPECT_EQ(pndsim::LiveThreadCount(), 4) << "key-event window and three device threads";
}

TEST_F(LifeCycle, InitTwiceCreatesOneHalStartedOnce) {
  InitHAL();
  CHAL* first = GetHALInstance();
  InitHAL();
  EXPECT_EQ(GetHALInstance(), first);
  EXPECT_EQ(KeyEventWindows(), 1);
  EXPECT_EQ(pndsim::LiveThreadCount(), 4);
}

TEST_F(LifeCycle, FreeDllLeavesNoThreadWindowOrHotKey) {
  InitHAL();
  FreeDLL();
  EXPECT_EQ(pndsim::LiveThreadCount(), 0);
  EXPECT_EQ(pndsim::WindowCount(), 0);
  EXPECT_TRUE(pndsim::HotKeys().empty());
  FreeDLL();  // a second teardown does nothing
  EXPECT_EQ(pndsim::WindowCount(), 0);
}

TEST_F(LifeCycle, FreeDllFromInsideAListenerLeavesTheHalForAnotherThreadToFree) {
  struct Quitter : IHardwareKeyListener {
    void Notify(eHardwareKey const&) override {
      FreeDLL();  // an application leaving on its "exit" key
      halAfter = PeekHALInstance();
      returned.Notify();
    }
    std::atomic<CHAL*> halAfter{nullptr};
    pndtest::Signal returned;
  };
  Quitter& quitter = Make<Quitter>();
  Connect(&quitter);
  ASSERT_TRUE(pndsim::PressKey(0x0D));
  ASSERT_TRUE(quitter.returned.WaitFor(1)) << "FreeDLL on the key thread must not hang";
  EXPECT_NE(quitter.halAfter.load(), nullptr) << "the HAL is still up";
  FreeDLL();
  EXPECT_EQ(PeekHALInstance(), nullptr);
  EXPECT_EQ(pndsim::LiveThreadCount(), 0);
}

TEST_F(LifeCycle, ConcurrentFirstUsesAndFreesCreateAndDestroyOnce) {
  for (int round = 0; round < 20; ++round) {
    std::thread rival([] { InitHAL(); });
    InitHAL();
    rival.join();
    EXPECT_EQ(KeyEventWindows(), 1) << "round " << round;
    std::thread other([] { FreeDLL(); });
    FreeDLL();
    other.join();
    EXPECT_EQ(pndsim::WindowCount(), 0) << "round " << round;
    EXPECT_EQ(pndsim::LiveThreadCount(), 0) << "round " << round;
  }
}

TEST_F(LifeCycle, CallsThatOnlyTakeSomethingAwayNeverCreateAHal) {
  pndtest::KeyRecorder key;
  pndtest::KeyRecordRecorder record;
  pndtest::PowerRecorder power;
  pndtest::VolumeRecorder volume;
  pndtest::CardRecorder card;
  pndtest::SuspendRecorder suspend;
  HardwareKeyMap shared;
  shared.insert(0x77, eHardwareKeyF8);
  const std::function<void()> calls[] = {
      [&] { Disconnect(&key); },
      [&] { Disconnect(&record); },
      [&] { Disconnect(&power); },
      [&] { Disconnect(&volume); },
      [&] { Disconnect(&card); },
      [&] { Disconnect(&suspend); },
      [&] { DeactivateSharedHardwareKeyMap(shared); },
      [] { StopResetIdleTimer(); },
  };
  InitHAL();
  CBTHAL* link = GetBTHAL();
  ASSERT_NE(link, nullptr);
  FreeDLL();
  for (const auto& call : calls) call();
  int status = 7;
  link->GetCallStatus(status);  // a phone link kept across FreeDLL
  EXPECT_EQ(status, 7) << "no phone link runs: nothing written";
  EXPECT_FALSE(link->HangUp());
  EXPECT_EQ(PeekHALInstance(), nullptr);
  EXPECT_EQ(pndsim::LiveThreadCount(), 0);
  EXPECT_EQ(pndsim::WindowCount(), 0);
  EXPECT_TRUE(pndsim::HotKeys().empty());
  EXPECT_EQ(GetBTHAL(), link) << "the pointer stays valid; the next HAL's link answers through it";
  link->GetCallStatus(status);
  EXPECT_EQ(status, -1);
}

// Every exported call made while another thread tears the HAL down and
// creates it again either runs on a HAL that lives until it returns or finds
// no HAL: under the sanitizers, no use of freed memory and no data race.
TEST_F(LifeCycle, CallsOfEveryServiceDuringRepeatedTeardownsAreSafe) {
  pndsim::SetTimeScale(1000);
  std::atomic<bool> stop{false};
  auto worker = [&stop](int seed) {
    pndtest::KeyRecorder key;
    pndtest::PowerRecorder power;
    pndtest::VolumeRecorder volume;
    pndtest::CardRecorder card;
    pndtest::SuspendRecorder suspend;
    HardwareKeyMap shared;
    shared.insert(0x77, eHardwareKeyF8);
    unsigned char flash[4] = {};
    wchar_t text[64];
    for (unsigned round = static_cast<unsigned>(seed); !stop.load(); ++round) {
      unsigned percent = 0;
      switch (round % 12) {
        case 0:
          Connect(&key);
          Connect(&power);
          Connect(&volume);
          Disconnect(&key);
          Disconnect(&power);
          Disconnect(&volume);
          break;
        case 1:
          Connect(&card);
          Connect(&suspend);
          Disconnect(&card);
          Disconnect(&suspend);
          break;
        case 2:
          SetVolume(round % 101);
          GetVolume(percent);
          break;
        case 3:
          Mute(true);
          Mute(false);
          break;
        case 4:
          SetBrightness(round % 101, 0);
          GetBrightness(percent);
          break;
        case 5:
          PMDisplayOff();
          PMDisplayOn();
          break;
        case 6:
          if (ActivateSharedHardwareKeyMap(shared)) DeactivateSharedHardwareKeyMap(shared);
          break;
        case 7: {
          PMPowerInfo info{};
          PMGetPowerInfo(info);
          StartResetIdleTimer();
          StopResetIdleTimer();
          break;
        }
        case 8:
          ActivatePowerKey(true);
          ActivatePowerKey(false);
          break;
        case 9:
          GetDeviceInfo(eDeviceInfoOEM, text, 64);
          ReadFlash(0, flash, sizeof flash);
          GetBtMACAddr(text, 64);
          break;
        case 10:
          if (CBTHAL* link = GetBTHAL()) {
            int status = 0;
            link->GetCallStatus(status);
            link->SetPhoneVolume(round % 101);
          }
          break;
        default: {
          CNavTime now(0);
          GetLocalNavTime(now);
          break;
        }
      }
    }
    // The listeners go out of scope: none may still be registered.
    Disconnect(&key);
    Disconnect(&power);
    Disconnect(&volume);
    Disconnect(&card);
    Disconnect(&suspend);
  };
  std::vector<std::thread> workers;
  workers.reserve(3);
  for (int seed = 0; seed < 3; ++seed) workers.emplace_back(worker, seed * 4);
  for (int cycle = 0; cycle < 60; ++cycle) {
    InitHAL();
    pndsim::PressKey(0x0D);
    pndsim::SetBattery(static_cast<std::uint8_t>(20 + cycle % 50), 0x01);
    FreeDLL();
  }
  stop.store(true);
  for (auto& thread : workers) thread.join();
  FreeDLL();
  EXPECT_EQ(pndsim::LiveThreadCount(), 0);
  EXPECT_EQ(pndsim::WindowCount(), 0);
}

// An observer hears a HAL created before its threads start (so listeners connected then hear its first
// reports) and FreeDLL begin while the HAL still answers.
TEST_F(LifeCycle, ObserversHearCreationBeforeTheThreadsAndTeardownBeforeTheHalGoes) {
  std::vector<std::string> heard;
  int threadsAtCreation = -1;
  bool answersAtStopping = false;
  pndtest::VolumeRecorder& volume = Make<pndtest::VolumeRecorder>();
  const int id = pndhal::ObserveLibrary([&](pndhal::LibraryEvent event) {
    if (event == pndhal::LibraryEvent::kCreated) {
      heard.emplace_back("created");
      threadsAtCreation = pndsim::LiveThreadCount();
      Connect(&volume);
    } else {
      heard.emplace_back("stopping");
      unsigned percent = 0;
      answersAtStopping = GetVolume(percent);
      Disconnect(&volume);
    }
  });
  ASSERT_NE(id, 0);
  EXPECT_EQ(pndhal::ObserveLibrary({}), 0) << "a null observer is refused";
  InitHAL();
  InitHAL();
  EXPECT_EQ(threadsAtCreation, 1) << "the key-event window's thread alone";
  ASSERT_TRUE(volume.WaitFor(1))
      << "the polling thread's first report reached a listener connected at creation";
  EXPECT_EQ(volume.Values().front().volume, 80);
  FreeDLL();
  FreeDLL();
  EXPECT_TRUE(answersAtStopping);
  pndhal::UnobserveLibrary(id);
  InitHAL();
  FreeDLL();
  EXPECT_EQ(heard, (std::vector<std::string>{"created", "stopping"}));
}

TEST_F(LifeCycle, FreeDllWithoutHalDoesNothing) {
  FreeDLL();
  EXPECT_EQ(pndsim::WindowCount(), 0);
  EXPECT_EQ(pndsim::LiveThreadCount(), 0);
}

TEST_F(LifeCycle, AfterFreeDllAFreshHalAndPhoneLinkAreCreated) {
  CBTHAL* first = GetBTHAL();
  ASSERT_NE(first, nullptr);
  FreeDLL();
  CBTHAL* second = GetBTHAL();
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(KeyEventWindows(), 1);
  int status = 0;
  second->GetCallStatus(status);
  EXPECT_EQ(status, -1) << "a fresh phone link knows no call status yet";
}

TEST_F(LifeCycle, RecordModeBeforeAnyCallCreatesTheHalFirst) {
  SetRecordModeOn(true);
  EXPECT_EQ(KeyEventWindows(), 1);
}

TEST_F(LifeCycle, WithoutMemoryForTheHalEveryCallReportsFailureSafely) {
  ZuAllocFailAfter(0, 1);
  unsigned int volume = 7;
  EXPECT_FALSE(GetVolume(volume));
  EXPECT_EQ(volume, 7u);
  EXPECT_EQ(KeyEventWindows(), 0);
  ZuAllocFailAfter(0, 1000);
  EXPECT_EQ(GetBTHAL(), nullptr);
  EXPECT_TRUE(GetHardwareKeyMap().empty());
  Connect(static_cast<IHardwareKeyListener*>(nullptr));
  SetRecordModeOn(true);
  FreeDLL();
  ZuAllocFailAfter(0, 0);
  InitHAL();
  EXPECT_EQ(KeyEventWindows(), 1) << "the next call creates the HAL";
}

TEST_F(LifeCycle, AKeyEventWindowThatCouldNotBeCreatedIsCreatedByTheNextCall) {
  pndsim::FailNext(pndsim::Call::CreateWindow, 3);
  InitHAL();  // creates the HAL and tries once more
  EXPECT_EQ(KeyEventWindows(), 0);
  EXPECT_TRUE(pndsim::HotKeys().empty()) << "no key is grabbed for a window that does not exist";
  HardwareKeyMap single;
  single.insert(0x26, eHardwareKeyUp);
  EXPECT_FALSE(SetHardwareKeyMap(single)) << "the third try fails too: no key map without a window";
  pndtest::KeyRecorder& recorder = Make<pndtest::KeyRecorder>();
  Connect(&recorder);  // the fourth try creates it
  EXPECT_EQ(KeyEventWindows(), 1);
  EXPECT_EQ(pndsim::HotKeys().size(), 12u);
  EXPECT_TRUE(pndtest::PressAndWait(recorder, 0x0D, eHardwareKeyEnter));
  FreeDLL();
  EXPECT_EQ(pndsim::LiveThreadCount(), 0);
}

TEST_F(LifeCycle, UnsupportedOperationsAnswerFalseAndLeaveOutputsAlone) {
  CardInfo card{5, L"x", true};
  EXPECT_FALSE(SearchStorageCard(card));
  EXPECT_EQ(card.cardType, 5);
  EXPECT_FALSE(PMPowerOff());
  EXPECT_FALSE(SetSystemLanguage(0x409));
  EXPECT_FALSE(ActivateRemoteControl(true));
  unsigned int mic = 33;
  EXPECT_FALSE(SetMicVolume(mic));
  EXPECT_FALSE(GetMicVolume(mic));
  EXPECT_EQ(mic, 33u);
  ActivateSRAudio(true);
  bool muted = true;
  EXPECT_FALSE(IsMuted(muted));
  EXPECT_TRUE(muted);
}

TEST_F(LifeCycle, FmTransmitterAnswersDefaultsExceptBandAndActiveFlag) {
  EXPECT_FALSE(ActivateFMTransmitter(true));
  EXPECT_FALSE(IsFMTransmitterActive()) << "nothing sets the active flag";
  EXPECT_FALSE(SetFMPiCode(1));
  EXPECT_FALSE(SetFMStationName(L"NAV"));
  EXPECT_FALSE(SetFMRadioText(L"text"));
  EXPECT_FALSE(MuteFM(true));
  unsigned int value = 99;
  SetFMFrequencySearchStepSize(value);
  EXPECT_FALSE(SetFMFrequency(1000));
  EXPECT_FALSE(StepFMFrequencyForward(value));
  EXPECT_FALSE(StepFMFrequencyBackward(value));
  EXPECT_FALSE(GetFMFrequency(value));
  EXPECT_FALSE(SetFMPower(1));
  EXPECT_FALSE(SetFMMode(1));
  EXPECT_FALSE(GetFMMode(value));
  EXPECT_EQ(value, 99u);
  FMDRCSetting drc{1, 2, 3, true};
  EXPECT_FALSE(SetDynamicControl(drc));
  GetDynamicControl(drc);
  EXPECT_EQ(drc.threshold, 1u);
  EXPECT_EQ(drc.releaseTime, 3u);
  EXPECT_FALSE(SetFMEmphasis(value));

  unsigned int low = 0, high = 0;
  GetFMBandwidth(low, high);
  EXPECT_EQ(low, 880u);
  EXPECT_EQ(high, 1070u);
  SetFMBandwidth(875, 1080);
  GetFMBandwidth(low, high);
  EXPECT_EQ(low, 875u);
  EXPECT_EQ(high, 1080u);
}

}  // namespace

// Faults of the platform and of the allocator, once or for as long as they
// last, at start-up and in each service's operations: no call answers true
// for an effect that did not happen, and once the fault clears every service
// works again without FreeDLL.
#include <gmock/gmock.h>

#include <algorithm>
#include <functional>
#include <string>

#include "device_fixture.h"

namespace pndtest {
namespace {

constexpr int kAlways = 1 << 20;

class FaultRecovery : public DeviceTest {
 protected:
  // A fresh device and no HAL, at the test's time scale.
  static void Restart() {
    FreeDLL();
    pndsim::Reset();
    ZuAllocFailAfter(0, 0);
    pndsim::SetTimeScale(kScale);
  }

  // Every listener kind hears its event, and the calls that reach a part of
  // its own (the vendor library, the phone link) answer.
  void ExpectEveryServiceWorks(const std::string& fault) {
    SCOPED_TRACE(fault);
    HardwareKeyRecorder keys;
    PowerRecorder power;
    VolumeRecorder volume;
    CardRecorder cards;
    SuspendRecorder suspends;
    Connect(&keys);
    Connect(&power);
    Connect(&volume);
    Connect(&cards);
    Connect(&suspends);

    EXPECT_EQ(pndsim::HotKeys().size(), 12u);
    EXPECT_TRUE(PressAndWait(keys, 0x0D, eHardwareKeyEnter)) << "keys";
    pndsim::SetBattery(37, 0x01);
    EXPECT_TRUE(WaitUntil([&] {
      const auto values = power.Values();
      return !values.empty() && values.back().batteryLevel == 37;
    })) << "power";
    EXPECT_TRUE(SetVolume(23));
    EXPECT_TRUE(WaitUntil([&] {
      const auto values = volume.Values();
      return !values.empty() && values.back().volume == 23;
    })) << "volume";
    EXPECT_TRUE(pndsim::MountCard("SD-Karte"));
    EXPECT_TRUE(cards.WaitFor(1)) << "cards";
    EXPECT_TRUE(pndsim::Suspend());
    EXPECT_TRUE(pndsim::Resume());
    EXPECT_TRUE(suspends.WaitFor(2)) << "suspend and resume";
    EXPECT_TRUE(SetBrightness(60, 0));
    EXPECT_EQ(pndsim::BacklightLevel(), 6u) << "brightness";
    EXPECT_NE(GetBTHAL(), nullptr) << "phone link";

    Disconnect(&keys);
    Disconnect(&power);
    Disconnect(&volume);
    Disconnect(&cards);
    Disconnect(&suspends);
  }
};

TEST_F(FaultRecovery, APlatformFaultAtStartUpLeavesNoServiceDeadOnceItClears) {
  for (std::size_t index = 0; index < pndsim::kCallCount; ++index) {
    const auto call = static_cast<pndsim::Call>(index);
    for (int count : {1, 2, kAlways}) {
      Restart();
      pndsim::FailNext(call, count);
      InitHAL();
      pndsim::ClearFailures();
      ExpectEveryServiceWorks(std::string(pndsim::CallName(call)) + " x" + std::to_string(count));
    }
  }
}

TEST_F(FaultRecovery, AnAllocationFailureAtStartUpLeavesNoServiceDeadOnceItClears) {
  // How many allocations a start-up makes, so every one of them is failed.
  Restart();
  const long before = ZuAllocRequests();
  InitHAL();
  const long made = ZuAllocRequests() - before;
  ASSERT_GT(made, 0);
  for (long skip = 0; skip <= made; ++skip) {
    for (long count : {1L, static_cast<long>(kAlways)}) {
      Restart();
      ZuAllocFailAfter(skip, count);
      InitHAL();
      ZuAllocFailAfter(0, 0);
      ExpectEveryServiceWorks("allocation " + std::to_string(skip) + " x" + std::to_string(count));
    }
  }
}

// One operation of a service, and how to tell that it took effect.
struct Operation {
  const char* name;
  std::function<bool()> call;
  std::function<bool()> tookEffect;
  std::function<bool()> prepare = [] { return true; };  // what the call needs first
};

std::vector<unsigned> GrabbedCodes() {
  std::vector<unsigned> codes;
  for (const auto& key : pndsim::HotKeys()) codes.push_back(key.virtualKey);
  std::sort(codes.begin(), codes.end());
  return codes;
}

std::vector<Operation> Operations() {
  static HardwareKeyMap replacement = [] {
    HardwareKeyMap map;
    map.insert(0x26, eHardwareKeyUp);
    map.insert(0x77, eHardwareKeyF8);
    return map;
  }();
  static HardwareKeyMap shared = [] {
    HardwareKeyMap map;
    map.insert(0x78, eHardwareKeyF8);
    return map;
  }();
  static unsigned char flashBytes[] = {1, 2, 3, 4};
  return {
      {"SetVolume", [] { return SetVolume(37); }, [] { return pndsim::VolumeWord() == 0x5EB85EB8u; }},
      {"Mute(true)", [] { return Mute(true); }, [] { return pndsim::VolumeWord() == 0u; }},
      {"Mute(false)", [] { return Mute(false); }, [] { return pndsim::VolumeWord() == 0xCCCCCCCCu; },
       [] { return Mute(true); }},
      {"SetBrightness", [] { return SetBrightness(40, 0); }, [] { return pndsim::BacklightLevel() == 4u; }},
      {"PMDisplayOff", [] { return PMDisplayOff(); }, [] { return pndsim::BacklightLevel() == 1u; }},
      {"PMDisplayOn", [] { return PMDisplayOn(); }, [] { return pndsim::BacklightLevel() == 10u; },
       [] { return PMDisplayOff(); }},
      {"SetHardwareKeyMap", [] { return SetHardwareKeyMap(replacement); },
       [] {
         return GrabbedCodes() == std::vector<unsigned>{0x26, 0x77};
       }},
      {"ActivateSharedHardwareKeyMap", [] { return ActivateSharedHardwareKeyMap(shared); },
       [] { return pndsim::PressKey(0x78); }},
      {"WriteFlash", [] { return WriteFlash(8, flashBytes, sizeof flashBytes); },
       [] { return pndsim::FlashArea()[8] == 1 && pndsim::FlashArea()[11] == 4; }},
      {"CalibrateTouchscreen", [] { return CalibrateTouchscreen(); },
       [] { return !pndsim::SentCalibration().empty(); }},
      {"OpenContacts", [] { return OpenContacts(); }, [] { return !pndsim::ShellLaunches().empty(); }},
      {"SetTimezone", [] { return SetTimezone(CNavTimeZone(L"TZ|3.00|DY|0")); },
       [] { return pndsim::CurrentTimeZone().bias == -180; }},
      // The link is open once its status window exists; the telephone program's
      // own window may appear later, or not at all when the program fails.
      {"LaunchPhone", [] { return GetBTHAL() != nullptr && GetBTHAL()->LaunchPhone(nullptr); },
       [] {
         const auto windows = pndsim::Windows();
         return std::any_of(windows.begin(), windows.end(),
                            [](const auto& window) { return window.title == "FirstBTStatusMsgWnd"; });
       }},
  };
}

TEST_F(FaultRecovery, NoOperationAnswersTrueForAnEffectThatDidNotHappen) {
  for (const Operation& operation : Operations()) {
    for (std::size_t index = 0; index < pndsim::kCallCount; ++index) {
      const auto call = static_cast<pndsim::Call>(index);
      for (int count : {1, kAlways}) {
        const std::string fault = std::string(operation.name) + " under " +
                                  std::string(pndsim::CallName(call)) + " x" + std::to_string(count);
        Restart();
        InitHAL();
        ASSERT_TRUE(operation.prepare()) << fault;
        pndsim::FailNext(call, count);
        const bool answered = operation.call();
        pndsim::ClearFailures();
        if (answered) {
          EXPECT_TRUE(operation.tookEffect()) << fault << " answered true";
        }
      }
    }
  }
}

}  // namespace
}  // namespace pndtest

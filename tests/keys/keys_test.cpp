// Hardware keys end to end: the default map and its hot keys, key presses
// through the simulated device to key and record listeners, replacing and
// sharing key maps, and the empty-map cases.
#include <atomic>
#include <functional>
#include <thread>

#include "hal/hal_levels.h"
#include "hal_fixture.h"

namespace {

using Keys = pndtest::HalTest;
using pndtest::KeyRecorder;
using pndtest::PressAndWait;

std::vector<unsigned long> Codes(const HardwareKeyMap& map) {
  std::vector<unsigned long> codes;
  for (const auto& entry : map) codes.push_back(entry.first);
  return codes;
}

TEST_F(Keys, DefaultMapHoldsTwelveKeysInAscendingOrder) {
  InitHAL();
  const HardwareKeyMap& map = GetHardwareKeyMap();
  EXPECT_EQ(Codes(map), (std::vector<unsigned long>{0x0D, 0x25, 0x26, 0x27, 0x28, 0x75, 0x76, 0xC1, 0xC2,
                                                    0xC3, 0xC4, 0xC5}));
  EXPECT_EQ(map.find(0xC3)->second, 5);
  EXPECT_EQ(map.find(0xC4)->second, 16);
  EXPECT_EQ(&GetHardwareKeyMap(), &map) << "one held map";
}

TEST_F(Keys, DeviceKeysAreGrabbedWithKeyUpReporting) {
  InitHAL();
  for (const auto& hotKey : pndsim::HotKeys()) {
    EXPECT_EQ(hotKey.id, static_cast<int>(hotKey.virtualKey));
    EXPECT_EQ(hotKey.modifiers, hotKey.virtualKey >= 0xC1 ? 0x1000u : 0u) << std::hex << hotKey.virtualKey;
  }
}

TEST_F(Keys, UpArrowPressAndReleaseDeliversOneKey) {
  KeyRecorder& recorder = Make<KeyRecorder>();
  Connect(&recorder);
  EXPECT_TRUE(pndsim::PressKey(0x26));
  EXPECT_FALSE(pndsim::ReleaseKey(0x26)) << "registered without key-up reporting";
  ASSERT_TRUE(PressAndWait(recorder, 0x0D, 4));
  EXPECT_EQ(recorder.Values(), (std::vector<int>{0, 4}));
}

TEST_F(Keys, DeviceKeyReleaseIsReportedButNotDelivered) {
  KeyRecorder& recorder = Make<KeyRecorder>();
  Connect(&recorder);
  EXPECT_TRUE(pndsim::PressKey(0xC1));
  EXPECT_TRUE(pndsim::ReleaseKey(0xC1)) << "two hot-key messages";
  ASSERT_TRUE(PressAndWait(recorder, 0x0D, 4));
  EXPECT_EQ(recorder.Values(), (std::vector<int>{6, 4}));
}

TEST_F(Keys, RecordModeDeliversRawCodesUntilSwitchedOff) {
  KeyRecorder& keys = Make<KeyRecorder>();
  pndtest::KeyRecordRecorder& records = Make<pndtest::KeyRecordRecorder>();
  Connect(&keys);
  Connect(&records);
  SetRecordModeOn(true);
  pndsim::PressKey(0xC1);
  pndsim::ReleaseKey(0xC1);
  pndsim::PressKey(0x26);
  ASSERT_TRUE(records.WaitFor(2));
  SetRecordModeOn(false);
  ASSERT_TRUE(PressAndWait(keys, 0xC3, 5));
  EXPECT_EQ(records.Values(), (std::vector<unsigned long>{0xC1, 0x26}));
  EXPECT_EQ(keys.Values(), (std::vector<int>{5})) << "only the press after record mode";
}

TEST_F(Keys, SharedMapKeyWithoutEntryArrivesAsUnmapped) {
  KeyRecorder& recorder = Make<KeyRecorder>();
  Connect(&recorder);
  HardwareKeyMap shared;
  shared.insert(0x77, eHardwareKeyF8);
  ASSERT_TRUE(ActivateSharedHardwareKeyMap(shared));
  ASSERT_TRUE(PressAndWait(recorder, 0x77, 28));
  EXPECT_EQ(recorder.Values(), (std::vector<int>{28}));
  DeactivateSharedHardwareKeyMap(shared);
  EXPECT_FALSE(pndsim::PressKey(0x77)) << "released again";
  EXPECT_EQ(GetHardwareKeyMap().size(), 12u) << "sharing leaves the HAL's own map alone";
}

TEST_F(Keys, ReplacingTheMapGrabsOnlyItsKeys) {
  KeyRecorder& recorder = Make<KeyRecorder>();
  Connect(&recorder);
  HardwareKeyMap single;
  single.insert(0x26, eHardwareKeyUp);
  EXPECT_TRUE(SetHardwareKeyMap(single));
  const auto hotKeys = pndsim::HotKeys();
  ASSERT_EQ(hotKeys.size(), 1u);
  EXPECT_EQ(hotKeys[0].virtualKey, 0x26u);
  EXPECT_EQ(Codes(GetHardwareKeyMap()), (std::vector<unsigned long>{0x26}));
  EXPECT_FALSE(pndsim::PressKey(0x0D));
  ASSERT_TRUE(PressAndWait(recorder, 0x26, 0));
  EXPECT_EQ(recorder.Values(), (std::vector<int>{0}));
}

TEST_F(Keys, AMapThatCannotBeCopiedLeavesTheOldKeysGrabbed) {
  InitHAL();
  HardwareKeyMap single;
  single.insert(0x26, eHardwareKeyUp);
  ZuAllocFailAfter(0, 1);  // the copy of the new map fails
  EXPECT_FALSE(SetHardwareKeyMap(single));
  ZuAllocFailAfter(0, 0);
  EXPECT_EQ(GetHardwareKeyMap().size(), 12u);
  EXPECT_EQ(pndsim::HotKeys().size(), 12u);
}

// A key-map change takes effect whole or not at all: when a key cannot be
// grabbed, the previous map stays in force, grabbed and reported.
TEST_F(Keys, AKeyThatCannotBeGrabbedLeavesThePreviousMapInForce) {
  KeyRecorder& recorder = Make<KeyRecorder>();
  Connect(&recorder);
  HardwareKeyMap f8;
  f8.insert(0x77, eHardwareKeyF8);
  HardwareKeyMap moved;  // keeps Return, drops the rest, adds F8 and F9
  moved.insert(0x0D, eHardwareKeyEnter);
  moved.insert(0x77, eHardwareKeyF8);
  moved.insert(0x78, eHardwareKeyF8);
  struct Case {
    const char* name;
    std::function<bool()> change;
    int failures;  // registrations refused, from the first one the change makes
  };
  const Case cases[] = {
      {"shared map", [&] { return ActivateSharedHardwareKeyMap(f8); }, 1},
      {"the same map again", [] { return SetHardwareKeyMap(GetHardwareKeyMap()); }, 1},
      {"a new map, first key", [&] { return SetHardwareKeyMap(moved); }, 1},
      {"a new map, every key", [&] { return SetHardwareKeyMap(moved); }, 1000},
  };
  for (const Case& c : cases) {
    pndsim::FailNext(pndsim::Call::RegisterHotKey, c.failures);
    EXPECT_FALSE(c.change()) << c.name;
    pndsim::ClearFailures();
    EXPECT_EQ(Codes(GetHardwareKeyMap()), (std::vector<unsigned long>{0x0D, 0x25, 0x26, 0x27, 0x28, 0x75,
                                                                      0x76, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5}))
        << c.name;
    EXPECT_EQ(pndsim::HotKeys().size(), 12u) << c.name << ": the previous keys stay grabbed";
    EXPECT_FALSE(pndsim::PressKey(0x77)) << c.name;
  }
  // A key refused half-way lets go of the keys the change grabbed before it.
  HardwareKeyMap two;
  two.insert(0x77, eHardwareKeyF8);
  two.insert(0x1FF, eHardwareKeyF8);  // no virtual key: cannot be grabbed
  EXPECT_FALSE(ActivateSharedHardwareKeyMap(two));
  EXPECT_FALSE(pndsim::PressKey(0x77));
  EXPECT_FALSE(SetHardwareKeyMap(two));
  EXPECT_EQ(GetHardwareKeyMap().size(), 12u);
  ASSERT_TRUE(PressAndWait(recorder, 0x0D, eHardwareKeyEnter)) << "the keys still arrive";

  // Once the keys can be had, the same change takes effect whole.
  EXPECT_TRUE(SetHardwareKeyMap(moved));
  EXPECT_EQ(Codes(GetHardwareKeyMap()), (std::vector<unsigned long>{0x0D, 0x77, 0x78}));
  EXPECT_EQ(pndsim::HotKeys().size(), 3u);
}

TEST_F(Keys, EmptyMapsAreRefusedWithoutABox) {
  // Each call with an empty map still creates the HAL, as every export does,
  // but one that only takes keys away.
  struct Case {
    std::function<void(HardwareKeyMap&)> call;
    bool creates;
  };
  const Case cases[] = {
      {[](HardwareKeyMap& map) { EXPECT_FALSE(SetHardwareKeyMap(map)); }, true},
      {[](HardwareKeyMap& map) { EXPECT_FALSE(ActivateSharedHardwareKeyMap(map)); }, true},
      {[](HardwareKeyMap& map) { DeactivateSharedHardwareKeyMap(map); }, false},
  };
  for (const Case& c : cases) {
    FreeDLL();
    HardwareKeyMap empty;
    c.call(empty);
    EXPECT_EQ(PeekHALInstance() != nullptr, c.creates);
  }
  HardwareKeyMap empty;
  EXPECT_FALSE(SetHardwareKeyMap(empty));
  EXPECT_EQ(GetHardwareKeyMap().size(), 12u) << "the defaults stay active";
  EXPECT_EQ(pndsim::HotKeys().size(), 12u);
  EXPECT_FALSE(ActivateSharedHardwareKeyMap(empty));
  DeactivateSharedHardwareKeyMap(empty);
  EXPECT_TRUE(pndsim::MessageBoxes().empty());
}

// Memory running out anywhere in the start-up never leaves keys grabbed with
// nobody to deliver them, and the next use of the HAL finishes the start-up.
TEST_F(Keys, StartUpWithoutMemoryGrabsNoKeyItCannotDeliver) {
  for (long skip = 0; skip < 120; ++skip) {
    FreeDLL();
    ZuAllocFailAfter(skip, 1);
    InitHAL();
    ZuAllocFailAfter(0, 0);
    if (auto* hal = static_cast<CHALCommon*>(PeekHALInstance());
        hal != nullptr && !pndsim::HotKeys().empty()) {
      EXPECT_EQ(hal->KeyEventWindowThread().HotKeySignal().Size(), 1u) << "allocation " << skip;
      EXPECT_EQ(GetHardwareKeyMap().size(), 12u) << "allocation " << skip;
    }
    KeyRecorder recorder;
    Connect(&recorder);  // any use finishes the start-up
    EXPECT_EQ(GetHardwareKeyMap().size(), 12u) << "allocation " << skip;
    EXPECT_TRUE(PressAndWait(recorder, 0x0D, eHardwareKeyEnter)) << "allocation " << skip;
    Disconnect(&recorder);
  }
}

TEST_F(Keys, AnEmptyMapReachingTheDeviceLevelShowsTheErrorBox) {
  CHAL* hal = GetHALInstance();
  HardwareKeyMap empty;
  EXPECT_FALSE(hal->ActivateSharedHardwareKeyMap(empty));
  const auto boxes = pndsim::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "ERROR");
  EXPECT_EQ(boxes[0].text, "No HardwareKeys in Map\n found....EMPTY?!");
  EXPECT_EQ(boxes[0].type, 0u);
}

TEST_F(Keys, AKeyBeforeStartReachesNoHandler) {
  CHALExternApi hal;  // constructed, not started: no key handler attached
  KeyRecorder recorder;
  hal.Connect(&recorder);
  pndtest::Signal drained;
  struct Drain {
    pndtest::Signal* signal;
    void OnMessage(unsigned int message, unsigned int, long, bool*) {
      if (message == WM_USER + 1) signal->Notify();
    }
  } drain{&drained};
  ASSERT_TRUE(hal.KeyEventWindowThread().AddHandler(WM_USER + 1, &drain, &Drain::OnMessage));
  EXPECT_TRUE(pndsim::PressKey(0x26));
  PostMessageW(hal.KeyEventWindow(), WM_USER + 1, 0, 0);
  ASSERT_TRUE(drained.WaitFor(1)) << "the key message was dispatched before this one";
  EXPECT_TRUE(recorder.Values().empty());
  CMessageWindowThread::RemoveHandler(hal.KeyEventWindowThread().MessageSignal(), &drain);
}

TEST_F(Keys, EachKeyIsTranslatedWithTheOldOrTheNewMapNeverAPartialOne) {
  KeyRecorder& recorder = Make<KeyRecorder>();
  Connect(&recorder);
  HardwareKeyMap a, b;
  a.insert(0x26, eHardwareKeyUp);
  a.insert(0x28, eHardwareKeyDown);
  b.insert(0x28, eHardwareKeyDown);
  b.insert(0x26, eHardwareKeyRight);
  std::atomic<bool> done{false};
  std::thread presser([&] {
    while (!done.load()) pndsim::PressKey(0x26);
  });
  for (int i = 0; i < 200; ++i) SetHardwareKeyMap(i % 2 == 0 ? b : a);
  done = true;
  presser.join();
  ASSERT_TRUE(PressAndWait(recorder, 0x28, 1));
  for (int key : recorder.Values()) EXPECT_TRUE(key == 0 || key == 1 || key == 2) << key;
}

TEST_F(Keys, FreeDllDestroysTheKeyEventWindowAndReleasesEveryKey) {
  InitHAL();
  HardwareKeyMap shared;
  shared.insert(0x77, eHardwareKeyF8);
  ActivateSharedHardwareKeyMap(shared);
  FreeDLL();
  EXPECT_EQ(pndsim::WindowCount(), 0);
  EXPECT_TRUE(pndsim::HotKeys().empty());
  EXPECT_FALSE(pndsim::PressKey(0x26));
}

}  // namespace

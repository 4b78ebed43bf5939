// Storage-card detection end to end: folders mounted and removed on the
// simulated device reach every card listener with the kind their name gives.
#include <string>
#include <tuple>

#include "device_fixture.h"
#include "pndsim/storage.h"

namespace pndtest {
namespace {

using Card = std::tuple<std::int32_t, std::string, bool>;  // kind, folder, removed

std::vector<Card> Cards(CardRecorder& recorder) {
  std::vector<Card> cards;
  for (const CardInfo& card : recorder.Values()) {
    cards.emplace_back(card.cardType, pndsim::ToUtf8(card.path.c_str()), card.removed);
  }
  return cards;
}

class StorageCardTest : public DeviceTest {
 protected:
  // Starts the HAL with a card listener and waits until the thread watches
  // the mount notifications.
  CardRecorder& StartWatching() {
    CardRecorder& recorder = Make<CardRecorder>();
    Connect(&recorder);
    InitHAL();
    EXPECT_TRUE(WaitUntil([] { return pndsim::DeviceNotificationCount() == 1; }));
    return recorder;
  }
};

TEST_F(StorageCardTest, MountAndRemovalOfEachKindReachTheListener) {
  CardRecorder& recorder = StartWatching();
  struct Case {
    const char* folder;
    std::int32_t kind;
  };
  const Case cases[] = {{"SD-Karte", 0},      {"SD-Karte1", 0},   {"\\Storage Card", 0}, {"sd-karte", 0},
                        {"CF-Karte", 1},      {"CF-Karte2", 1},   {"USB-Disk", 3},       {"SD-Kart", 3},
                        {"\\Storage Car", 3}, {"Storage Card", 3}};
  std::vector<Card> expected;
  for (const Case& c : cases) {
    ASSERT_TRUE(pndsim::MountCard(c.folder));
    ASSERT_TRUE(pndsim::RemoveCard(c.folder));
    expected.emplace_back(c.kind, c.folder, false);
    expected.emplace_back(c.kind, c.folder, true);
  }
  ASSERT_TRUE(recorder.WaitFor(expected.size()));
  EXPECT_EQ(Cards(recorder), expected);
}

TEST_F(StorageCardTest, FoldersMountedBeforeStartAreReportedAsMounts) {
  ASSERT_TRUE(pndsim::MountCard("SD-Karte"));
  ASSERT_TRUE(pndsim::MountCard("CF-Karte"));
  // The listener must be there before the thread starts, so the HAL object
  // is started by hand rather than by the exported entry points.
  CardRecorder& recorder = Make<CardRecorder>();
  PlatformHal hal;
  hal.m_cardListeners.Connect(&recorder);
  hal.Start();
  ASSERT_TRUE(recorder.WaitFor(2));
  ASSERT_TRUE(pndsim::RemoveCard("SD-Karte"));
  ASSERT_TRUE(recorder.WaitFor(3));
  hal.StopThreads();
  EXPECT_EQ(Cards(recorder),
            (std::vector<Card>{{0, "SD-Karte", false}, {1, "CF-Karte", false}, {0, "SD-Karte", true}}));
}

TEST_F(StorageCardTest, TheModelRefusesWhatTheFileSystemWould) {
  EXPECT_FALSE(pndsim::MountCard(""));
  EXPECT_FALSE(pndsim::MountCard(std::string(261, 'x')));
  EXPECT_TRUE(pndsim::MountCard(std::string(260, 'x')));
  EXPECT_TRUE(pndsim::MountCard("SD-Karte"));
  EXPECT_FALSE(pndsim::MountCard("SD-Karte"));
  EXPECT_FALSE(pndsim::RemoveCard("CF-Karte"));
  EXPECT_EQ(pndsim::MountedCards(), (std::vector<std::string>{std::string(260, 'x'), "SD-Karte"}));
}

TEST_F(StorageCardTest, TheLongestFolderNameArrivesWhole) {
  CardRecorder& recorder = StartWatching();
  const std::string name = "SD-Karte" + std::string(252, 'z');
  ASSERT_TRUE(pndsim::MountCard(name));
  ASSERT_TRUE(recorder.WaitFor(1));
  EXPECT_EQ(Cards(recorder), (std::vector<Card>{{0, name, false}}));
}

TEST_F(StorageCardTest, StopEndsTheRegistrationAndWithoutAQueueTheThreadOnlyWaitsForStop) {
  StartWatching();
  FreeDLL();
  EXPECT_EQ(pndsim::DeviceNotificationCount(), 0);

  // Every queue refused while the library runs, retries too: at the fixture's time scale a retry period is
  // a few milliseconds, so a count of two would let a retry succeed and hear the card.
  pndsim::FailNext(pndsim::Call::CreateMsgQueue, 1000000);
  CardRecorder& recorder = Make<CardRecorder>();
  Connect(&recorder);
  InitHAL();
  EXPECT_TRUE(pndsim::MountCard("SD-Karte"));
  FreeDLL();  // returns promptly: the thread does not spin on a missing queue
  pndsim::ClearFailures();
  EXPECT_EQ(recorder.Count(), 0u);
  EXPECT_EQ(pndsim::DeviceNotificationCount(), 0);
}

TEST_F(StorageCardTest, SearchStorageCardIsNotSupported) {
  InitHAL();
  CardInfo card{7, L"x", true};
  EXPECT_FALSE(SearchStorageCard(card));
  EXPECT_EQ(card.cardType, 7);
  EXPECT_TRUE(card.removed);
}

}  // namespace
}  // namespace pndtest

// Trace observers: every event recorded while an observer is registered reaches it once, in trace
// order, and none after it was removed.
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "ce/kernel.h"
#include "pndsim/pndsim.h"
#include "sim_guard.h"

namespace {

TEST(TraceObserver, SeesEachEventInTraceOrderUntilRemoved) {
  pndtest::SimGuard guard;
  EXPECT_EQ(pndsim::ObserveTrace(nullptr), 0);

  std::mutex mutex;
  std::vector<std::string> seen;
  const int id = pndsim::ObserveTrace([&](const pndsim::TraceEvent& event) {
    std::lock_guard lock(mutex);
    seen.push_back(event.kind + " " + event.detail);
  });
  ASSERT_NE(id, 0);
  pndsim::FailNext(pndsim::Call::CreateThread, 2);
  pndsim::FailNext(pndsim::Call::CreateEvent);
  EXPECT_FALSE(pndsim::MountCard(""));  // refused: records nothing
  EXPECT_EQ(CreateEventW(nullptr, TRUE, FALSE, nullptr), nullptr);
  std::vector<std::string> recorded;
  for (const auto& event : pndsim::Trace()) recorded.push_back(event.kind + " " + event.detail);

  pndsim::UnobserveTrace(id);
  pndsim::UnobserveTrace(id + 1000);  // unknown: ignored
  EXPECT_EQ(CreateThread(
                nullptr, 0, [](LPVOID) -> DWORD { return 0; }, nullptr, 0, nullptr),
            nullptr);
  std::lock_guard lock(mutex);
  EXPECT_EQ(seen, recorded);
  EXPECT_EQ(seen, std::vector<std::string>{"fault CreateEventW"});
}

}  // namespace

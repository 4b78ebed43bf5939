// The synchronisation wrappers: the nesting count of a critical section and
// the event wrapper's results.
#include <gtest/gtest.h>

#include <atomic>

#include "runtime/critical_section.h"
#include "runtime/event.h"
#include "sim_guard.h"

namespace {

TEST(CriticalSection, NestedEntriesCountUpAndLeaveTheSectionFree) {
  pndtest::SimGuard guard;
  struct Context {
    CCriticalSection section;
    std::atomic<bool> entered{false};
  } context;
  context.section.Enter();
  context.section.Enter();
  EXPECT_EQ(context.section.Count(), 2);
  context.section.Leave();
  context.section.Leave();
  EXPECT_EQ(context.section.Count(), 0);
  HANDLE thread = CreateThread(
      nullptr, 0,
      [](LPVOID p) -> DWORD {
        auto* c = static_cast<Context*>(p);
        CCriticalSectionLock lock(c->section);
        c->entered = true;
        return 0;
      },
      &context, 0, nullptr);
  ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  CloseHandle(thread);
  EXPECT_TRUE(context.entered.load()) << "another thread can take the section";
}

TEST(Event, WaitReportsThePlatformResult) {
  pndtest::SimGuard guard;
  CEvent manual(true, false);
  EXPECT_FALSE(manual.IsThread());
  EXPECT_EQ(manual.Wait(0), WAIT_TIMEOUT);
  EXPECT_TRUE(manual.Set());
  EXPECT_EQ(manual.Wait(0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitOn(manual, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(manual.Reset());
  EXPECT_EQ(manual.Wait(0), WAIT_TIMEOUT);

  CEvent automatic(false, true);
  EXPECT_EQ(automatic.Wait(0), WAIT_OBJECT_0);
  EXPECT_EQ(automatic.Wait(0), WAIT_TIMEOUT);
}

TEST(Event, FailedCreationLeavesAnEventThatReportsFailure) {
  pndtest::SimGuard guard;
  pndsim::FailNext(pndsim::Call::CreateEvent);
  CEvent event(true, false);
  EXPECT_EQ(event.GetHandle(), nullptr);
  EXPECT_FALSE(event.Set());
  EXPECT_EQ(event.Wait(0), WAIT_FAILED);
}

}  // namespace

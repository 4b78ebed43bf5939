// Behaviour of the worker-thread base: handshake, stop, wait, restart,
// priorities, termination and destruction of a thread that will not stop.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "runtime/hal_thread.h"
#include "sim_guard.h"

namespace {

// Runs until its stop event is set, recording what it saw.
class StoppableThread final : public CHALThread {
 public:
  StoppableThread() : CHALThread(0) {}
  ~StoppableThread() override { Shutdown(); }
  unsigned long Run(void* param) override {
    seenParam = param;
    seenPriority = GetThreadPriority(GetCurrentThread());
    StopEvent().Wait(INFINITE);
    return 5;
  }
  std::atomic<void*> seenParam{nullptr};
  std::atomic<int> seenPriority{-1};
};

class ImmediateThread final : public CHALThread {
 public:
  ImmediateThread() : CHALThread(0) {}
  ~ImmediateThread() override { Shutdown(); }
  unsigned long Run(void*) override {
    ++runs;
    return 0;
  }
  std::atomic<int> runs{0};
};

// Ignores its stop event; only termination ends it.
class StubbornThread final : public CHALThread {
 public:
  explicit StubbornThread(std::atomic<bool>& unwound) : CHALThread(0), unwound_(unwound) {}
  ~StubbornThread() override { Shutdown(); }
  unsigned long Run(void*) override {
    struct Unwind {
      std::atomic<bool>& flag;
      ~Unwind() { flag = true; }
    } unwind{unwound_};
    for (;;) Sleep(20);
  }

 private:
  std::atomic<bool>& unwound_;
};

class FixedPriorities final : public PrioritySource {
 public:
  FixedPriorities(bool answer, int value) : answer_(answer), value_(value) {}
  bool ReadValue(const wchar_t* section, const wchar_t* key, int& value) const override {
    lastSection = section;
    lastKey = key;
    if (answer_) value = value_;
    return answer_;
  }
  mutable std::wstring lastSection;
  mutable std::wstring lastKey;

 private:
  bool answer_;
  int value_;
};

TEST(HalThread, ARunThatReturnsAtOnceStillStartsAndCanBeWaitedForTwice) {
  pndtest::SimGuard guard;
  ImmediateThread thread;
  EXPECT_TRUE(thread.Start(nullptr, nullptr));
  EXPECT_TRUE(thread.Wait(INFINITE));
  EXPECT_TRUE(thread.Wait(INFINITE));
  EXPECT_EQ(thread.runs.load(), 1);
  EXPECT_EQ(thread.FinishedEvent().Wait(0), WAIT_OBJECT_0);
  EXPECT_FALSE(thread.IsRunning());
}

TEST(HalThread, StopsOnRequestAndCanBeStartedAgain) {
  pndtest::SimGuard guard;
  StoppableThread thread;
  int parameter = 0;
  ASSERT_TRUE(thread.Start(&parameter, nullptr));
  EXPECT_TRUE(thread.IsRunning()) << "running as soon as Start returns";
  EXPECT_NE(thread.ThreadId(), 0u);
  EXPECT_FALSE(thread.Start(nullptr, nullptr)) << "already running";
  EXPECT_FALSE(thread.Wait(0)) << "a time-out leaves the thread running";
  thread.RequestStop();
  EXPECT_TRUE(thread.Wait(INFINITE));
  EXPECT_EQ(thread.seenParam.load(), &parameter);
  EXPECT_EQ(thread.GetHandle(), nullptr);
  EXPECT_EQ(thread.ThreadId(), 0u);

  ASSERT_TRUE(thread.Start(nullptr, nullptr)) << "an ended thread starts again";
  EXPECT_EQ(thread.StopEvent().Wait(0), WAIT_TIMEOUT) << "a new start clears the stop request";
  thread.RequestStop();
  EXPECT_TRUE(thread.Wait(INFINITE));
}

TEST(HalThread, OfTwoConcurrentStartsOneWinsAndNeitherBlocks) {
  pndtest::SimGuard guard;
  for (int round = 0; round < 50; ++round) {
    StoppableThread thread;
    std::atomic<int> started{0};
    std::thread rival([&] { started += thread.Start(nullptr, nullptr); });
    started += thread.Start(nullptr, nullptr);
    rival.join();
    EXPECT_EQ(started.load(), 1) << "round " << round;
    thread.RequestStop();
    EXPECT_TRUE(thread.Wait(INFINITE));
  }
}

TEST(HalThread, WaitReportsTheEndOnlyOnceThePlatformThreadHasEnded) {
  pndtest::SimGuard guard;
  ImmediateThread thread;
  for (int round = 0; round < 20; ++round) {
    ASSERT_TRUE(thread.Start(nullptr, nullptr));
    // The thread clears its handle as it ends, a moment before its last
    // steps on this object are done: Wait must cover those steps too, or the
    // owner could destroy the object under them.
    while (thread.GetHandle() != nullptr) std::this_thread::yield();
    ASSERT_TRUE(thread.Wait(INFINITE));
    ASSERT_EQ(pndsim::LiveThreadCount(), 0) << "round " << round;
  }
}

TEST(HalThread, PriorityOfAnIdleThreadAppliesAtTheNextStart) {
  pndtest::SimGuard guard;
  StoppableThread thread;
  EXPECT_EQ(thread.GetPriority(), 3);
  EXPECT_TRUE(thread.SetPriority(2));
  EXPECT_EQ(thread.GetPriority(), 2);
  ASSERT_TRUE(thread.Start(nullptr, nullptr));
  thread.RequestStop();
  thread.Wait(INFINITE);
  EXPECT_EQ(thread.seenPriority.load(), 2);
}

TEST(HalThread, PrioritySourceIsAskedUnderThreadPrioritiesByName) {
  pndtest::SimGuard guard;
  StoppableThread thread;
  thread.SetName(L"Poller");
  FixedPriorities refusing(false, 6);
  ASSERT_TRUE(thread.Start(nullptr, &refusing));
  thread.RequestStop();
  thread.Wait(INFINITE);
  EXPECT_EQ(refusing.lastSection, L"ThreadPriorities");
  EXPECT_EQ(refusing.lastKey, L"Poller");
  EXPECT_EQ(thread.seenPriority.load(), 3) << "a refusing source keeps the default";

  FixedPriorities answering(true, 6);
  ASSERT_TRUE(thread.Start(nullptr, &answering));
  thread.RequestStop();
  thread.Wait(INFINITE);
  EXPECT_EQ(thread.seenPriority.load(), 6);
  EXPECT_EQ(thread.GetPriority(), 6);
}

TEST(HalThread, StartReportsThreadCreationFailure) {
  pndtest::SimGuard guard;
  ImmediateThread thread;
  pndsim::FailNext(pndsim::Call::CreateThread);
  EXPECT_FALSE(thread.Start(nullptr, nullptr));
  EXPECT_EQ(thread.GetHandle(), nullptr);
  EXPECT_TRUE(thread.Wait(INFINITE)) << "nothing to wait for";
  EXPECT_FALSE(thread.Terminate()) << "nothing to terminate";
  EXPECT_TRUE(thread.Start(nullptr, nullptr));
  EXPECT_TRUE(thread.Wait(INFINITE));
}

TEST(HalThread, TerminateEndsTheThreadAndMarksItFinished) {
  pndtest::SimGuard guard;
  std::atomic<bool> unwound{false};
  StubbornThread thread(unwound);
  ASSERT_TRUE(thread.Start(nullptr, nullptr));
  EXPECT_TRUE(thread.Terminate());
  EXPECT_TRUE(unwound.load());
  EXPECT_FALSE(thread.IsRunning());
  EXPECT_EQ(thread.GetHandle(), nullptr);
  EXPECT_EQ(thread.FinishedEvent().Wait(0), WAIT_OBJECT_0);
  EXPECT_EQ(pndsim::LiveThreadCount(), 0);
}

TEST(HalThread, DestroyingAThreadThatIgnoresItsStopRequestTerminatesIt) {
  pndtest::SimGuard guard(100);  // the 1600 ms grace period takes 16 ms
  std::atomic<bool> unwound{false};
  {
    StubbornThread thread(unwound);
    ASSERT_TRUE(thread.Start(nullptr, nullptr));
  }
  EXPECT_TRUE(unwound.load()) << "the thread was ended before its object went away";
  EXPECT_EQ(pndsim::LiveThreadCount(), 0);
}

TEST(HalThread, DestroyingARunningThreadStopsItPolitelyFirst) {
  pndtest::SimGuard guard;
  {
    StoppableThread thread;
    ASSERT_TRUE(thread.Start(nullptr, nullptr));
  }
  EXPECT_EQ(pndsim::LiveThreadCount(), 0);
}

}  // namespace

// Behaviour of the emulated kernel: events (named ones too), waits (on the
// pseudo-handles too), threads and their exit codes, termination, critical
// sections and the tick count.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>

#include "ce/kernel.h"
#include "last_error.h"
#include "sim_guard.h"

namespace {

struct Handle {
  HANDLE value;
  explicit Handle(HANDLE h) : value(h) {}
  ~Handle() {
    if (value != nullptr) CloseHandle(value);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  operator HANDLE() const { return value; }  // NOLINT(google-explicit-constructor)
};

TEST(KernelEvent, ManualResetStaysSignalledUntilReset) {
  pndtest::SimGuard guard;
  Handle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  ASSERT_NE(event.value, nullptr);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
  ASSERT_TRUE(SetEvent(event));
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  ASSERT_TRUE(ResetEvent(event));
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
}

TEST(KernelEvent, AutoResetReleasesOneWaitThenResets) {
  pndtest::SimGuard guard;
  Handle event(CreateEventW(nullptr, FALSE, TRUE, nullptr));
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
}

TEST(KernelEvent, InvalidHandlesFailWithLastError) {
  pndtest::SimGuard guard;
  HANDLE bogus = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(0x7FFF0));
  pndtest::PoisonLastError();
  EXPECT_FALSE(SetEvent(bogus));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(WaitForSingleObject(bogus, 0), WAIT_FAILED);
  EXPECT_FALSE(CloseHandle(bogus));
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  EXPECT_TRUE(CloseHandle(event));
  EXPECT_FALSE(CloseHandle(event)) << "a handle closes once";
}

TEST(KernelWait, WaitAnyReportsTheFirstSignalledObjectByIndex) {
  pndtest::SimGuard guard;
  Handle a(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  Handle b(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  Handle c(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  HANDLE all[] = {a, b, c};
  EXPECT_EQ(WaitForMultipleObjects(3, all, FALSE, 0), WAIT_TIMEOUT);
  SetEvent(c);
  EXPECT_EQ(WaitForMultipleObjects(3, all, FALSE, 0), WAIT_OBJECT_0 + 2);
  SetEvent(b);
  EXPECT_EQ(WaitForMultipleObjects(3, all, FALSE, 0), WAIT_OBJECT_0 + 1) << "lowest index wins";
}

TEST(KernelWait, WaitAllAndBadCountsAreRefused) {
  pndtest::SimGuard guard;
  Handle a(CreateEventW(nullptr, TRUE, TRUE, nullptr));
  HANDLE all[] = {a};
  pndtest::PoisonLastError();
  EXPECT_EQ(WaitForMultipleObjects(1, all, TRUE, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(WaitForMultipleObjects(0, all, FALSE, 0), WAIT_FAILED);
}

TEST(KernelWait, TimeOutIsShortenedByTheTimeScale) {
  pndtest::SimGuard guard(1000);
  Handle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  // Ten simulated minutes pass in 600 ms of real time at this scale; a
  // broken scale would make the test time out instead.
  EXPECT_EQ(WaitForSingleObject(event, 600000), WAIT_TIMEOUT);
}

// A wait runs in device time: one begun at real pace ends as soon as the device's time says so once the
// pace goes up (a broken one would keep the test for an hour).
TEST(KernelWait, AWaitInProgressFollowsAChangeOfTheTimeScale) {
  pndtest::SimGuard guard(1);
  Handle started(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  Handle thread(CreateThread(
      nullptr, 0,
      [](LPVOID e) -> DWORD {
        SetEvent(static_cast<HANDLE>(e));
        Sleep(3600000);
        return 0;
      },
      started.value, 0, nullptr));
  ASSERT_NE(thread.value, nullptr);
  ASSERT_EQ(WaitForSingleObject(started, INFINITE), WAIT_OBJECT_0);
  const DWORD before = GetTickCount();
  // A short wait of the test's own lets the thread go from the event into its sleep.
  EXPECT_EQ(WaitForSingleObject(thread, 20), WAIT_TIMEOUT);
  pndsim::SetTimeScale(1e5);
  EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  EXPECT_GE(GetTickCount() - before, 3600000u - 20u) << "the hour passed in device time";
}

TEST(KernelWait, AnotherThreadWakesAnInfiniteWait) {
  pndtest::SimGuard guard;
  Handle event(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  Handle thread(CreateThread(
      nullptr, 0, [](LPVOID e) -> DWORD { return SetEvent(static_cast<HANDLE>(e)) ? 7 : 0; }, event.value, 0,
      nullptr));
  ASSERT_NE(thread.value, nullptr);
  EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 7u);
}

TEST(KernelThread, IdentifierParameterAndExitCode) {
  pndtest::SimGuard guard;
  struct Context {
    DWORD seenId = 0;
    int value = 0;
  } context{0, 41};
  DWORD id = 0;
  Handle thread(CreateThread(
      nullptr, 0,
      [](LPVOID p) -> DWORD {
        auto* c = static_cast<Context*>(p);
        c->seenId = GetCurrentThreadId();
        ++c->value;
        ExitThread(99);
      },
      &context, 0, &id));
  ASSERT_NE(thread.value, nullptr);
  ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(context.seenId, id);
  EXPECT_NE(id, GetCurrentThreadId());
  EXPECT_EQ(context.value, 42);
  DWORD code = 0;
  GetExitCodeThread(thread, &code);
  EXPECT_EQ(code, 99u);
  EXPECT_EQ(pndsim::LiveThreadCount(), 0);
}

TEST(KernelThread, PriorityIsKeptOnTheZeroToSevenScale) {
  pndtest::SimGuard guard;
  Handle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  Handle thread(CreateThread(
      nullptr, 0, [](LPVOID e) -> DWORD { return WaitForSingleObject(static_cast<HANDLE>(e), INFINITE); },
      event.value, 0, nullptr));
  EXPECT_EQ(GetThreadPriority(thread), THREAD_PRIORITY_NORMAL);
  EXPECT_TRUE(SetThreadPriority(thread, THREAD_PRIORITY_ABOVE_NORMAL));
  EXPECT_EQ(GetThreadPriority(thread), 2);
  EXPECT_FALSE(SetThreadPriority(thread, 8));
  EXPECT_EQ(GetThreadPriority(thread), 2);
  SetEvent(event);
  WaitForSingleObject(thread, INFINITE);
}

TEST(KernelThread, TerminationEndsABlockedThreadAndReleasesItsLocks) {
  pndtest::SimGuard guard;
  struct Context {
    CRITICAL_SECTION section{};
    HANDLE holding = nullptr;
    std::atomic<int> unwound{0};
  } context;
  InitializeCriticalSection(&context.section);
  context.holding = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  Handle thread(CreateThread(
      nullptr, 0,
      [](LPVOID p) -> DWORD {
        auto* c = static_cast<Context*>(p);
        struct Unwind {
          std::atomic<int>& flag;
          ~Unwind() { flag = 1; }
        } unwind{c->unwound};
        EnterCriticalSection(&c->section);
        SetEvent(c->holding);
        for (;;) Sleep(10);
      },
      &context, 0, nullptr));
  ASSERT_EQ(WaitForSingleObject(context.holding, INFINITE), WAIT_OBJECT_0);
  EXPECT_FALSE(TryEnterCriticalSection(&context.section));
  EXPECT_TRUE(TerminateThread(thread, 0xFFFFFFFF));
  EXPECT_EQ(context.unwound.load(), 1) << "the thread unwound before TerminateThread returned";
  DWORD code = 0;
  GetExitCodeThread(thread, &code);
  EXPECT_EQ(code, 0xFFFFFFFFu);
  EXPECT_TRUE(TryEnterCriticalSection(&context.section)) << "a terminated owner leaves no lock held";
  LeaveCriticalSection(&context.section);
  DeleteCriticalSection(&context.section);
  CloseHandle(context.holding);
}

TEST(KernelThread, TheExitCodeIsWhateverTheThreadEndedWithStillActiveIncluded) {
  pndtest::SimGuard guard;
  struct End {
    DWORD code;
    bool byExitThread;
  };
  End ends[] = {{0, false}, {STILL_ACTIVE, false}, {STILL_ACTIVE, true}, {0xFFFFFFFF, false}, {258, true}};
  for (End& end : ends) {
    Handle thread(CreateThread(
        nullptr, 0,
        [](LPVOID p) -> DWORD {
          const auto* e = static_cast<const End*>(p);
          if (e->byExitThread) ExitThread(e->code);
          return e->code;
        },
        &end, 0, nullptr));
    ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, end.code) << "by ExitThread: " << end.byExitThread;
  }
}

TEST(KernelWait, ThePseudoHandlesOfTheCurrentThreadAndProcessAreWaitedOnAndNeverSignalled) {
  pndtest::SimGuard guard(1000);
  Handle event(CreateEventW(nullptr, TRUE, TRUE, nullptr));
  for (HANDLE self : {GetCurrentThread(), GetCurrentProcess()}) {
    pndtest::PoisonLastError();
    EXPECT_EQ(WaitForSingleObject(self, 0), WAIT_TIMEOUT);
    pndtest::PoisonLastError();
    EXPECT_EQ(WaitForSingleObject(self, 500), WAIT_TIMEOUT);
    EXPECT_EQ(GetLastError(), pndtest::kPoisonError) << "a time-out is no failure";
    const HANDLE both[] = {self, event};
    EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 0), WAIT_OBJECT_0 + 1);
    EXPECT_TRUE(CloseHandle(self)) << "closing a pseudo-handle does nothing";
    EXPECT_EQ(WaitForSingleObject(self, 0), WAIT_TIMEOUT);
    pndtest::PoisonLastError();
    EXPECT_FALSE(SetEvent(self));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  }
  EXPECT_TRUE(SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST));
  EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_LOWEST);
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL);
}

TEST(KernelEvent, ANamedEventIsSharedByItsNameUntilItsLastHandleCloses) {
  pndtest::SimGuard guard;
  pndtest::PoisonLastError();
  Handle first(CreateEventW(nullptr, TRUE, FALSE, L"PowerEvent"));
  ASSERT_NE(first.value, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);

  pndtest::PoisonLastError();
  auto* second = CreateEventW(nullptr, FALSE, TRUE, L"PowerEvent");
  ASSERT_NE(second, nullptr);
  EXPECT_NE(second, first.value) << "a handle of its own";
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_TIMEOUT) << "the existing event keeps its state";
  ASSERT_TRUE(SetEvent(first));
  EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0) << "and its manual reset";

  pndtest::PoisonLastError();
  Handle otherCase(CreateEventW(nullptr, TRUE, FALSE, L"powerevent"));
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS) << "names compare exactly";
  EXPECT_EQ(WaitForSingleObject(otherCase, 0), WAIT_TIMEOUT);
  pndtest::PoisonLastError();
  Handle unnamed(CreateEventW(nullptr, TRUE, FALSE, L""));
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS) << "an empty name is no name";

  ASSERT_TRUE(CloseHandle(second));
  ASSERT_TRUE(CloseHandle(first.value));
  first.value = nullptr;
  pndtest::PoisonLastError();
  Handle again(CreateEventW(nullptr, TRUE, FALSE, L"PowerEvent"));
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS) << "the name went with the last handle";
  EXPECT_EQ(WaitForSingleObject(again, 0), WAIT_TIMEOUT);

  const std::wstring tooLong(261, L'x');
  pndtest::PoisonLastError();
  EXPECT_EQ(CreateEventW(nullptr, TRUE, FALSE, tooLong.c_str()), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILENAME_EXCED_RANGE);
}

TEST(KernelCriticalSection, IsRecursiveAndExcludesOtherThreads) {
  pndtest::SimGuard guard;
  struct Context {
    CRITICAL_SECTION section{};
    BOOL otherGotIt = TRUE;
  } context;
  InitializeCriticalSection(&context.section);
  EnterCriticalSection(&context.section);
  EnterCriticalSection(&context.section);
  LeaveCriticalSection(&context.section);
  Handle thread(CreateThread(
      nullptr, 0,
      [](LPVOID p) -> DWORD {
        auto* c = static_cast<Context*>(p);
        c->otherGotIt = TryEnterCriticalSection(&c->section);
        return 0;
      },
      &context, 0, nullptr));
  WaitForSingleObject(thread, INFINITE);
  EXPECT_FALSE(context.otherGotIt) << "still held once";
  LeaveCriticalSection(&context.section);
  EXPECT_TRUE(TryEnterCriticalSection(&context.section));
  LeaveCriticalSection(&context.section);
  DeleteCriticalSection(&context.section);
}

TEST(KernelTicks, TickCountWrapsAtThirtyTwoBits) {
  pndtest::SimGuard guard(1000);
  pndsim::SetTickCount(0xFFFFFFF0u);
  const DWORD before = GetTickCount();
  Sleep(1000);  // one simulated second
  const DWORD after = GetTickCount();
  EXPECT_GE(before, 0xFFFFFFF0u);
  EXPECT_LT(after, before) << "the count wrapped";
  EXPECT_GE(static_cast<DWORD>(after - before), 1000u);
}

TEST(KernelInterlocked, IncrementAndDecrementReturnTheNewValue) {
  volatile LONG value = 5;
  EXPECT_EQ(InterlockedIncrement(&value), 6);
  EXPECT_EQ(InterlockedDecrement(&value), 5);
}

TEST(KernelLastError, IsPerThread) {
  SetLastError(1234);
  Handle thread(CreateThread(
      nullptr, 0, [](LPVOID) -> DWORD { return GetLastError(); }, nullptr, 0, nullptr));
  WaitForSingleObject(thread, INFINITE);
  DWORD code = 1;
  GetExitCodeThread(thread, &code);
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(GetLastError(), 1234u);
}

}  // namespace

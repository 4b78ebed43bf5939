// Per-thread message queues: posting, the filters and results of
// GetMessageW and PeekMessageW, dispatch, the quit message, waking a blocked
// message loop, the messages only SendMessageW carries, the handle limit of a
// message wait, and bad window handles.
#include <ce/display.h>

#include <atomic>
#include <vector>

#include "last_error.h"
#include "window_test_support.h"

namespace {

using wintest::CreateTestWindow;
using wintest::Handler;

MSG Get(HWND filter, UINT filterMin = 0, UINT filterMax = 0, BOOL* result = nullptr) {
  MSG message{};
  const BOOL got = GetMessageW(&message, filter, filterMin, filterMax);
  if (result != nullptr) {
    *result = got;
  }
  return message;
}

TEST(GetMessage, AWindowFilterTakesOnlyThatWindowsMessages) {
  wintest::Guard guard;
  HWND first = CreateTestWindow(L"First", nullptr);
  HWND second = CreateTestWindow(L"Second", nullptr);
  ASSERT_TRUE(first && second);
  ASSERT_TRUE(PostMessageW(first, WM_USER + 1, 11, 0));
  ASSERT_TRUE(PostMessageW(nullptr, WM_USER + 2, 22, 0));
  ASSERT_TRUE(PostMessageW(second, WM_USER + 3, 33, 0));

  MSG message = Get(second);
  EXPECT_EQ(message.hwnd, second);
  EXPECT_EQ(message.message, WM_USER + 3u);
  EXPECT_EQ(message.wParam, 33u);

  // Without a filter the rest comes in the order it was posted.
  message = Get(nullptr);
  EXPECT_EQ(message.hwnd, first);
  EXPECT_EQ(message.message, WM_USER + 1u);
  message = Get(nullptr);
  EXPECT_EQ(message.hwnd, nullptr);
  EXPECT_EQ(message.message, WM_USER + 2u);
  EXPECT_EQ(wintest::NextQueued().message, wintest::kMarkerMessage);
}

TEST(GetMessage, ARangeFilterTakesOnlyMessagesInTheRange) {
  wintest::Guard guard;
  HWND window = CreateTestWindow(L"Ranged", nullptr);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(PostMessageW(window, WM_USER + 5, 0, 0));
  ASSERT_TRUE(PostMessageW(window, WM_USER + 10, 0, 0));
  ASSERT_TRUE(PostMessageW(window, WM_USER + 20, 0, 0));

  EXPECT_EQ(Get(window, WM_USER + 10, WM_USER + 20).message, WM_USER + 10u);
  EXPECT_EQ(Get(window, WM_USER + 10, WM_USER + 20).message, WM_USER + 20u);
  EXPECT_EQ(Get(window).message, WM_USER + 5u);
}

TEST(GetMessage, AnInvalidFilterWindowGivesMinusOne) {
  wintest::Guard guard;
  BOOL result = 0;
  pndtest::PoisonLastError();
  Get(reinterpret_cast<HWND>(0x4242), 0, 0, &result);
  EXPECT_EQ(result, -1);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);

  HWND destroyed = CreateTestWindow(L"Gone", nullptr);
  ASSERT_TRUE(DestroyWindow(destroyed));
  Get(destroyed, 0, 0, &result);
  EXPECT_EQ(result, -1);

  // Another thread's window is no filter for this thread's queue.
  wintest::WindowThread other([](HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
  });
  Get(other.hwnd(), 0, 0, &result);
  EXPECT_EQ(result, -1);

  pndtest::PoisonLastError();
  EXPECT_EQ(GetMessageW(nullptr, nullptr, 0, 0), -1);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(PostQuitMessage, TheQuitComesOnceNoAcceptedPostedMessageWaitsWhateverTheFilter) {
  wintest::Guard guard;
  HWND window = CreateTestWindow(L"Quitting", nullptr);
  HWND other = CreateTestWindow(L"Other", nullptr);
  ASSERT_TRUE(window && other);

  ASSERT_TRUE(PostMessageW(window, WM_USER + 1, 0, 0));
  PostQuitMessage(7);
  ASSERT_TRUE(PostMessageW(window, WM_USER + 2, 0, 0)) << "posted after the quit";
  ASSERT_TRUE(PostMessageW(other, WM_USER + 3, 0, 0));
  BOOL result = 0;
  EXPECT_EQ(Get(window, 0, 0, &result).message, WM_USER + 1);
  EXPECT_EQ(Get(window, 0, 0, &result).message, WM_USER + 2) << "a message posted after the quit is not lost";
  const MSG quit = Get(window, WM_USER, WM_USER, &result);
  EXPECT_EQ(result, 0) << "the quit passes the window and the range filter";
  EXPECT_EQ(quit.message, WM_QUIT);
  EXPECT_EQ(quit.hwnd, nullptr);
  EXPECT_EQ(quit.wParam, 7u);
  EXPECT_EQ(Get(nullptr, 0, 0, &result).message, WM_USER + 3) << "the refused message is still there";
  EXPECT_EQ(wintest::NextQueued().message, wintest::kMarkerMessage) << "one quit for one request";
}

TEST(PostMessage, APostedWmQuitPassesEveryRangeButNotAnotherWindowsFilter) {
  wintest::Guard guard;
  HWND window = CreateTestWindow(L"Quitting", nullptr);
  HWND other = CreateTestWindow(L"Other", nullptr);
  ASSERT_TRUE(PostMessageW(other, WM_QUIT, 3, 0));
  ASSERT_TRUE(PostMessageW(window, WM_QUIT, 4, 0));
  BOOL result = 1;
  const MSG message = Get(window, WM_USER, WM_USER, &result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(message.wParam, 4u);
  EXPECT_EQ(Get(other, WM_USER, WM_USER, &result).wParam, 3u);
}

TEST(PostMessage, AQueueHoldsTenThousandPostedMessagesAndRefusesMore) {
  wintest::Guard guard;
  HWND window = CreateTestWindow(L"Flooded", nullptr);
  ASSERT_TRUE(RegisterHotKey(window, 1, 0, 0x26));
  for (int i = 0; i < 10000; ++i) {
    ASSERT_TRUE(PostMessageW(window, WM_USER, static_cast<WPARAM>(i), 0)) << i;
  }
  pndtest::PoisonLastError();
  EXPECT_FALSE(PostMessageW(window, WM_USER, 10000, 0));
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_QUOTA);
  pndtest::PoisonLastError();
  EXPECT_FALSE(PostMessageW(nullptr, WM_USER, 0, 0)) << "the thread's one queue is full";
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_QUOTA);
  EXPECT_FALSE(pndsim::PressKey(0x26)) << "the press is reported lost";
  PostQuitMessage(1);

  BOOL result = 0;
  EXPECT_EQ(Get(nullptr, 0, 0, &result).wParam, 0u);
  EXPECT_TRUE(pndsim::PressKey(0x26)) << "one message taken leaves room for one";
  for (int i = 1; i < 10000; ++i) {
    ASSERT_EQ(Get(nullptr, 0, 0, &result).wParam, static_cast<WPARAM>(i));
  }
  EXPECT_EQ(Get(nullptr, 0, 0, &result).message, WM_HOTKEY);
  EXPECT_EQ(Get(nullptr, 0, 0, &result).message, WM_QUIT) << "the quit takes no room";
}

TEST(GetMessage, AMessagePostedFromAnotherThreadWakesABlockedLoop) {
  wintest::Guard guard;
  pndtest::Signal received;
  std::atomic<DWORD> handledOn{0};
  std::atomic<WPARAM> value{0};
  wintest::WindowThread owner([&](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
    if (message == WM_USER + 1) {
      handledOn = GetCurrentThreadId();
      value = wParam;
      received.Notify();
      return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
  });

  ASSERT_TRUE(PostMessageW(owner.hwnd(), WM_USER + 1, 42, 0));
  ASSERT_TRUE(received.WaitFor(1));
  EXPECT_EQ(value.load(), 42u);
  EXPECT_EQ(handledOn.load(), owner.threadId());

  for (int i = 0; i < 100; ++i) {
    ASSERT_TRUE(PostMessageW(owner.hwnd(), WM_USER + 1, i, 0));
  }
  EXPECT_TRUE(received.WaitFor(101));
  EXPECT_TRUE(owner.Stop());
}

TEST(GetMessage, AThreadBlockedInItsMessageLoopCanBeTerminated) {
  wintest::Guard guard;
  pndtest::Signal looping;
  wintest::EmulatedThread thread([&] {
    CreateTestWindow(L"Stuck", nullptr);
    looping.Notify();
    MSG message;
    GetMessageW(&message, nullptr, 0, 0);
    return DWORD{1};
  });
  ASSERT_TRUE(looping.WaitFor(1));
  EXPECT_TRUE(TerminateThread(thread.handle(), 9));
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeThread(thread.handle(), &code));
  EXPECT_EQ(code, 9u);
  EXPECT_EQ(FindWindowW(nullptr, L"Stuck"), nullptr);
}

TEST(DispatchMessage, CallsTheWindowProcedureAndReturnsItsResult) {
  wintest::Guard guard;
  std::vector<UINT> seen;
  Handler handler = [&](HWND, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
    seen.push_back(message);
    return static_cast<LRESULT>(wParam) + lParam;
  };
  HWND window = CreateTestWindow(L"Dispatched", &handler);
  ASSERT_TRUE(PostMessageW(window, WM_USER + 4, 40, 2));
  MSG message = Get(window);
  EXPECT_FALSE(TranslateMessage(&message));
  EXPECT_EQ(DispatchMessageW(&message), 42);
  EXPECT_EQ(seen, (std::vector<UINT>{WM_CREATE, WM_USER + 4}));

  const MSG threadMessage{nullptr, WM_USER, 1, 1, 0, {0, 0}};
  EXPECT_EQ(DispatchMessageW(&threadMessage), 0);
  EXPECT_EQ(seen.size(), 2u);
}

TEST(DispatchMessage, RefusesAnotherThreadsWindow) {
  wintest::Guard guard;
  std::atomic<int> calls{0};
  wintest::WindowThread owner([&](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
    if (message == WM_USER) {
      ++calls;
    }
    return DefWindowProcW(window, message, wParam, lParam);
  });
  const MSG message{owner.hwnd(), WM_USER, 0, 0, 0, {0, 0}};
  pndtest::PoisonLastError();
  EXPECT_EQ(DispatchMessageW(&message), 0);
  EXPECT_EQ(GetLastError(), ERROR_WINDOW_OF_OTHER_THREAD);
  EXPECT_TRUE(owner.Stop());
  EXPECT_EQ(calls.load(), 0);
}

TEST(TranslateMessage, ReportsKeyMessagesOnly) {
  const MSG key{nullptr, WM_KEYDOWN, 0x26, 0, 0, {0, 0}};
  const MSG other{nullptr, WM_HOTKEY, 0x26, 0, 0, {0, 0}};
  EXPECT_TRUE(TranslateMessage(&key));
  EXPECT_FALSE(TranslateMessage(&other));
  EXPECT_FALSE(TranslateMessage(nullptr));
}

TEST(PostMessage, RecordsThePostInTheTrace) {
  wintest::Guard guard;
  HWND window = CreateTestWindow(L"Traced", nullptr);
  const UINT registered = RegisterWindowMessageW(L"WM_ORXBT_INMSG_HANGUP");
  ASSERT_TRUE(PostMessageW(window, registered, 1, 0));
  const auto trace = pndsim::Trace();
  ASSERT_FALSE(trace.empty());
  EXPECT_EQ(trace.back().kind, "message.post");
  EXPECT_NE(trace.back().detail.find("WM_ORXBT_INMSG_HANGUP"), std::string::npos) << trace.back().detail;
}

}  // namespace

namespace {

TEST(PeekMessage, SeesAPendingQuitRequestAndLeavesItWithoutPmRemove) {
  wintest::Guard guard;
  PostQuitMessage(4);
  MSG message{};
  for (int look = 0; look < 2; ++look) {
    ASSERT_TRUE(PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) << look;
    EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(message.wParam, 4u);
  }
  ASSERT_TRUE(PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
  EXPECT_FALSE(PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) << "taken";
}

// A handle that names no window of the caller fails with ERROR_INVALID_WINDOW_HANDLE, whichever call takes
// it.
TEST(WindowHandle, ABadWindowFailsEveryCallThatTakesOne) {
  wintest::Guard guard;
  HWND destroyed = CreateTestWindow(L"Gone", nullptr);
  ASSERT_TRUE(DestroyWindow(destroyed));
  wintest::WindowThread other([](HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
  });
  const struct {
    const char* call;
    bool (*fails)(HWND);
    bool otherThreadsFails;
  } calls[] = {
      {"PeekMessageW",
       [](HWND window) {
         MSG message{};
         return PeekMessageW(&message, window, 0, 0, PM_NOREMOVE) == FALSE;
       },
       true},
      {"GetDC", [](HWND window) { return GetDC(window) == nullptr; }, false},
      {"PostMessageW", [](HWND window) { return PostMessageW(window, WM_USER, 0, 0) == FALSE; }, false},
  };
  for (const auto& c : calls) {
    for (HWND bad : {reinterpret_cast<HWND>(0x4242), destroyed}) {
      pndtest::PoisonLastError();
      EXPECT_TRUE(c.fails(bad)) << c.call;
      EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE) << c.call;
    }
    pndtest::PoisonLastError();
    EXPECT_EQ(c.fails(other.hwnd()), c.otherThreadsFails) << c.call << " with another thread's window";
  }
}

TEST(PostMessage, WmCopyDataOnlyTravelsBySendMessage) {
  wintest::Guard guard;
  HWND window = CreateTestWindow(L"Target", nullptr);
  COPYDATASTRUCT record{1, 0, nullptr};
  for (HWND target : {window, static_cast<HWND>(nullptr)}) {
    pndtest::PoisonLastError();
    EXPECT_FALSE(PostMessageW(target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&record)));
    EXPECT_EQ(GetLastError(), ERROR_MESSAGE_SYNC_ONLY);
  }
  MSG message{};
  EXPECT_FALSE(PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) << "nothing was queued";
}

TEST(MsgWaitForMultipleObjects, TakesAtMostSixtyThreeHandlesBesideTheQueue) {
  wintest::Guard guard;
  HANDLE event = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  std::vector<HANDLE> handles(MAXIMUM_WAIT_OBJECTS, event);
  EXPECT_EQ(MsgWaitForMultipleObjectsEx(MAXIMUM_WAIT_OBJECTS - 1, handles.data(), 0, QS_POSTMESSAGE, 0),
            WAIT_OBJECT_0);
  pndtest::PoisonLastError();
  EXPECT_EQ(MsgWaitForMultipleObjectsEx(MAXIMUM_WAIT_OBJECTS, handles.data(), 0, QS_POSTMESSAGE, 0),
            WAIT_FAILED);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  CloseHandle(event);
}

}  // namespace

// SendMessageW within a thread and across threads: the answer, the thread the
// procedure runs on, window threads sending to each other, and the answer 0
// when the receiver goes away.
#include <atomic>
#include <cstring>
#include <vector>

#include "window_test_support.h"

namespace {

using wintest::CreateTestWindow;
using wintest::EmulatedThread;
using wintest::Handler;
using wintest::WindowThread;

LRESULT Default(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

// An event the test owns, closed at the end of the test.
class Event {
 public:
  Event() : handle_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~Event() { CloseHandle(handle_); }
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;
  void Set() { SetEvent(handle_); }
  void Wait() { WaitForSingleObject(handle_, INFINITE); }

 private:
  HANDLE handle_;
};

TEST(SendMessage, WithinTheOwningThreadItCallsTheProcedureDirectly) {
  wintest::Guard guard;
  std::vector<UINT> seen;
  Handler handler = [&](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
    seen.push_back(message);
    return message == WM_USER ? static_cast<LRESULT>(wParam) * 2 : Default(window, message, wParam, lParam);
  };
  HWND window = CreateTestWindow(L"Direct", &handler);
  EXPECT_EQ(SendMessageW(window, WM_USER, 21, 0), 42);
  EXPECT_EQ(seen, (std::vector<UINT>{WM_CREATE, WM_USER}));
}

TEST(SendMessage, AcrossThreadsItRunsTheProcedureOnTheOwnerAndReturnsItsResult) {
  wintest::Guard guard;
  std::atomic<DWORD> handledOn{0};
  WindowThread owner([&](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
    if (message != WM_USER) {
      return Default(window, message, wParam, lParam);
    }
    handledOn = GetCurrentThreadId();
    return static_cast<LRESULT>(wParam) + 1;
  });
  EXPECT_EQ(SendMessageW(owner.hwnd(), WM_USER, 41, 0), 42);
  EXPECT_EQ(handledOn.load(), owner.threadId());
  EXPECT_NE(handledOn.load(), GetCurrentThreadId());

  // The sender blocks until the answer is there, every time.
  for (WPARAM i = 0; i < 200; ++i) {
    ASSERT_EQ(SendMessageW(owner.hwnd(), WM_USER, i, 0), static_cast<LRESULT>(i + 1));
  }
}

TEST(SendMessage, ALoopFilteredOnAnotherWindowStillAnswersSentMessages) {
  wintest::Guard guard;
  pndtest::Signal created;
  std::atomic<HWND> target{nullptr};
  std::atomic<HWND> filter{nullptr};
  Handler handler = [](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
    return message == WM_USER ? 7 : Default(window, message, wParam, lParam);
  };
  EmulatedThread owner([&] {
    target = CreateTestWindow(L"Target", &handler);
    filter = CreateTestWindow(L"Filter", nullptr);
    created.Notify();
    MSG message;
    while (GetMessageW(&message, filter.load(), 0, 0) > 0) {
      DispatchMessageW(&message);
    }
    return DWORD{0};
  });
  ASSERT_TRUE(created.WaitFor(1));
  EXPECT_EQ(SendMessageW(target.load(), WM_USER, 0, 0), 7);
  ASSERT_TRUE(PostMessageW(filter.load(), WM_QUIT, 0, 0));
  EXPECT_TRUE(owner.Join());
}

TEST(SendMessage, TwoWindowThreadsSendingToEachOtherAtOnceDoNotDeadlock) {
  wintest::Guard guard;
  constexpr UINT kStart = WM_USER + 1;
  constexpr UINT kAsk = WM_USER + 2;
  pndtest::Signal bothReady;
  pndtest::Signal finished;
  std::atomic<HWND> peers[2] = {nullptr, nullptr};
  std::atomic<LRESULT> answers[2] = {0, 0};
  auto makeHandler = [&](int self) {
    return [&, self](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
      if (message == kAsk) {
        return 100 + self;
      }
      if (message != kStart) {
        return Default(window, message, wParam, lParam);
      }
      bothReady.Notify();
      bothReady.WaitFor(2);
      answers[self] = SendMessageW(peers[1 - self].load(), kAsk, 0, 0);
      finished.Notify();
      return 0;
    };
  };
  WindowThread first(makeHandler(0));
  WindowThread second(makeHandler(1));
  peers[0] = first.hwnd();
  peers[1] = second.hwnd();

  ASSERT_TRUE(PostMessageW(first.hwnd(), kStart, 0, 0));
  ASSERT_TRUE(PostMessageW(second.hwnd(), kStart, 0, 0));
  ASSERT_TRUE(finished.WaitFor(2));
  EXPECT_EQ(answers[0].load(), 101);
  EXPECT_EQ(answers[1].load(), 100);
}

TEST(SendMessage, AReceiverMaySendBackToTheWaitingSender) {
  wintest::Guard guard;
  constexpr UINT kStart = WM_USER + 1;
  constexpr UINT kAsk = WM_USER + 2;
  constexpr UINT kAskBack = WM_USER + 3;
  std::atomic<HWND> askerWindow{nullptr};
  std::atomic<HWND> helperWindow{nullptr};
  std::atomic<DWORD> askedBackOn{0};
  std::atomic<LRESULT> answer{0};
  pndtest::Signal done;
  WindowThread helper([&](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
    if (message == kAsk) {
      return SendMessageW(askerWindow.load(), kAskBack, 0, 0) + 1;
    }
    return Default(window, message, wParam, lParam);
  });
  helperWindow = helper.hwnd();
  // The asker waits for the helper, which meanwhile asks the asker back.
  WindowThread asker([&](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
    if (message == kAskBack) {
      askedBackOn = GetCurrentThreadId();
      return 10;
    }
    if (message != kStart) {
      return Default(window, message, wParam, lParam);
    }
    answer = SendMessageW(helperWindow.load(), kAsk, 0, 0);
    done.Notify();
    return 0;
  });
  askerWindow = asker.hwnd();

  ASSERT_TRUE(PostMessageW(asker.hwnd(), kStart, 0, 0));
  ASSERT_TRUE(done.WaitFor(1));
  EXPECT_EQ(answer.load(), 11);
  EXPECT_EQ(askedBackOn.load(), asker.threadId());
}

TEST(SendMessage, TheAnswerIsZeroWhenTheReceivingThreadEndsFirst) {
  wintest::Guard guard;
  Event release;
  pndtest::Signal created;
  std::atomic<int> delivered{0};
  Handler handler = [&](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
    if (message == WM_USER) {
      ++delivered;
    }
    return message == WM_USER ? 5 : Default(window, message, wParam, lParam);
  };
  std::atomic<HWND> window{nullptr};
  EmulatedThread receiver([&] {
    window = CreateTestWindow(L"Leaving", &handler);
    created.Notify();
    release.Wait();  // never pumps messages
    return DWORD{0};
  });
  ASSERT_TRUE(created.WaitFor(1));
  std::atomic<LRESULT> answer{-1};
  EmulatedThread sender([&] {
    answer = SendMessageW(window.load(), WM_USER, 0, 0);
    return DWORD{0};
  });
  ASSERT_TRUE(wintest::WaitForTrace("message.send", 1));
  release.Set();
  ASSERT_TRUE(receiver.Join());
  ASSERT_TRUE(sender.Join());
  EXPECT_EQ(answer.load(), 0);
  EXPECT_EQ(delivered.load(), 0);
}

TEST(SendMessage, TheAnswerIsZeroWhenTheWindowIsDestroyedFirst) {
  wintest::Guard guard;
  Event destroy;
  Event leave;
  pndtest::Signal created;
  std::atomic<int> delivered{0};
  Handler handler = [&](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
    if (message == WM_USER) {
      ++delivered;
    }
    return message == WM_USER ? 5 : Default(window, message, wParam, lParam);
  };
  std::atomic<HWND> window{nullptr};
  EmulatedThread receiver([&] {
    window = CreateTestWindow(L"Destroyed", &handler);
    created.Notify();
    destroy.Wait();
    DestroyWindow(window.load());
    leave.Wait();
    return DWORD{0};
  });
  ASSERT_TRUE(created.WaitFor(1));
  std::atomic<LRESULT> answer{-1};
  EmulatedThread sender([&] {
    answer = SendMessageW(window.load(), WM_USER, 0, 0);
    return DWORD{0};
  });
  ASSERT_TRUE(wintest::WaitForTrace("message.send", 1));
  destroy.Set();
  ASSERT_TRUE(sender.Join());
  EXPECT_EQ(answer.load(), 0);
  EXPECT_EQ(delivered.load(), 0);
  EXPECT_EQ(WaitForSingleObject(receiver.handle(), 0), WAIT_TIMEOUT) << "the receiver still runs";
  leave.Set();
}

TEST(SendMessage, TheAnswerIsZeroWhenTheReceiverIsTerminatedInsideTheProcedure) {
  wintest::Guard guard;
  Event never;
  pndtest::Signal inside;
  Handler handler = [&](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
    if (message != WM_USER) {
      return Default(window, message, wParam, lParam);
    }
    inside.Notify();
    never.Wait();
    return 5;
  };
  pndtest::Signal created;
  std::atomic<HWND> window{nullptr};
  EmulatedThread receiver([&] {
    window = CreateTestWindow(L"Terminated", &handler);
    created.Notify();
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
      DispatchMessageW(&message);
    }
    return DWORD{0};
  });
  ASSERT_TRUE(created.WaitFor(1));
  std::atomic<LRESULT> answer{-1};
  EmulatedThread sender([&] {
    answer = SendMessageW(window.load(), WM_USER, 0, 0);
    return DWORD{0};
  });
  ASSERT_TRUE(inside.WaitFor(1));
  EXPECT_TRUE(TerminateThread(receiver.handle(), 3));
  ASSERT_TRUE(sender.Join());
  EXPECT_EQ(answer.load(), 0);
  EXPECT_FALSE(IsWindow(window.load()));
}

TEST(SendMessage, ASenderWaitingForAnOwnerThatDoesNotPumpCanBeTerminated) {
  wintest::Guard guard;
  Event pump;
  pndtest::Signal created;
  pndtest::Signal pumped;
  std::atomic<int> delivered{0};
  Handler handler = [&](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
    if (message == WM_USER) {
      ++delivered;
    }
    return Default(window, message, wParam, lParam);
  };
  std::atomic<HWND> window{nullptr};
  EmulatedThread receiver([&] {
    window = CreateTestWindow(L"Busy", &handler);
    created.Notify();
    pump.Wait();
    wintest::NextQueued();  // delivers whatever was sent meanwhile
    pumped.Notify();
    return DWORD{0};
  });
  ASSERT_TRUE(created.WaitFor(1));
  EmulatedThread sender([&] {
    SendMessageW(window.load(), WM_USER, 0, 0);
    return DWORD{1};
  });
  ASSERT_TRUE(wintest::WaitForTrace("message.send", 1));
  EXPECT_TRUE(TerminateThread(sender.handle(), 77));
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeThread(sender.handle(), &code));
  EXPECT_EQ(code, 77u);

  pump.Set();
  ASSERT_TRUE(pumped.WaitFor(1));
  EXPECT_EQ(delivered.load(), 0) << "the ended sender took its message back";
}

TEST(SendMessage, CopyDataReachesTheReceiverIntact) {
  wintest::Guard guard;
  std::vector<char16_t> received;
  std::atomic<ULONG_PTR> code{0};
  WindowThread owner([&](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
    if (message != WM_COPYDATA) {
      return Default(window, message, wParam, lParam);
    }
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    code = data->dwData;
    received.resize(data->cbData / sizeof(char16_t));
    std::memcpy(received.data(), data->lpData, data->cbData);
    return TRUE;
  });
  char16_t payload[200] = u"FirstBTStatusMsgWnd";
  COPYDATASTRUCT data{0x2B10, sizeof payload, payload};
  EXPECT_EQ(SendMessageW(owner.hwnd(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)), TRUE);
  EXPECT_EQ(code.load(), 0x2B10u);
  ASSERT_EQ(received.size(), 200u);
  EXPECT_EQ(std::u16string(received.data()), u"FirstBTStatusMsgWnd");

  const auto trace = pndsim::Trace();
  ASSERT_FALSE(trace.empty());
  EXPECT_EQ(trace.back().kind, "message.send");
  EXPECT_NE(trace.back().detail.find("dwData=0x2B10 cbData=400"), std::string::npos) << trace.back().detail;
}

}  // namespace

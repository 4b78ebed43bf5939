// The message-window thread: its window and class, handler signals (nested
// messages included), and a clean end whether the window exists or not.
#include <gtest/gtest.h>

#include "runtime/message_window_thread.h"
#include "sim_guard.h"

namespace {

const pndsim::WindowInfo* FindTitle(const std::vector<pndsim::WindowInfo>& windows,
                                    const std::string& title) {
  for (const auto& window : windows) {
    if (window.title == title) return &window;
  }
  return nullptr;
}

TEST(MessageWindowThread, DefaultTitleAndOneClassForAllWindows) {
  pndtest::SimGuard guard;
  CMessageWindowThread first, second;
  ASSERT_TRUE(first.Create(nullptr));
  ASSERT_TRUE(second.Create(L"Second"));
  EXPECT_FALSE(first.Create(L"again")) << "already running";
  const auto windows = pndsim::Windows();
  const auto* a = FindTitle(windows, "WinThreadMessageWindow");
  const auto* b = FindTitle(windows, "Second");
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(a->className, b->className);
  EXPECT_EQ(a->className.rfind("Pwc80", 0), 0u) << a->className;
  EXPECT_FALSE(a->visible);
  EXPECT_EQ(a->ownerThread, first.ThreadId());
  EXPECT_TRUE(first.Destroy());
  EXPECT_TRUE(second.Destroy());
  EXPECT_EQ(pndsim::WindowCount(), 0);
}

struct Handler {
  bool setHandled = false;
  int calls = 0;
  bool removeSelf = false;
  CMessageWindowThread* owner = nullptr;
  void OnMessage(unsigned int message, unsigned int, long, bool* handled) {
    if (message != WM_CLOSE && message != WM_USER) return;
    ++calls;
    if (setHandled) *handled = true;
    if (removeSelf) CMessageWindowThread::RemoveHandler(owner->MessageSignal(), this);
  }
};

TEST(MessageWindowThread, AHandledMessageSkipsDefaultProcessing) {
  pndtest::SimGuard guard;
  CMessageWindowThread thread;
  ASSERT_TRUE(thread.Create(L"W"));
  Handler handler{true};
  ASSERT_TRUE(thread.AddHandler(WM_CLOSE, &handler, &Handler::OnMessage));
  SendMessageW(thread.Window(), WM_CLOSE, 0, 0);
  EXPECT_EQ(handler.calls, 1);
  EXPECT_TRUE(IsWindow(thread.Window())) << "default processing would have closed it";

  handler.setHandled = false;
  HWND window = thread.Window();
  SendMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(window)) << "unhandled: the default procedure closed the window";
  EXPECT_TRUE(thread.Wait(INFINITE)) << "the loop ends with its window";
  CMessageWindowThread::RemoveHandler(thread.MessageSignal(), &handler);
}

TEST(MessageWindowThread, AHandlerRemovingItselfFinishesItsCallAndIsNotCalledAgain) {
  pndtest::SimGuard guard;
  CMessageWindowThread thread;
  ASSERT_TRUE(thread.Create(L"W"));
  Handler handler{false, 0, true, &thread};
  ASSERT_TRUE(thread.AddHandler(WM_USER, &handler, &Handler::OnMessage));
  SendMessageW(thread.Window(), WM_USER, 0, 0);
  SendMessageW(thread.Window(), WM_USER, 0, 0);
  EXPECT_EQ(handler.calls, 1);
  EXPECT_EQ(thread.MessageSignal().Size(), 0u);
}

TEST(MessageWindowThread, AHandlerMaySendToItsOwnWindowAndThenRemoveItself) {
  pndtest::SimGuard guard;
  CMessageWindowThread thread;
  ASSERT_TRUE(thread.Create(L"W"));
  struct Nesting {
    CMessageWindowThread* owner;
    int outer = 0;
    int nested = 0;
    void OnMessage(unsigned int message, unsigned int, long, bool*) {
      if (message == WM_USER + 1) ++nested;
      if (message != WM_USER) return;
      ++outer;
      SendMessageW(owner->Window(), WM_USER + 1, 0, 0);  // handled in a nested call
      CMessageWindowThread::RemoveHandler(owner->MessageSignal(), this);
    }
  } nesting{&thread};
  Handler after;
  ASSERT_TRUE(thread.AddHandler(WM_USER, &nesting, &Nesting::OnMessage));
  ASSERT_TRUE(thread.AddHandler(WM_USER, &after, &Handler::OnMessage));
  SendMessageW(thread.Window(), WM_USER, 0, 0);
  SendMessageW(thread.Window(), WM_USER, 0, 0);
  EXPECT_EQ(nesting.outer, 1);
  EXPECT_EQ(nesting.nested, 1);
  EXPECT_EQ(after.calls, 2) << "the handler after it is called by each message";
  EXPECT_EQ(thread.MessageSignal().Size(), 1u);
  CMessageWindowThread::RemoveHandler(thread.MessageSignal(), &after);
}

TEST(MessageWindowThread, DestroyWithoutStartReturnsFalseAtOnce) {
  pndtest::SimGuard guard;
  CMessageWindowThread thread;
  EXPECT_FALSE(thread.Destroy());
}

TEST(MessageWindowThread, FailedWindowCreationEndsTheThread) {
  pndtest::SimGuard guard;
  CMessageWindowThread thread;
  pndsim::FailNext(pndsim::Call::CreateWindow);
  EXPECT_FALSE(thread.Create(L"W"));
  EXPECT_EQ(thread.Window(), nullptr);
  EXPECT_TRUE(thread.Wait(INFINITE));
  EXPECT_FALSE(thread.Destroy()) << "nothing left to stop";
  EXPECT_TRUE(thread.Create(L"W")) << "a later attempt can succeed";
}

}  // namespace

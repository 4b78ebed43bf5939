// Windows: creation and its WM_CREATE, destruction, extra bytes, visibility,
// search by title, owner thread, the foreground choice, and clean-up when the
// owning thread ends.
#include <unistd.h>

#include <mutex>
#include <vector>

#include "last_error.h"
#include "window_test_support.h"

namespace {

using wintest::CreateTestWindow;
using wintest::Handler;

// What the creation procedure below saw, filled through the creation parameter.
struct CreationProbe {
  HWND window = nullptr;
  std::wstring title;
  LONG style = 0;
  int x = -1;
  DWORD thread = 0;
  bool existed = false;
};

LRESULT ProbingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) {
    const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    auto* probe = static_cast<CreationProbe*>(creation->lpCreateParams);
    probe->window = window;
    probe->title = creation->lpszName;
    probe->style = creation->style;
    probe->x = creation->x;
    probe->thread = GetCurrentThreadId();
    probe->existed = IsWindow(window) != FALSE;
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

TEST(CreateWindow, TheCreationParameterReachesWmCreateBeforeTheCallReturns) {
  wintest::Guard guard;
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = ProbingProcedure;
  windowClass.lpszClassName = L"Creation";
  ASSERT_NE(RegisterClassW(&windowClass), 0);

  CreationProbe probe;
  HWND window =
      CreateWindowExW(0, L"Creation", L"Created", 0x20, 7, 0, 1, 1, nullptr, nullptr, nullptr, &probe);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(probe.window, window);
  EXPECT_EQ(probe.title, L"Created");
  EXPECT_EQ(probe.style, 0x20);
  EXPECT_EQ(probe.x, 7);
  EXPECT_EQ(probe.thread, GetCurrentThreadId());
  EXPECT_TRUE(probe.existed) << "the window exists while it handles its creation";
  EXPECT_TRUE(DestroyWindow(window));
}

TEST(CreateWindow, MinusOneFromWmCreateDestroysTheWindowAndFailsTheCall) {
  wintest::Guard guard;
  std::vector<UINT> messages;
  Handler handler = [&](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
    messages.push_back(message);
    return message == WM_CREATE ? -1 : 0;
  };
  EXPECT_EQ(CreateTestWindow(L"Refused", &handler), nullptr);
  EXPECT_EQ(messages, (std::vector<UINT>{WM_CREATE, WM_DESTROY}));
  EXPECT_EQ(pndsim::WindowCount(), 0);
  EXPECT_EQ(FindWindowW(nullptr, L"Refused"), nullptr);
}

TEST(CreateWindow, AnUnknownClassFails) {
  wintest::Guard guard;
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(CreateWindowExW(0, L"NoSuchClass", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
            nullptr);
  EXPECT_EQ(GetLastError(), ERROR_CANNOT_FIND_WND_CLASS);
}

TEST(CreateWindow, AnInjectedFailureFailsOneCreationBeforeAnyMessage) {
  wintest::Guard guard;
  int messages = 0;
  Handler handler = [&](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
    ++messages;
    return 0;
  };
  wintest::RegisterTestClass();
  pndsim::FailNext(pndsim::Call::CreateWindow);
  EXPECT_EQ(CreateTestWindow(L"Injected", &handler), nullptr);
  EXPECT_EQ(messages, 0);
  EXPECT_EQ(pndsim::WindowCount(), 0);

  HWND window = CreateTestWindow(L"Injected", &handler);
  EXPECT_NE(window, nullptr);
  EXPECT_EQ(messages, 1);
}

TEST(WindowExtraBytes, ValuesRoundTripAndStartZeroed) {
  wintest::Guard guard;
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.cbWndExtra = 16;
  windowClass.lpszClassName = L"Extra";
  ASSERT_NE(RegisterClassW(&windowClass), 0);
  HWND window = CreateWindowExW(0, L"Extra", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);

  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(GetWindowLongW(window, 0), 0);
  EXPECT_EQ(GetWindowLongPtrW(window, 8), 0);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);

  EXPECT_EQ(SetWindowLongW(window, 0, 0x12345678), 0);
  EXPECT_EQ(SetWindowLongW(window, 0, -5), 0x12345678);
  EXPECT_EQ(GetWindowLongW(window, 0), -5);

  int target = 0;
  const auto pointer = reinterpret_cast<LONG_PTR>(&target);
  EXPECT_EQ(SetWindowLongPtrW(window, 8, pointer), 0);
  EXPECT_EQ(GetWindowLongPtrW(window, 8), pointer);
  EXPECT_EQ(GetWindowLongW(window, 0), -5) << "neighbouring values stay apart";

  // An index need not be aligned; the last four bytes are the last LONG.
  EXPECT_EQ(SetWindowLongW(window, 12, 99), static_cast<LONG>(pointer >> 32));
  EXPECT_EQ(GetWindowLongW(window, 12), 99);
}

TEST(WindowExtraBytes, AnIndexOutsideTheExtraBytesFails) {
  wintest::Guard guard;
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.cbWndExtra = 8;
  windowClass.lpszClassName = L"Bounded";
  ASSERT_NE(RegisterClassW(&windowClass), 0);
  HWND window = CreateWindowExW(0, L"Bounded", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);

  for (int index : {5, 8, -4, 1000}) {
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(SetWindowLongW(window, index, 1), 0) << index;
    EXPECT_EQ(GetLastError(), ERROR_INVALID_INDEX) << index;
  }
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(GetWindowLongPtrW(window, 4), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_INDEX);
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(GetWindowLongW(window, 4), 0);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS) << "index 4 holds a LONG";

  pndtest::PoisonLastError();
  EXPECT_EQ(GetWindowLongW(reinterpret_cast<HWND>(0x4242), 0), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

TEST(DestroyWindow, SendsWmDestroyAndTheHandleIsDeadAfterwards) {
  wintest::Guard guard;
  std::vector<UINT> messages;
  Handler handler = [&](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
    messages.push_back(message);
    return 0;
  };
  HWND window = CreateTestWindow(L"Doomed", &handler);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(PostMessageW(window, WM_USER + 1, 0, 0));

  EXPECT_TRUE(DestroyWindow(window));
  EXPECT_EQ(messages, (std::vector<UINT>{WM_CREATE, WM_DESTROY}));
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(FindWindowW(nullptr, L"Doomed"), nullptr);
  EXPECT_EQ(pndsim::WindowCount(), 0);
  EXPECT_EQ(wintest::NextQueued().message, wintest::kMarkerMessage) << "its posted message was dropped";

  pndtest::PoisonLastError();
  EXPECT_FALSE(DestroyWindow(window));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  pndtest::PoisonLastError();
  EXPECT_FALSE(PostMessageW(window, WM_USER, 0, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  pndtest::PoisonLastError();
  EXPECT_EQ(SendMessageW(window, WM_USER, 0, 0), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  pndtest::PoisonLastError();
  EXPECT_FALSE(ShowWindow(window, SW_SHOWNORMAL));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

TEST(DestroyWindow, OnlyTheOwningThreadMayDestroyItsWindow) {
  wintest::Guard guard;
  wintest::WindowThread owner([](HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
  });
  ASSERT_NE(owner.hwnd(), nullptr);
  pndtest::PoisonLastError();
  EXPECT_FALSE(DestroyWindow(owner.hwnd()));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(IsWindow(owner.hwnd()));
}

TEST(DefWindowProc, WmCloseDestroysTheWindowAndEverythingElseAnswersZero) {
  wintest::Guard guard;
  HWND window = CreateTestWindow(L"Closing", nullptr);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(DefWindowProcW(window, WM_USER, 1, 2), 0);
  EXPECT_TRUE(IsWindow(window));
  EXPECT_EQ(SendMessageW(window, WM_CLOSE, 0, 0), 0);
  EXPECT_FALSE(IsWindow(window));
}

TEST(ShowWindow, ReportsThePreviousVisibility) {
  wintest::Guard guard;
  HWND window = CreateTestWindow(L"Shown", nullptr);
  ASSERT_NE(window, nullptr);
  ASSERT_EQ(pndsim::Windows().size(), 1u);
  EXPECT_FALSE(pndsim::Windows()[0].visible);
  EXPECT_FALSE(ShowWindow(window, SW_SHOWNORMAL));
  EXPECT_TRUE(pndsim::Windows()[0].visible);
  EXPECT_TRUE(ShowWindow(window, SW_HIDE));
  EXPECT_FALSE(pndsim::Windows()[0].visible);
}

TEST(FindWindow, MatchesRegardlessOfCaseAndFindsTheTopMostWindow) {
  wintest::Guard guard;
  HWND older = CreateTestWindow(L"ORX_TELBRIDGE", nullptr);
  HWND newer = CreateTestWindow(L"Orx_TelBridge", nullptr);
  HWND other = CreateTestWindow(L"FirstBTStatusMsgWnd", nullptr);
  ASSERT_TRUE(older && newer && other);

  const struct {
    const wchar_t* className;
    const wchar_t* title;
    HWND expected;
  } kCases[] = {
      {nullptr, L"ORX_TELBRIDGE", newer},
      {nullptr, L"orx_telbridge", newer},
      {nullptr, L"ORX_TELBRIDG", nullptr},
      {nullptr, L"firstbtstatusmsgwnd", other},
      {L"pndtestwindow", L"FirstBTStatusMsgWnd", other},
      {L"OtherClass", L"FirstBTStatusMsgWnd", nullptr},
      {wintest::kClassName, nullptr, other},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(FindWindowW(c.className, c.title), c.expected)
        << pndsim::ToUtf8(c.className) << " / " << pndsim::ToUtf8(c.title);
  }
  ASSERT_TRUE(DestroyWindow(newer));
  EXPECT_EQ(FindWindowW(nullptr, L"orx_telbridge"), older);
}

TEST(WindowOwner, GetWindowThreadProcessIdNamesTheCreatingThread) {
  wintest::Guard guard;
  wintest::WindowThread owner([](HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
  });
  DWORD process = 0;
  EXPECT_EQ(GetWindowThreadProcessId(owner.hwnd(), &process), owner.threadId());
  EXPECT_EQ(process, static_cast<DWORD>(getpid()));
  EXPECT_NE(owner.threadId(), GetCurrentThreadId());
  EXPECT_EQ(GetWindowThreadProcessId(owner.hwnd(), nullptr), owner.threadId());

  const auto windows = pndsim::Windows();
  ASSERT_EQ(windows.size(), 1u);
  EXPECT_EQ(windows[0].ownerThread, owner.threadId());
  EXPECT_EQ(windows[0].className, "PndTestWindow");

  pndtest::PoisonLastError();
  EXPECT_EQ(GetWindowThreadProcessId(reinterpret_cast<HWND>(0x4242), &process), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

TEST(WindowOwner, TheWindowsOfAThreadEndWithIt) {
  wintest::Guard guard;
  HWND window = nullptr;
  wintest::EmulatedThread thread([&] {
    window = CreateTestWindow(L"Orphan", nullptr);
    RegisterHotKey(window, 1, 0, 0x26);
    PostMessageW(window, WM_USER, 0, 0);
    return DWORD{0};
  });
  ASSERT_TRUE(thread.Join());
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(FindWindowW(nullptr, L"Orphan"), nullptr);
  EXPECT_EQ(pndsim::WindowCount(), 0);
  EXPECT_TRUE(pndsim::HotKeys().empty());
}

TEST(ForegroundWindow, IsChosenThroughTheControlApiAndEndsWithTheWindow) {
  wintest::Guard guard;
  EXPECT_EQ(GetForegroundWindow(), nullptr);
  HWND window = CreateTestWindow(L"Front", nullptr);
  ASSERT_NE(window, nullptr);

  EXPECT_TRUE(pndsim::SetForegroundWindow(reinterpret_cast<std::uintptr_t>(window)));
  EXPECT_EQ(GetForegroundWindow(), window);
  EXPECT_FALSE(pndsim::SetForegroundWindow(0x4242));
  EXPECT_EQ(GetForegroundWindow(), window);
  EXPECT_TRUE(pndsim::SetForegroundWindow(0));
  EXPECT_EQ(GetForegroundWindow(), nullptr);

  ASSERT_TRUE(pndsim::SetForegroundWindow(reinterpret_cast<std::uintptr_t>(window)));
  ASSERT_TRUE(DestroyWindow(window));
  EXPECT_EQ(GetForegroundWindow(), nullptr);
}

TEST(WindowReset, ForgetsTheForegroundChoiceButKeepsWindowsAndHotKeys) {
  wintest::Guard guard;
  HWND window = CreateTestWindow(L"Survivor", nullptr);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(RegisterHotKey(window, 7, 0, 0x26));
  ASSERT_TRUE(pndsim::SetForegroundWindow(reinterpret_cast<std::uintptr_t>(window)));

  pndsim::Reset();
  EXPECT_EQ(GetForegroundWindow(), nullptr);
  EXPECT_TRUE(IsWindow(window));
  EXPECT_EQ(pndsim::HotKeys().size(), 1u);
}

}  // namespace

// Hot keys: ownership of a combination of key and modifiers by a window or a
// thread, the WM_HOTKEY a press or release posts, the key-up rule, the list
// the control API shows, the trace, and injected failure.
#include <ce/power.h>

#include <atomic>
#include <string>

#include "last_error.h"
#include "window_test_support.h"

namespace {

using wintest::CreateTestWindow;
using wintest::NextQueued;

TEST(HotKey, AKeyHasOneOwnerAndUnregisteringFreesIt) {
  wintest::Guard guard;
  HWND first = CreateTestWindow(L"First", nullptr);
  HWND second = CreateTestWindow(L"Second", nullptr);
  ASSERT_TRUE(first && second);

  EXPECT_TRUE(RegisterHotKey(first, 0x26, 0, 0x26));
  pndtest::PoisonLastError();
  EXPECT_FALSE(RegisterHotKey(second, 0x26, 0, 0x26));
  EXPECT_EQ(GetLastError(), ERROR_HOTKEY_ALREADY_REGISTERED);
  pndtest::PoisonLastError();
  EXPECT_FALSE(RegisterHotKey(first, 5, 0, 0x26)) << "another id of the same window is another owner";
  EXPECT_EQ(GetLastError(), ERROR_HOTKEY_ALREADY_REGISTERED);

  pndtest::PoisonLastError();
  EXPECT_FALSE(UnregisterHotKey(second, 0x26));
  EXPECT_EQ(GetLastError(), ERROR_HOTKEY_NOT_REGISTERED);
  EXPECT_TRUE(UnregisterHotKey(first, 0x26));
  pndtest::PoisonLastError();
  EXPECT_FALSE(UnregisterHotKey(first, 0x26));
  EXPECT_EQ(GetLastError(), ERROR_HOTKEY_NOT_REGISTERED);

  EXPECT_TRUE(RegisterHotKey(second, 0x26, 0, 0x26));
  ASSERT_EQ(pndsim::HotKeys().size(), 1u);
  EXPECT_EQ(pndsim::HotKeys()[0].window, reinterpret_cast<std::uintptr_t>(second));
}

TEST(HotKey, TheSameKeyWithOtherModifiersIsAnotherHotKey) {
  wintest::Guard guard;
  HWND plain = CreateTestWindow(L"Plain", nullptr);
  HWND alt = CreateTestWindow(L"Alt", nullptr);
  ASSERT_TRUE(RegisterHotKey(plain, 1, MOD_KEYUP, 0x26));
  ASSERT_TRUE(RegisterHotKey(alt, 1, MOD_ALT, 0x26)) << "another combination";
  pndtest::PoisonLastError();
  EXPECT_FALSE(RegisterHotKey(alt, 2, 0, 0x26)) << "MOD_KEYUP asks for releases, it is no key";
  EXPECT_EQ(GetLastError(), ERROR_HOTKEY_ALREADY_REGISTERED);

  const struct {
    unsigned modifiers;
    HWND reached;  // null: nobody
  } kPresses[] = {{0, plain}, {MOD_ALT, alt}, {MOD_ALT | MOD_SHIFT, nullptr}, {MOD_CONTROL, nullptr}};
  for (const auto& press : kPresses) {
    EXPECT_EQ(pndsim::PressKey(0x26, press.modifiers), press.reached != nullptr) << press.modifiers;
    const MSG message = NextQueued();
    if (press.reached != nullptr) {
      EXPECT_EQ(message.hwnd, press.reached) << press.modifiers;
      EXPECT_EQ(message.lParam, static_cast<LPARAM>(0x00260000 | press.modifiers));
    } else {
      EXPECT_EQ(message.message, wintest::kMarkerMessage) << press.modifiers;
    }
  }
  ASSERT_TRUE(UnregisterHotKey(alt, 1));
  EXPECT_FALSE(pndsim::PressKey(0x26, MOD_ALT));
  EXPECT_TRUE(pndsim::PressKey(0x26)) << "the other combination is still held";
}

TEST(HotKey, WithoutAWindowItBelongsToTheCallingThreadAndEndsWithIt) {
  wintest::Guard guard;
  ASSERT_TRUE(RegisterHotKey(nullptr, 7, MOD_KEYUP, 0xC2));
  auto keys = pndsim::HotKeys();
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys[0].window, 0u);
  EXPECT_EQ(keys[0].ownerThread, GetCurrentThreadId());
  ASSERT_TRUE(pndsim::PressKey(0xC2));
  ASSERT_TRUE(pndsim::ReleaseKey(0xC2));
  for (const LPARAM expected : {LPARAM{0x00C20000}, LPARAM{0x00C21000}}) {
    const MSG message = NextQueued();
    EXPECT_EQ(message.message, WM_HOTKEY);
    EXPECT_EQ(message.hwnd, nullptr) << "a thread message";
    EXPECT_EQ(message.wParam, 7u);
    EXPECT_EQ(message.lParam, expected);
  }
  pndtest::PoisonLastError();
  EXPECT_FALSE(UnregisterHotKey(nullptr, 8));
  EXPECT_EQ(GetLastError(), ERROR_HOTKEY_NOT_REGISTERED);
  EXPECT_TRUE(UnregisterHotKey(nullptr, 7));

  BOOL registered = FALSE;
  wintest::EmulatedThread thread([&] {
    registered = RegisterHotKey(nullptr, 1, 0, 0x0D);
    return 0;
  });
  ASSERT_TRUE(thread.Join());
  EXPECT_TRUE(registered);
  EXPECT_TRUE(pndsim::HotKeys().empty()) << "the thread's hot key ended with it";
  EXPECT_FALSE(pndsim::PressKey(0x0D));
}

TEST(HotKey, RegisteringTheSameWindowAndIdAgainReplacesKeyAndModifiers) {
  wintest::Guard guard;
  HWND window = CreateTestWindow(L"Owner", nullptr);
  ASSERT_TRUE(RegisterHotKey(window, 1, 0, 0x26));
  EXPECT_TRUE(RegisterHotKey(window, 1, MOD_KEYUP, 0x26));
  ASSERT_EQ(pndsim::HotKeys().size(), 1u);
  EXPECT_EQ(pndsim::HotKeys()[0].modifiers, MOD_KEYUP);

  EXPECT_TRUE(RegisterHotKey(window, 1, 0, 0x28));
  const auto keys = pndsim::HotKeys();
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys[0].virtualKey, 0x28u);
  EXPECT_FALSE(pndsim::PressKey(0x26));
}

TEST(HotKey, ARegistrationNeedsALiveWindowAKnownModifierAndAKeyInRange) {
  wintest::Guard guard;
  HWND window = CreateTestWindow(L"Owner", nullptr);
  pndtest::PoisonLastError();
  EXPECT_FALSE(RegisterHotKey(reinterpret_cast<HWND>(0x4242), 1, 0, 0x26));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  pndtest::PoisonLastError();
  EXPECT_FALSE(RegisterHotKey(window, 1, 0x8000, 0x26));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(RegisterHotKey(window, 1, 0, 0));
  EXPECT_FALSE(RegisterHotKey(window, 1, 0, 0x100));
  EXPECT_TRUE(pndsim::HotKeys().empty());
}

TEST(HotKey, APressPostsWmHotKeyWithModifiersLowAndKeyHigh) {
  wintest::Guard guard;
  HWND window = CreateTestWindow(L"Keys", nullptr);
  ASSERT_TRUE(RegisterHotKey(window, 0x26, 0, 0x26));
  ASSERT_TRUE(RegisterHotKey(window, 0xC1, MOD_KEYUP | MOD_SHIFT, 0xC1));

  EXPECT_TRUE(pndsim::PressKey(0x26));
  MSG message = NextQueued();
  EXPECT_EQ(message.hwnd, window);
  EXPECT_EQ(message.message, WM_HOTKEY);
  EXPECT_EQ(message.wParam, 0x26u);
  EXPECT_EQ(message.lParam, 0x00260000);

  EXPECT_FALSE(pndsim::PressKey(0xC1)) << "registered with SHIFT held";
  EXPECT_TRUE(pndsim::PressKey(0xC1, MOD_SHIFT));
  message = NextQueued();
  EXPECT_EQ(message.wParam, 0xC1u);
  EXPECT_EQ(message.lParam, 0x00C10004) << "a press never carries MOD_KEYUP";
}

TEST(HotKey, OnlyAKeyRegisteredWithKeyUpReportsItsRelease) {
  wintest::Guard guard;
  HWND window = CreateTestWindow(L"Keys", nullptr);
  ASSERT_TRUE(RegisterHotKey(window, 0x26, 0, 0x26));
  ASSERT_TRUE(RegisterHotKey(window, 0xC1, MOD_KEYUP, 0xC1));

  EXPECT_FALSE(pndsim::ReleaseKey(0x26));
  EXPECT_EQ(NextQueued().message, wintest::kMarkerMessage) << "the release reached nobody";

  EXPECT_TRUE(pndsim::ReleaseKey(0xC1));
  const MSG message = NextQueued();
  EXPECT_EQ(message.message, WM_HOTKEY);
  EXPECT_EQ(message.wParam, 0xC1u);
  EXPECT_EQ(message.lParam, 0x00C11000);
}

TEST(HotKey, AKeyNobodyRegisteredReachesNobody) {
  wintest::Guard guard;
  HWND window = CreateTestWindow(L"Keys", nullptr);
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(pndsim::PressKey(0x77));
  EXPECT_FALSE(pndsim::ReleaseKey(0x77));
  EXPECT_EQ(NextQueued().message, wintest::kMarkerMessage);
}

TEST(HotKey, APressReachesTheOwnersMessageLoopOnItsThread) {
  wintest::Guard guard;
  pndtest::Signal pressed;
  std::atomic<DWORD> handledOn{0};
  std::atomic<LPARAM> lParamSeen{0};
  wintest::WindowThread owner([&](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
    if (message == WM_HOTKEY) {
      handledOn = GetCurrentThreadId();
      lParamSeen = lParam;
      pressed.Notify();
    }
    return DefWindowProcW(window, message, wParam, lParam);
  });
  // Registered from this thread, as the HAL does, on the window thread's window.
  ASSERT_TRUE(RegisterHotKey(owner.hwnd(), 0xC3, MOD_KEYUP, 0xC3));
  ASSERT_EQ(pndsim::HotKeys().size(), 1u);
  EXPECT_EQ(pndsim::HotKeys()[0].ownerThread, owner.threadId());

  ASSERT_TRUE(pndsim::PressKey(0xC3));
  ASSERT_TRUE(pressed.WaitFor(1));
  EXPECT_EQ(handledOn.load(), owner.threadId());
  EXPECT_EQ(lParamSeen.load(), 0x00C30000);
  ASSERT_TRUE(pndsim::ReleaseKey(0xC3));
  ASSERT_TRUE(pressed.WaitFor(2));
  EXPECT_EQ(lParamSeen.load(), 0x00C31000);

  for (int i = 0; i < 1000; ++i) {
    ASSERT_TRUE(pndsim::PressKey(0xC3));
  }
  EXPECT_TRUE(pressed.WaitFor(1002)) << "no press is lost";
}

TEST(HotKey, TheListIsSortedByKeyWithOwnerAndModifiers) {
  wintest::Guard guard;
  HWND first = CreateTestWindow(L"First", nullptr);
  HWND second = CreateTestWindow(L"Second", nullptr);
  ASSERT_TRUE(RegisterHotKey(second, 0xC5, MOD_KEYUP, 0xC5));
  ASSERT_TRUE(RegisterHotKey(first, 0x0D, 0, 0x0D));
  ASSERT_TRUE(RegisterHotKey(first, 0x75, MOD_ALT, 0x75));

  const auto keys = pndsim::HotKeys();
  ASSERT_EQ(keys.size(), 3u);
  EXPECT_EQ(keys[0].virtualKey, 0x0Du);
  EXPECT_EQ(keys[1].virtualKey, 0x75u);
  EXPECT_EQ(keys[1].modifiers, MOD_ALT);
  EXPECT_EQ(keys[1].window, reinterpret_cast<std::uintptr_t>(first));
  EXPECT_EQ(keys[2].virtualKey, 0xC5u);
  EXPECT_EQ(keys[2].id, 0xC5);
  EXPECT_EQ(keys[2].window, reinterpret_cast<std::uintptr_t>(second));
  EXPECT_EQ(keys[2].ownerThread, GetCurrentThreadId());
}

TEST(HotKey, DestroyingTheWindowReleasesItsKeys) {
  wintest::Guard guard;
  HWND window = CreateTestWindow(L"Doomed", nullptr);
  HWND other = CreateTestWindow(L"Other", nullptr);
  ASSERT_TRUE(RegisterHotKey(window, 1, 0, 0x26));
  ASSERT_TRUE(RegisterHotKey(window, 2, 0, 0x28));
  ASSERT_TRUE(RegisterHotKey(other, 3, 0, 0x25));

  ASSERT_TRUE(DestroyWindow(window));
  const auto keys = pndsim::HotKeys();
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys[0].virtualKey, 0x25u);
  EXPECT_FALSE(pndsim::PressKey(0x26));
  EXPECT_TRUE(RegisterHotKey(other, 1, 0, 0x26)) << "the key is free again";
}

TEST(HotKey, AnInjectedFailureFailsOneRegistration) {
  wintest::Guard guard;
  HWND window = CreateTestWindow(L"Owner", nullptr);
  pndsim::FailNext(pndsim::Call::RegisterHotKey);
  pndtest::PoisonLastError();
  EXPECT_FALSE(RegisterHotKey(window, 1, 0, 0x26));
  EXPECT_EQ(GetLastError(), ERROR_HOTKEY_ALREADY_REGISTERED);
  EXPECT_TRUE(pndsim::HotKeys().empty());
  EXPECT_FALSE(pndsim::PressKey(0x26));
  EXPECT_TRUE(RegisterHotKey(window, 1, 0, 0x26));
}

TEST(HotKey, RegistrationsAndRemovalsAreTraced) {
  wintest::Guard guard;
  HWND window = CreateTestWindow(L"Owner", nullptr);
  ASSERT_TRUE(RegisterHotKey(window, 0xC1, MOD_KEYUP, 0xC1));
  ASSERT_TRUE(UnregisterHotKey(window, 0xC1));
  ASSERT_FALSE(UnregisterHotKey(window, 0xC1));

  std::vector<pndsim::TraceEvent> events;
  for (const auto& event : pndsim::Trace()) {
    if (event.kind.starts_with("hotkey.")) {
      events.push_back(event);
    }
  }
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].kind, "hotkey.register");
  EXPECT_NE(events[0].detail.find("vk=0xC1"), std::string::npos) << events[0].detail;
  EXPECT_NE(events[0].detail.find("KEYUP"), std::string::npos) << events[0].detail;
  EXPECT_EQ(events[1].kind, "hotkey.unregister");
  EXPECT_NE(events[1].detail.find("vk=0xC1"), std::string::npos) << events[1].detail;
}

}  // namespace

// A key injected with keybd_event and a key pressed on the device take one road: the same steps, played
// down either, post the same WM_HOTKEY messages; a modifier key is held from its press to its release and
// reaches no hot key itself; the power key suspends the device and reaches no hot key either.
TEST(HotKey, KeybdEventAndAPressedKeyTakeOneRoad) {
  constexpr unsigned kLeftShift = 0xA0;
  constexpr unsigned kControl = 0x11;
  constexpr LPARAM kNobody = -1;
  const struct {
    unsigned key;
    bool up;
    LPARAM lParam;  // of the WM_HOTKEY it posts, or kNobody
  } kSteps[] = {
      {0x26, false, 0x00260000},    {0x26, true, 0x00261000},    {0xC1, false, kNobody},
      {kLeftShift, false, kNobody}, {kControl, false, kNobody},  {0xC1, false, 0x00C10006},
      {0xC1, true, kNobody},        {kLeftShift, true, kNobody}, {0xC1, false, kNobody},
      {kControl, true, kNobody},    {VK_OFF, false, kNobody},
  };
  const struct {
    const char* name;
    void (*send)(unsigned key, bool up);
  } kRoads[] = {
      {"keybd_event",
       [](unsigned key, bool up) { keybd_event(static_cast<BYTE>(key), 0, up ? KEYEVENTF_KEYUP : 0, 0); }},
      {"PressKey", [](unsigned key, bool up) { up ? pndsim::ReleaseKey(key) : pndsim::PressKey(key); }},
  };
  for (const auto& road : kRoads) {
    wintest::Guard guard;
    HWND window = CreateTestWindow(L"Keys", nullptr);
    ASSERT_TRUE(RegisterHotKey(window, 1, MOD_KEYUP, 0x26));
    ASSERT_TRUE(RegisterHotKey(window, 2, MOD_SHIFT | MOD_CONTROL, 0xC1));
    ASSERT_TRUE(RegisterHotKey(window, 3, 0, VK_OFF));
    ASSERT_TRUE(RegisterHotKey(window, 4, 0, kControl));
    ASSERT_TRUE(RegisterHotKey(window, 5, MOD_SHIFT, kControl));
    for (const auto& step : kSteps) {
      road.send(step.key, step.up);
      const MSG message = NextQueued();
      const std::string what =
          std::string(road.name) + " key " + std::to_string(step.key) + (step.up ? " up" : " down");
      if (step.lParam == kNobody) {
        EXPECT_EQ(message.message, wintest::kMarkerMessage) << what;
      } else {
        EXPECT_EQ(message.message, WM_HOTKEY) << what;
        EXPECT_EQ(message.lParam, step.lParam) << what;
      }
    }
    EXPECT_TRUE(pndsim::IsSuspended()) << road.name;
    EXPECT_EQ(pndsim::SuspendCount(), 1) << road.name;
  }
}

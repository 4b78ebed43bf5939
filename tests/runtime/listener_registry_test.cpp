// The listener registry: order and changes during a notification, memory
// exhaustion, owned entries retired once whatever the nesting, and removal
// from another thread that keeps answering messages sent to it.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "ce/window.h"
#include "runtime/listener_registry.h"
#include "sim_guard.h"

namespace {

struct Entry {
  char tag;
};

using Registry = runtime::ListenerRegistry<Entry>;

std::string Notify(Registry& registry) {
  std::string seen;
  registry.ForEach([&](Entry* entry) { seen += entry->tag; });
  return seen;
}

TEST(ListenerRegistry, ChangesDuringANotificationApplyFromTheirTurnOn) {
  Entry a{'A'}, b{'B'}, c{'C'}, d{'D'};
  Registry registry;
  registry.Connect(&a);
  registry.Connect(&b);
  registry.Connect(&c);
  std::string seen;
  registry.ForEach([&](Entry* entry) {
    seen += entry->tag;
    if (entry == &a) {
      registry.Disconnect(&b);  // not yet called: skipped
      registry.Connect(&d);     // connected during the event: from the next one on
    }
  });
  EXPECT_EQ(seen, "AC");
  EXPECT_EQ(Notify(registry), "ACD");
}

TEST(ListenerRegistry, OnlyConnectNeedsMemory) {
  Entry a{'A'}, b{'B'};
  Registry registry;
  ASSERT_TRUE(registry.Connect(&a));
  ZuAllocFailAfter(0, 1000);
  EXPECT_FALSE(registry.Connect(&b)) << "the list cannot grow";
  EXPECT_EQ(Notify(registry), "A") << "a notification is delivered without memory";
  ZuAllocFailAfter(0, 0);
  EXPECT_EQ(registry.Size(), 1u);
}

// Entries owned by the registry, counted as they are deleted.
struct Owned {
  static inline int deleted = 0;
  int calls = 0;
};
struct DeleteOwned {
  void operator()(Owned* entry) const {
    ++Owned::deleted;
    delete entry;
  }
};

TEST(ListenerRegistry, AnEntryRemovingItselfInANestedCallIsDeletedOnceItsOuterCallReturns) {
  Owned::deleted = 0;
  runtime::ListenerRegistry<Owned, DeleteOwned> registry;
  auto* self = new Owned;
  auto* other = new Owned;
  registry.Connect(self);
  registry.Connect(other);
  int depth = 0;
  std::function<void(Owned*)> call = [&](Owned* entry) {
    ++entry->calls;
    if (entry != self) return;
    if (depth == 0) {
      ++depth;
      registry.ForEach(call);  // a nested notification, as a message sent to one's own window
      --depth;
      EXPECT_EQ(Owned::deleted, 0) << "still running: not yet deleted";
      EXPECT_EQ(entry->calls, 2);  // the object is alive to be read
    } else {
      registry.Disconnect(entry);
    }
  };
  registry.ForEach(call);
  EXPECT_EQ(Owned::deleted, 1);
  EXPECT_EQ(other->calls, 2) << "called by the nested and the outer notification";
  EXPECT_EQ(registry.Size(), 1u);
}

// The thread that removes an entry while it runs elsewhere is an
// application's window thread; the entry sends that window a message.
TEST(ListenerRegistry, RemovalWaitsForACallElsewhereAndAnswersMessagesItSends) {
  pndtest::SimGuard guard;
  static std::atomic<int> answered{0};
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = [](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
    if (message == WM_USER) return ++answered;
    return DefWindowProcW(window, message, wParam, lParam);
  };
  windowClass.lpszClassName = L"Application";
  ASSERT_NE(RegisterClassW(&windowClass), 0);

  Entry entry{'E'};
  Registry registry;
  registry.Connect(&entry);
  std::atomic<HWND> window{nullptr};
  pndtest::Signal windowReady, callEntered, removed;
  std::thread application([&] {
    window = CreateWindowExW(0, L"Application", L"App", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    windowReady.Notify();
    callEntered.WaitFor(1);
    registry.Disconnect(&entry);
    removed.Notify();
    DestroyWindow(window);
  });
  ASSERT_TRUE(windowReady.WaitFor(1));
  LRESULT answer = 0;
  registry.ForEach([&](Entry*) {
    callEntered.Notify();
    answer = SendMessageW(window, WM_USER, 0, 0);  // answered from inside Disconnect
    EXPECT_EQ(removed.Count(), 0) << "Disconnect returned while the call was in flight";
  });
  EXPECT_TRUE(removed.WaitFor(1));
  application.join();
  EXPECT_EQ(answer, 1);
  EXPECT_EQ(registry.Size(), 0u);
}

}  // namespace

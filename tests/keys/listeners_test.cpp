// Listener registries: registration order, duplicates, first-occurrence
// removal, and changes made while events are being delivered, both from
// inside a listener and from the application's own thread.
#include <atomic>
#include <thread>

#include "hal_fixture.h"
#include "runtime/message_window_thread.h"

namespace {

using Listeners = pndtest::HalTest;
using pndtest::KeyRecorder;
using pndtest::PressAndWait;

// Appends its tag to a shared log on each call.
class Tagged : public IHardwareKeyListener {
 public:
  Tagged(char tag, std::string& log) : tag_(tag), log_(log) {}
  void Notify(eHardwareKey const&) override { log_ += tag_; }

 private:
  char tag_;
  std::string& log_;
};

TEST_F(Listeners, AreCalledInRegistrationOrder) {
  std::string& log = Make<std::string>();
  Tagged& a = Make<Tagged>('A', log);
  Tagged& b = Make<Tagged>('B', log);
  Tagged& c = Make<Tagged>('C', log);
  KeyRecorder& last = Make<KeyRecorder>();
  Connect(&a);
  Connect(&b);
  Connect(&c);
  Connect(&last);
  ASSERT_TRUE(PressAndWait(last, 0x26, 0));
  EXPECT_EQ(log, "ABC");
  Disconnect(&b);
  ASSERT_TRUE(PressAndWait(last, 0x26, 0));
  EXPECT_EQ(log, "ABCAC");
}

TEST_F(Listeners, DuplicatesAreCalledEachTimeAndRemovedOneAtATime) {
  std::string& log = Make<std::string>();
  Tagged& a = Make<Tagged>('A', log);
  Tagged& b = Make<Tagged>('B', log);
  KeyRecorder& last = Make<KeyRecorder>();
  Connect(&a);
  Connect(&b);
  Connect(&a);
  Connect(&last);
  ASSERT_TRUE(PressAndWait(last, 0x26, 0));
  EXPECT_EQ(log, "ABA");
  Disconnect(&a);  // the first occurrence only
  ASSERT_TRUE(PressAndWait(last, 0x26, 0));
  EXPECT_EQ(log, "ABABA");
}

TEST_F(Listeners, NullAndUnknownListenersAreIgnored) {
  Connect(static_cast<IHardwareKeyListener*>(nullptr));
  Connect(static_cast<IHardwareKeyRecordListener*>(nullptr));
  Connect(static_cast<IPMPowerListener*>(nullptr));
  Connect(static_cast<IVolumeListener*>(nullptr));
  Connect(static_cast<ICardListener*>(nullptr));
  Connect(static_cast<ISuspendResumeDeviceListener*>(nullptr));
  KeyRecorder& never = Make<KeyRecorder>();
  KeyRecorder& last = Make<KeyRecorder>();
  Disconnect(&never);
  Connect(&last);
  ASSERT_TRUE(PressAndWait(last, 0x26, 0)) << "a null registration would have crashed the dispatch";
  EXPECT_TRUE(never.Values().empty());
}

// Disconnects itself on its first call and connects `next`.
class OneShot : public IHardwareKeyListener {
 public:
  explicit OneShot(IHardwareKeyListener* next) : next_(next) {}
  void Notify(eHardwareKey const&) override {
    ++calls;
    Disconnect(this);
    Connect(next_);
  }
  int calls = 0;

 private:
  IHardwareKeyListener* next_;
};

TEST_F(Listeners, AListenerMayDisconnectItselfAndConnectAnotherDuringItsCall) {
  KeyRecorder& added = Make<KeyRecorder>();
  KeyRecorder& last = Make<KeyRecorder>();
  OneShot& once = Make<OneShot>(&added);
  Connect(&once);
  Connect(&last);
  ASSERT_TRUE(PressAndWait(last, 0x26, 0));
  EXPECT_EQ(once.calls, 1);
  EXPECT_TRUE(added.Values().empty()) << "connected during the event: called from the next one on";
  ASSERT_TRUE(PressAndWait(added, 0x28, 1)) << "the newest listener is called last";
  EXPECT_EQ(once.calls, 1);
  EXPECT_EQ(added.Values(), (std::vector<int>{1}));
}

// Fails the test if called after it was disconnected.
class Watched : public IHardwareKeyListener {
 public:
  void Notify(eHardwareKey const&) override {
    EXPECT_FALSE(disconnected.load()) << "called after Disconnect returned";
    ++calls;
  }
  std::atomic<bool> disconnected{false};
  std::atomic<int> calls{0};
};

TEST_F(Listeners, AfterDisconnectReturnsTheListenerIsNotCalledAgain) {
  KeyRecorder& last = Make<KeyRecorder>();
  Connect(&last);
  std::atomic<bool> done{false};
  std::thread presser([&] {
    while (!done.load()) pndsim::PressKey(0x26);
  });
  for (int round = 0; round < 200; ++round) {
    Watched watched;
    Connect(&watched);
    std::this_thread::yield();
    Disconnect(&watched);
    watched.disconnected = true;
  }
  done = true;
  presser.join();
  ASSERT_TRUE(PressAndWait(last, 0x28, 1));
}

// The application's window thread disconnects a listener that, on the key
// thread, is sending a message to that very window.
TEST_F(Listeners, DisconnectAnswersMessagesTheListenerInFlightSendsToTheDisconnectingThread) {
  CMessageWindowThread& application = Make<CMessageWindowThread>();
  ASSERT_TRUE(application.Create(L"Application"));
  struct Sender : IHardwareKeyListener {
    HWND target = nullptr;
    pndtest::Signal entered;
    std::atomic<LRESULT> answer{0};
    void Notify(eHardwareKey const&) override {
      entered.Notify();
      answer = SendMessageW(target, WM_USER + 2, 0, 0);
    }
  };
  Sender& sender = Make<Sender>();
  sender.target = application.Window();
  struct Application {
    Sender* sender = nullptr;
    pndtest::Signal disconnected;
    void OnMessage(unsigned int message, unsigned int, long, bool* handled) {
      if (message == WM_USER + 1) {
        sender->entered.WaitFor(1);
        Disconnect(sender);
        disconnected.Notify();
      }
      if (message == WM_USER + 2) *handled = true;
    }
  };
  Application& app = Make<Application>();
  app.sender = &sender;
  ASSERT_TRUE(application.AddHandler(WM_USER, &app, &Application::OnMessage));
  Connect(&sender);
  ASSERT_TRUE(PostMessageW(application.Window(), WM_USER + 1, 0, 0));
  ASSERT_TRUE(pndsim::PressKey(0x26));
  EXPECT_TRUE(app.disconnected.WaitFor(1)) << "Disconnect and the listener's send wait for each other";
  CMessageWindowThread::RemoveHandler(application.MessageSignal(), &app);
  application.Destroy();
}

}  // namespace

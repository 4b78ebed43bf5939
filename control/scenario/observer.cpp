// The scenario's listeners and its view of the trace.
#include "observer.h"

#include <pndhal/pndhal.h>
#include <pndsim/pndsim.h>

#include <atomic>
#include <thread>

#include "service.h"

namespace scenario {
namespace {

// Enough for any scenario; a console left connected for days forgets its oldest unconsumed events.
constexpr std::size_t kQueueLimit = 4096;

// The phone link's listeners are connected through the link, each kind by its own function.
void ConnectTo(CBTHAL& link, IBTCallStatusListener* listener) { link.ConnectCallStatusListener(listener); }
void ConnectTo(CBTHAL& link, IBTForegroundListener* listener) { link.ConnectForegroundListener(listener); }
void DisconnectFrom(CBTHAL& link, IBTCallStatusListener* listener) {
  link.DisconnectCallStatusListener(listener);
}
void DisconnectFrom(CBTHAL& link, IBTForegroundListener* listener) {
  link.DisconnectForegroundListener(listener);
}

}  // namespace

// One listener of every kind a service describes, each handing its calls to the service's wording.
class DeviceObserver::Listeners {
 public:
  explicit Listeners(DeviceObserver& owner) : owner_(owner) {}

  void ConnectAll() {
    // A listener told the state on connecting (the power listener) is told it on this thread, before
    // Connect returns: that is no change, and is dropped.
    connectingThread_.store(std::this_thread::get_id());
#define SCENARIO_CONNECT(Interface, word) \
  if (Interface##_.Worded()) Connect(&Interface##_);
    PNDHAL_LISTENERS(SCENARIO_CONNECT)
#undef SCENARIO_CONNECT
    connectingThread_.store(std::thread::id());
    // The phone link's handle stays valid for the life of the library, so disconnecting through it
    // never creates a library that was freed meanwhile.
    link_ = GetBTHAL();
    if (link_ == nullptr) return;
#define SCENARIO_CONNECT_PHONE(Interface, word) \
  if (Interface##_.Worded()) ConnectTo(*link_, &Interface##_);
    PNDHAL_PHONE_LISTENERS(SCENARIO_CONNECT_PHONE)
#undef SCENARIO_CONNECT_PHONE
  }

  // Takes nothing but the listeners away: no library is created for it.
  void DisconnectAll() {
    if (link_ != nullptr) {
#define SCENARIO_DISCONNECT_PHONE(Interface, word) \
  if (Interface##_.Worded()) DisconnectFrom(*link_, &Interface##_);
      PNDHAL_PHONE_LISTENERS(SCENARIO_DISCONNECT_PHONE)
#undef SCENARIO_DISCONNECT_PHONE
    }
#define SCENARIO_DISCONNECT(Interface, word) \
  if (Interface##_.Worded()) Disconnect(&Interface##_);
    PNDHAL_LISTENERS(SCENARIO_DISCONNECT)
#undef SCENARIO_DISCONNECT
  }

 private:
  // The listener of one interface: an object of its own, since two interfaces may share the signature
  // of Notify (the phone link's two do).
  template <class Interface>
  class Adapter final : public Interface {
   public:
    explicit Adapter(Listeners& all) : all_(all), wording_(WordingOf<Interface>()) {}
    bool Worded() const { return wording_ != nullptr; }
    void Notify(NotifyArgument<Interface> argument) override {
      if (all_.connectingThread_.load() == std::this_thread::get_id()) return;
      all_.Tell(pndhal::ListenerKind<Interface>::kName, wording_(argument));
    }

   private:
    Listeners& all_;
    Wording<Interface> wording_;
  };

  // A call as the expectation that matches it words it: the kind, then what the call said (the texts of
  // its fields, unless its wording says otherwise).
  void Tell(std::string_view kindWord, ListenerCall call) {
    const std::string kind(kindWord);
    std::string& words = call.words;
    if (words.empty()) {
      for (const pndsim::TraceField& field : call.fields) words += (words.empty() ? "" : " ") + field.text;
    }
    owner_.Push({Event::Source::Listener, kind, kind + " " + words, Clock::now(), std::move(call.fields)});
  }

  DeviceObserver& owner_;
  CBTHAL* link_ = nullptr;
  std::atomic<std::thread::id> connectingThread_;
#define SCENARIO_ADAPTER(Interface, word) Adapter<Interface> Interface##_{*this};
  PNDHAL_LISTENERS(SCENARIO_ADAPTER)
  PNDHAL_PHONE_LISTENERS(SCENARIO_ADAPTER)
#undef SCENARIO_ADAPTER
};

DeviceObserver::DeviceObserver(Sink sink) : sink_(std::move(sink)) {
  traceObserver_ = pndsim::ObserveTrace([this](const pndsim::TraceEvent& event) {
    Push({Event::Source::Trace, event.kind, event.detail, Clock::now(), event.fields, event.tick});
  });
}

DeviceObserver::~DeviceObserver() {
  Detach();
  pndsim::UnobserveTrace(traceObserver_);
}

void DeviceObserver::Attach() {
  std::lock_guard attach(attachMutex_);
  if (listeners_) return;
  listeners_ = std::make_unique<Listeners>(*this);
  listeners_->ConnectAll();
}

void DeviceObserver::Detach() {
  std::unique_ptr<Listeners> listeners;
  {
    std::lock_guard attach(attachMutex_);
    listeners = std::move(listeners_);
  }
  // Disconnected without the lock: a listener call in flight may be waiting for nothing of ours, but an
  // Attach racing with the teardown must not wait for it.
  if (listeners) listeners->DisconnectAll();
  std::lock_guard lock(mutex_);
  startupReports_.clear();
}

bool DeviceObserver::Attached() {
  std::lock_guard attach(attachMutex_);
  return listeners_ != nullptr;
}

void DeviceObserver::ExpectStartupReport(const std::string& kind) {
  std::lock_guard lock(mutex_);
  ++startupReports_[kind];
}

void DeviceObserver::AwaitStartupReports(Clock::time_point deadline) {
  std::unique_lock lock(mutex_);
  arrived_.wait_until(lock, deadline, [&] { return startupReports_.empty() || cancelled_; });
  startupReports_.clear();
}

void DeviceObserver::CancelWaits() {
  std::lock_guard lock(mutex_);
  cancelled_ = true;
  arrived_.notify_all();
}

void DeviceObserver::ResumeWaits() {
  std::lock_guard lock(mutex_);
  cancelled_ = false;
}

void DeviceObserver::Push(Event event) {
  std::lock_guard lock(mutex_);
  if (event.source == Event::Source::Listener) {
    if (const auto startup = startupReports_.find(event.kind); startup != startupReports_.end()) {
      event.startup = true;
      if (--startup->second == 0) startupReports_.erase(startup);
      arrived_.notify_all();
    }
  }
  if (sink_) sink_(event);
  if (event.startup) return;
  std::deque<Event>& queue =
      event.source == Event::Source::Trace ? traceEvents_ : listenerEvents_[event.kind];
  if (event.source == Event::Source::Listener) {
    ++listenerCalls_;
    if (recentListenerEvents_.size() == kQueueLimit) recentListenerEvents_.pop_front();
    recentListenerEvents_.push_back(event);
  }
  if (queue.size() == kQueueLimit) queue.pop_front();
  queue.push_back(std::move(event));
  arrived_.notify_all();
}

std::optional<Event> DeviceObserver::TakeListenerEvent(const std::string& kind, Clock::time_point deadline) {
  std::unique_lock lock(mutex_);
  std::deque<Event>& queue = listenerEvents_[kind];
  if (!arrived_.wait_until(lock, deadline, [&] { return !queue.empty() || cancelled_; }) || queue.empty()) {
    return std::nullopt;
  }
  Event event = std::move(queue.front());
  queue.pop_front();
  return event;
}

std::optional<Event> DeviceObserver::TakeTraceEvent(const std::string& kind, const std::string& text,
                                                    Clock::time_point deadline,
                                                    std::vector<std::string>* seen) {
  std::unique_lock lock(mutex_);
  for (;;) {
    while (!traceEvents_.empty()) {
      Event event = std::move(traceEvents_.front());
      traceEvents_.pop_front();
      if (event.kind != kind) continue;
      if (event.text.find(text) != std::string::npos) return event;
      if (seen != nullptr) seen->push_back(event.text);
    }
    if ((cancelled_ || arrived_.wait_until(lock, deadline) == std::cv_status::timeout) &&
        traceEvents_.empty()) {
      return std::nullopt;
    }
  }
}

std::uint64_t DeviceObserver::ListenerMark() {
  std::lock_guard lock(mutex_);
  return listenerCalls_;
}

std::optional<Event> DeviceObserver::FirstListenerEventSince(std::uint64_t mark, Clock::time_point deadline) {
  std::unique_lock lock(mutex_);
  const auto arrived = [&] { return listenerCalls_ > mark && !recentListenerEvents_.empty(); };
  if (!arrived_.wait_until(lock, deadline, [&] { return arrived() || cancelled_; }) || !arrived()) {
    return std::nullopt;
  }
  const std::uint64_t since = listenerCalls_ - mark;
  return since > recentListenerEvents_.size() ? recentListenerEvents_.front()
                                              : recentListenerEvents_[recentListenerEvents_.size() - since];
}

void DeviceObserver::Clear() {
  std::lock_guard lock(mutex_);
  listenerEvents_.clear();
  traceEvents_.clear();
  recentListenerEvents_.clear();
}

void DeviceObserver::SetSink(Sink sink) {
  std::lock_guard lock(mutex_);
  sink_ = std::move(sink);
}

}  // namespace scenario

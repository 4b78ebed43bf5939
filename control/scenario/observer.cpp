// The scenario's listeners and its view of the trace.
#include "observer.h"

#include <pndhal/pndhal.h>
#include <pndsim/pndsim.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "lexer.h"
#include "names.h"

namespace scenario {
namespace {

// Enough for any scenario; a console left connected for days forgets its oldest unconsumed events.
constexpr std::size_t kQueueLimit = 4096;

std::string Hex(unsigned long value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%02lX", value);
  return text;
}

}  // namespace

// One listener of every kind, turning each call into an event in the expectation's words.
class DeviceObserver::Listeners : public IHardwareKeyListener,
                                  public IHardwareKeyRecordListener,
                                  public IPMPowerListener,
                                  public IVolumeListener,
                                  public ICardListener,
                                  public ISuspendResumeDeviceListener {
 public:
  explicit Listeners(DeviceObserver& owner) : owner_(owner), calls_(*this), foreground_(*this) {}

  void ConnectAll() {
    // The state a power listener is told on connecting comes on this thread, before Connect returns.
    connectingThread_.store(std::this_thread::get_id());
// NOLINTNEXTLINE(bugprone-macro-parentheses): a type cannot stand in parentheses
#define SCENARIO_CONNECT(Interface, word) Connect(static_cast<Interface*>(this));
    PNDHAL_LISTENERS(SCENARIO_CONNECT)
#undef SCENARIO_CONNECT
    connectingThread_.store(std::thread::id());
    // The phone link's handle stays valid for the life of the library, so disconnecting through it
    // never creates a library that was freed meanwhile.
    link_ = GetBTHAL();
    if (link_ != nullptr) {
      link_->ConnectCallStatusListener(&calls_);
      link_->ConnectForegroundListener(&foreground_);
    }
  }

  // Takes nothing but the listeners away: no library is created for it.
  void DisconnectAll() {
    if (link_ != nullptr) {
      link_->DisconnectCallStatusListener(&calls_);
      link_->DisconnectForegroundListener(&foreground_);
    }
// NOLINTNEXTLINE(bugprone-macro-parentheses): a type cannot stand in parentheses
#define SCENARIO_DISCONNECT(Interface, word) Disconnect(static_cast<Interface*>(this));
    PNDHAL_LISTENERS(SCENARIO_DISCONNECT)
#undef SCENARIO_DISCONNECT
  }

  void Notify(eHardwareKey const& key) override {
    Tell<IHardwareKeyListener>({Text("key", ApplicationKeys().NameOf(key))});
  }
  void Notify(unsigned long virtualKey) override {
    Tell<IHardwareKeyRecordListener>({Number("vk", static_cast<std::int64_t>(virtualKey), Hex(virtualKey))});
  }
  void Notify(PMPowerInfo const& info) override {
    if (connectingThread_.load() == std::this_thread::get_id()) return;
    Tell<IPMPowerListener>({Number("level", info.batteryLevel),
                            Text("state", PowerStates().NameOf(static_cast<long>(info.powerState)))});
  }
  void Notify(VolumeInfo const& volume) override {
    Tell<IVolumeListener>({Number("volume", volume.volume),
                           Number("muted", volume.muted ? 1 : 0, volume.muted ? "muted" : "unmuted")});
  }
  void Notify(CardInfo const& card) override {
    const std::string folder = pndsim::ToUtf8(card.path.c_str());
    Tell<ICardListener>({Text("change", card.removed ? "removed" : "mounted"), Text("folder", folder),
                         Text("type", CardTypes().NameOf(card.cardType))},
                        std::string(card.removed ? "removed " : "mounted ") + QuoteWord(folder) + " " +
                            CardTypes().NameOf(card.cardType));
  }
  void Notify(bool const& suspending) override {
    Tell<ISuspendResumeDeviceListener>(
        {Number("suspending", suspending ? 1 : 0, suspending ? "true" : "false")});
  }

 private:
  // The two phone-link listeners share a signature, so each is an object of its own.
  struct CallListener : IBTCallStatusListener {
    explicit CallListener(Listeners& owner) : all(owner) {}
    void Notify(int const* status) override {
      all.Tell<IBTCallStatusListener>({Text("status", CallStatuses().NameOf(*status))});
    }
    Listeners& all;
  };
  struct ForegroundListener : IBTForegroundListener {
    explicit ForegroundListener(Listeners& owner) : all(owner) {}
    void Notify(int const* state) override {
      all.Tell<IBTForegroundListener>({Text("state", ForegroundStates().NameOf(*state))});
    }
    Listeners& all;
  };

  static pndsim::TraceField Text(const char* name, std::string text) { return {name, std::move(text), {}}; }
  static pndsim::TraceField Number(const char* name, std::int64_t value, std::string text = {}) {
    return {name, text.empty() ? std::to_string(value) : std::move(text), value};
  }

  // A call as the expectation that matches it words it: the kind, then what the call said (the texts of
  // its fields, unless `what` words it otherwise).
  template <class Listener>
  void Tell(std::vector<pndsim::TraceField> fields, std::string what = {}) {
    const std::string kind(pndhal::ListenerKind<Listener>::kName);
    if (what.empty()) {
      for (const pndsim::TraceField& field : fields) what += (what.empty() ? "" : " ") + field.text;
    }
    owner_.Push({Event::Source::Listener, kind, kind + " " + what, Clock::now(), std::move(fields)});
  }

  DeviceObserver& owner_;
  CBTHAL* link_ = nullptr;
  CallListener calls_;
  ForegroundListener foreground_;
  std::atomic<std::thread::id> connectingThread_;
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

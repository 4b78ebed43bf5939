// What a scenario sees of the device: a listener of every kind connected to the library, and the trace
// of platform effects, both kept as queues of events that expectations consume in order.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "pndsim/control.h"

namespace scenario {

using Clock = std::chrono::steady_clock;

/// One thing that happened: a listener call, or a platform effect from the trace.
struct Event {
  enum class Source { Listener, Trace };
  Source source = Source::Listener;
  /// The listener kind ("key", "record", "power", "volume", "card", "suspend", "call", "foreground") or
  /// the trace kind ("hotkey.register", ...).
  std::string kind;
  /// A listener call as the expectation that matches it, without "expect " ("key F6"); a trace event's
  /// detail.
  std::string text;
  Clock::time_point when;
  /// What the call or the effect said, by name: a listener call's values ("key", "level", "state",
  /// "folder", ...), a platform effect's fields (pndsim::TraceEvent::fields).
  std::vector<pndsim::TraceField> fields;
  /// A platform effect's tick count (pndsim::TraceEvent::tick). A listener call has none: each session's
  /// listener hears the call at its own moment, and its object must read the same in every stream.
  std::uint32_t tick = 0;
  /// A listener call that reported the state of a library starting up (see ExpectStartupReports).
  bool startup = false;
};

/// Connects the listeners, follows the trace and queues what they see. Events are handed to the sink
/// as they happen, on the thread that caused them; the sink must be quick and must not call the
/// library or the simulator.
class DeviceObserver {
 public:
  using Sink = std::function<void(const Event&)>;

  /// Follows the trace at once; connects no listener yet.
  explicit DeviceObserver(Sink sink = {});
  /// Disconnects the listeners (waiting for calls of them in flight) and stops following the trace.
  ~DeviceObserver();
  DeviceObserver(const DeviceObserver&) = delete;
  DeviceObserver& operator=(const DeviceObserver&) = delete;

  /// Connects a listener of every kind, which starts the library when it is not running. The report a
  /// power listener receives on connecting is not queued. Does nothing when attached already. Thread-safe
  /// against Detach.
  void Attach();
  /// Disconnects the listeners (waiting for calls of them in flight); Attach connects them again.
  void Detach();
  /// Whether the listeners are connected.
  bool Attached();

  /// Makes the next listener call of `kind` a start-up report: shown to the sink, neither queued nor
  /// counted. For listeners connected before the library's threads started, whose first reports tell
  /// the state the library found.
  void ExpectStartupReport(const std::string& kind);
  /// Waits until every start-up report expected has come, or `deadline`; forgets those that did not.
  void AwaitStartupReports(Clock::time_point deadline);

  /// Makes every wait of this observer return at once, as if its deadline had passed, until ResumeWaits.
  void CancelWaits();
  void ResumeWaits();

  /// Takes the oldest unconsumed listener call of `kind`, waiting for one until `deadline`.
  std::optional<Event> TakeListenerEvent(const std::string& kind, Clock::time_point deadline);

  /// Takes trace events up to and including the first of `kind` whose detail contains `text`, waiting
  /// until `deadline`. Nothing when none came; `seen` then receives the details of the events of that
  /// kind that did come meanwhile.
  std::optional<Event> TakeTraceEvent(const std::string& kind, const std::string& text,
                                      Clock::time_point deadline, std::vector<std::string>* seen);

  /// A mark of the listener calls so far, for FirstListenerEventSince.
  std::uint64_t ListenerMark();

  /// The first listener call after `mark`, waiting for one until `deadline`; nothing when none came.
  std::optional<Event> FirstListenerEventSince(std::uint64_t mark, Clock::time_point deadline);

  /// Forgets every queued event.
  void Clear();

  /// Replaces the sink (null: none).
  void SetSink(Sink sink);

 private:
  class Listeners;

  void Push(Event event);

  std::mutex mutex_;
  std::condition_variable arrived_;
  std::map<std::string, std::deque<Event>> listenerEvents_;
  std::deque<Event> traceEvents_;
  std::map<std::string, int> startupReports_;  // expected, by listener kind
  bool cancelled_ = false;
  std::uint64_t listenerCalls_ = 0;
  std::deque<Event> recentListenerEvents_;  // the last listener calls, the newest being call listenerCalls_
  Sink sink_;
  std::mutex attachMutex_;  // guards listeners_; never held while `mutex_` is
  std::unique_ptr<Listeners> listeners_;
  int traceObserver_ = 0;
};

}  // namespace scenario

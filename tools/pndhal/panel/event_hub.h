// The events the panel's pages receive: each numbered, the latest few hundred kept so that a page that
// connects, or reconnects after a break, gets what it missed, and handed to every page's stream as they
// come.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace panel {

/// One event for the pages: its number, its type (the stream's event name) and its data (one line of JSON).
struct HubEvent {
  std::uint64_t id = 0;
  std::string type;
  std::string data;
};

class EventHub {
 public:
  /// How many events are kept for pages that connect later; older ones are dropped.
  static constexpr std::size_t kKept = 500;

  /// Adds an event, numbered one above the last, and wakes every page's stream.
  void Publish(const std::string& type, const std::string& data);

  /// The kept events numbered above `after`, waiting at most `limit` for one when there are none yet.
  /// Empty when the limit passed or the hub is closed.
  std::vector<HubEvent> Next(std::uint64_t after, std::chrono::milliseconds limit);

  /// Ends every wait, now and later: the panel is stopping.
  void Close();
  bool Closed();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<HubEvent> events_;
  std::uint64_t last_ = 0;
  bool closed_ = false;
};

}  // namespace panel

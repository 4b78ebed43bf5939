// The panel's event hub.
#include "event_hub.h"

namespace panel {

void EventHub::Publish(const std::string& type, const std::string& data) {
  {
    std::lock_guard lock(mutex_);
    events_.push_back({++last_, type, data});
    if (events_.size() > kKept) events_.pop_front();
  }
  changed_.notify_all();
}

std::vector<HubEvent> EventHub::Next(std::uint64_t after, std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, limit, [&] { return closed_ || last_ > after; });
  std::vector<HubEvent> next;
  if (closed_) return next;
  for (const HubEvent& event : events_) {
    if (event.id > after) next.push_back(event);
  }
  return next;
}

void EventHub::Close() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  changed_.notify_all();
}

bool EventHub::Closed() {
  std::lock_guard lock(mutex_);
  return closed_;
}

}  // namespace panel

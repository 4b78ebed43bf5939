// A registry of listener pointers that is safe to change while it notifies:
// registration order, duplicates and first-occurrence removal are kept, a
// listener may connect or disconnect listeners (itself included) during its
// own call, and a disconnect from another thread waits until no call of that
// listener is in flight.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "pndhal/container.h"

namespace Keys {

template <class Listener>
class ListenerList {
 public:
  ListenerList() = default;
  ListenerList(const ListenerList&) = delete;
  ListenerList& operator=(const ListenerList&) = delete;

  /// Appends `listener`; null is ignored. False only when the list cannot grow.
  bool Connect(Listener* listener) {
    if (listener == nullptr) return true;
    std::lock_guard lock(mutex_);
    return entries_.push_back(Entry{listener, ++lastSerial_});
  }

  /// Removes the first registration of `listener`. When a call of it is in
  /// flight on another thread, waits for that call to return.
  void Disconnect(Listener* listener) {
    std::unique_lock lock(mutex_);
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
      if (it->listener == listener) {
        entries_.erase(it);
        break;
      }
    }
    const auto self = std::this_thread::get_id();
    idle_.wait(lock, [&] {
      for (const InFlight& call : inFlight_)
        if (call.listener == listener && call.thread != self) return false;
      return true;
    });
  }

  /// Calls `notify(listener)` for every listener registered when the call
  /// began and still registered when its turn comes, in registration order.
  template <class Notify>
  void ForEach(Notify&& notify) {
    std::unique_lock lock(mutex_);
    const std::uint64_t last = lastSerial_;
    std::uint64_t done = 0;
    for (;;) {
      const Entry* next = FirstAfter(done);
      if (next == nullptr || next->serial > last) break;
      done = next->serial;
      Listener* listener = next->listener;
      const InFlight call{listener, std::this_thread::get_id()};
      if (!inFlight_.push_back(call)) continue;  // cannot track it safely: skip
      lock.unlock();
      struct Finish {
        ListenerList& list;
        std::unique_lock<std::mutex>& lock;
        ~Finish() {
          lock.lock();
          list.EndCall();
        }
      } finish{*this, lock};
      notify(listener);
    }
  }

  std::size_t Size() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
  }

 private:
  struct Entry {
    Listener* listener;
    std::uint64_t serial;  // increases with each registration
  };
  struct InFlight {
    Listener* listener;
    std::thread::id thread;
  };

  const Entry* FirstAfter(std::uint64_t serial) const {
    for (const Entry& entry : entries_)
      if (entry.serial > serial) return &entry;
    return nullptr;
  }

  // Ends the latest call this thread began (calls of one thread nest).
  void EndCall() {
    const auto self = std::this_thread::get_id();
    for (auto it = inFlight_.end(); it != inFlight_.begin();) {
      --it;
      if (it->thread == self) {
        inFlight_.erase(it);
        break;
      }
    }
    idle_.notify_all();
  }

  mutable std::mutex mutex_;
  std::condition_variable idle_;
  Container::ZuVector<Entry> entries_;
  Container::ZuVector<InFlight> inFlight_;
  std::uint64_t lastSerial_ = 0;
};

}  // namespace Keys

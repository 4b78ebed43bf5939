// A record of what happened on the device that keeps its newest entries up to a capacity and counts the
// ones it forgot, so that a device left running for days holds a fixed amount of memory. The trace, the
// backlight writes, the telephone program's message log, the process list and the message boxes shown are
// each kept in one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

#include "pndsim/control.h"

namespace sim {

/// Not thread-safe: its owner guards it with the lock of the state it belongs to.
template <typename Entry>
class BoundedRecord {
 public:
  explicit BoundedRecord(std::size_t capacity) : capacity_(capacity) {}

  /// Appends `entry`, then forgets the oldest entries beyond the capacity.
  void Add(Entry entry) {
    Add(std::move(entry), [](const Entry&) { return true; });
  }

  /// Appends `entry`, then forgets the oldest entries beyond the capacity for which `forgettable` holds;
  /// while none does, the record holds more than its capacity.
  template <typename Forgettable>
  void Add(Entry entry, Forgettable forgettable) {
    entries_.push_back(std::move(entry));
    Trim(forgettable);
  }

  /// Changes the capacity, forgetting at once the oldest entries beyond it.
  void SetCapacity(std::size_t capacity) {
    SetCapacity(capacity, [](const Entry&) { return true; });
  }

  /// Changes the capacity, forgetting at once the oldest entries beyond it for which `forgettable` holds.
  template <typename Forgettable>
  void SetCapacity(std::size_t capacity, Forgettable forgettable) {
    capacity_ = capacity;
    Trim(forgettable);
  }

  /// Forgets every entry and the count of those dropped, and gives their memory back.
  void Clear() {
    std::deque<Entry>().swap(entries_);
    dropped_ = 0;
  }

  /// Clear(), and back to `capacity`.
  void Reset(std::size_t capacity) {
    Clear();
    capacity_ = capacity;
  }

  const std::deque<Entry>& Entries() const { return entries_; }
  std::vector<Entry> Copy() const { return {entries_.begin(), entries_.end()}; }
  pndsim::RecordStatus Status() const { return {entries_.size(), capacity_, dropped_}; }

 private:
  template <typename Forgettable>
  void Trim(Forgettable& forgettable) {
    auto next = entries_.begin();
    while (entries_.size() > capacity_) {
      while (next != entries_.end() && !forgettable(*next)) ++next;
      if (next == entries_.end()) return;
      next = entries_.erase(next);
      ++dropped_;
    }
  }

  std::deque<Entry> entries_;
  std::size_t capacity_;
  std::uint64_t dropped_ = 0;
};

}  // namespace sim

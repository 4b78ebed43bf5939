// Test support: one recording listener per listener interface. Each keeps
// every value it was notified with and lets a test wait, with a bound, until
// a number of calls has arrived.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "pndhal/pndhal.h"

namespace pndtest {

/// Records the values `Listener::Notify` receives, as `Value`.
template <class Listener, class Value, class Arg = Value const&>
class Recorder : public Listener {
 public:
  void Notify(Arg value) override {
    std::lock_guard lock(mutex_);
    values_.push_back(static_cast<Value>(value));
    arrived_.notify_all();
  }
  /// Waits until at least `count` calls arrived; false after `limit`.
  bool WaitFor(std::size_t count, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, limit, [&] { return values_.size() >= count; });
  }
  /// Waits until `value` arrives at position `from` or later; false after
  /// `limit`.
  bool WaitForValue(Value const& value, std::size_t from,
                    std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, limit, [&] {
      for (std::size_t i = from; i < values_.size(); ++i) {
        if (values_[i] == value) return true;
      }
      return false;
    });
  }
  std::vector<Value> Values() {
    std::lock_guard lock(mutex_);
    return values_;
  }
  std::size_t Count() {
    std::lock_guard lock(mutex_);
    return values_.size();
  }

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::vector<Value> values_;
};

using PowerRecorder = Recorder<IPMPowerListener, PMPowerInfo>;
using VolumeRecorder = Recorder<IVolumeListener, VolumeInfo>;
using CardRecorder = Recorder<ICardListener, CardInfo>;
using SuspendRecorder = Recorder<ISuspendResumeDeviceListener, bool>;
using HardwareKeyRecorder = Recorder<IHardwareKeyListener, int, eHardwareKey const&>;
using KeyRecordRecorder = Recorder<IHardwareKeyRecordListener, unsigned long, unsigned long>;

}  // namespace pndtest

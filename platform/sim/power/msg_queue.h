// The emulated point-to-point message queue: a kernel object that is signalled
// while a message waits, written by the power manager and read by the HAL.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <vector>

#include "../kernel/kernel.h"

namespace sim {

class MsgQueueObject final : public Waitable {
 public:
  MsgQueueObject(DWORD maxMessages, DWORD maxMessageBytes)
      : maxMessages_(maxMessages), maxMessageBytes_(maxMessageBytes) {}

  bool IsSignaled() const override { return !messages_.empty(); }

  /// Appends one message and wakes its readers. False when it is larger than
  /// the queue's largest message or the queue is full. Requires the kernel lock.
  bool Write(std::span<const std::uint8_t> message);
  /// Takes the oldest message; requires the kernel lock and a waiting message.
  std::vector<std::uint8_t> Take();

 private:
  DWORD maxMessages_;
  DWORD maxMessageBytes_;
  std::deque<std::vector<std::uint8_t>> messages_;
};

/// Writes `record` to the queue of every live registration in `registrations` that `wants` it, forgetting
/// the registrations that have ended; returns how many queues took it. Each registration type (power,
/// device) has a `queue` member, a weak reference to its message queue. Requires the kernel lock.
template <class Registration, class Wants>
int WriteToRegistered(std::vector<std::weak_ptr<Registration>>& registrations,
                      std::span<const std::uint8_t> record, Wants wants) {
  int written = 0;
  std::erase_if(registrations, [](const auto& entry) { return entry.expired(); });
  for (const auto& entry : registrations) {
    auto registration = entry.lock();
    auto queue = registration ? registration->queue.lock() : nullptr;
    if (queue && wants(*registration) && queue->Write(record)) ++written;
  }
  return written;
}

/// Ends a notification registration of type `Registration` (a power or a
/// device registration): closes its handle, or fails with
/// ERROR_INVALID_HANDLE for a handle that is no such registration.
template <class Registration>
BOOL CloseRegistration(HANDLE handle) {
  {
    KernelLock lock(KernelMutex());
    if (!LookupAs<Registration>(handle)) {
      lock.unlock();
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
  }
  return CloseHandle(handle);
}

}  // namespace sim

// The emulated point-to-point message queue: a kernel object that is signalled
// while a message waits, written by the power manager and read by the HAL.
#pragma once

#include <cstdint>
#include <deque>
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

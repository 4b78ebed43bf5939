// The reading side of a device thread's notification queue: waits for the
// next record or for the thread's stop request, whichever comes first.
#pragma once

#include <cstdint>
#include <span>

#include "ce/kernel.h"
#include "ce/power.h"

class CNotificationQueueReader {
 public:
  /// Reads `queue` (which may be null) until `stopEvent` is signalled.
  CNotificationQueueReader(HANDLE stopEvent, HANDLE queue)
      : m_objects{stopEvent, queue}, m_dwCount(queue == nullptr ? 1 : 2) {}

  /// Waits for the next record and copies it into `buffer`; `read` gets its
  /// size. False once the thread is to end. Without a queue, or once a wait
  /// on it fails, only the stop request is waited for: the thread never
  /// spins.
  bool Next(std::span<std::uint8_t> buffer, DWORD& read);

 private:
  HANDLE m_objects[2];
  DWORD m_dwCount;
};

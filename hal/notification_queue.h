// The reading side of a device thread's notification queue: creates the queue
// and asks for its notifications, then waits for the next record or for the
// thread's stop request, whichever comes first. A queue that cannot be had is
// tried for again every retry period, so a passing refusal does not silence
// the thread for good.
#pragma once

#include <cstdint>
#include <span>

#include "ce/kernel.h"
#include "ce/power.h"

class CNotificationQueueReader {
 public:
  /// Asks the platform to write notifications to `queue`; the registration
  /// handle, or null when refused.
  using Request = HANDLE (*)(HANDLE queue);
  /// Ends a registration that Request made.
  using Stop = BOOL(WINAPI*)(HANDLE registration);

  /// Reads a queue of records up to `maxMessage` bytes until `stopEvent` is
  /// signalled; a queue or registration that cannot be had is tried for again
  /// every `retryMs` milliseconds.
  CNotificationQueueReader(HANDLE stopEvent, DWORD maxMessage, DWORD retryMs, Request request, Stop stop);
  /// Ends the registration and closes the queue.
  ~CNotificationQueueReader();
  CNotificationQueueReader(const CNotificationQueueReader&) = delete;
  CNotificationQueueReader& operator=(const CNotificationQueueReader&) = delete;

  /// Waits for the next record and copies it into `buffer`; `read` gets its
  /// size. False once the thread is to end. Never spins: without a queue, or
  /// after a wait on it failed, it waits for the stop request up to the retry
  /// period and then tries for a queue again.
  bool Next(std::span<std::uint8_t> buffer, DWORD& read);

 private:
  bool Open();
  void Close();

  HANDLE m_hStopEvent;
  DWORD m_dwMaxMessage;
  DWORD m_dwRetryMs;
  Request m_request;
  Stop m_stop;
  HANDLE m_hQueue = nullptr;
  HANDLE m_hRegistration = nullptr;
};

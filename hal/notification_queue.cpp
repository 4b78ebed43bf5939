// The device threads' notification queue: opening it, waiting for its next
// record, and trying again after a refusal.
#include "hal/notification_queue.h"

CNotificationQueueReader::CNotificationQueueReader(HANDLE stopEvent, DWORD maxMessage, DWORD retryMs,
                                                   Request request, Stop stop)
    : m_hStopEvent(stopEvent),
      m_dwMaxMessage(maxMessage),
      m_dwRetryMs(retryMs),
      m_request(request),
      m_stop(stop) {
  Open();
}

CNotificationQueueReader::~CNotificationQueueReader() { Close(); }

bool CNotificationQueueReader::Open() {
  MSGQUEUEOPTIONS options{sizeof(MSGQUEUEOPTIONS), 0, 0, m_dwMaxMessage, TRUE};
  m_hQueue = CreateMsgQueue(nullptr, &options);
  if (m_hQueue == nullptr) return false;
  m_hRegistration = m_request(m_hQueue);
  // A queue nobody writes to would wait for ever: both are had, or neither.
  if (m_hRegistration == nullptr) Close();
  return m_hQueue != nullptr;
}

void CNotificationQueueReader::Close() {
  if (m_hRegistration != nullptr) m_stop(m_hRegistration);
  if (m_hQueue != nullptr) CloseMsgQueue(m_hQueue);
  m_hRegistration = nullptr;
  m_hQueue = nullptr;
}

bool CNotificationQueueReader::Next(std::span<std::uint8_t> buffer, DWORD& read) {
  for (;;) {
    if (m_hQueue == nullptr) {
      if (WaitForSingleObject(m_hStopEvent, m_dwRetryMs) != WAIT_TIMEOUT) return false;
      Open();
      continue;
    }
    HANDLE objects[] = {m_hStopEvent, m_hQueue};
    const DWORD woken = WaitForMultipleObjects(2, objects, FALSE, INFINITE);
    if (woken == WAIT_OBJECT_0) return false;
    if (woken != WAIT_OBJECT_0 + 1) {
      // The queue cannot be waited for: give it up and try for a new one
      // after the retry period, instead of failing the same wait again.
      Close();
      continue;
    }
    DWORD flags = 0;
    read = 0;
    if (ReadMsgQueue(m_hQueue, buffer.data(), static_cast<DWORD>(buffer.size()), &read, 0, &flags) != FALSE) {
      return true;
    }
  }
}

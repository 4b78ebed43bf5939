// The device threads' wait for their next notification record.
#include "hal/notification_queue.h"

bool CNotificationQueueReader::Next(std::span<std::uint8_t> buffer, DWORD& read) {
  for (;;) {
    const DWORD woken = WaitForMultipleObjects(m_dwCount, m_objects, FALSE, INFINITE);
    if (woken == WAIT_OBJECT_0) return false;
    if (woken != WAIT_OBJECT_0 + 1) {
      if (m_dwCount == 1) return false;
      m_dwCount = 1;
      continue;
    }
    DWORD flags = 0;
    read = 0;
    if (ReadMsgQueue(m_objects[1], buffer.data(), static_cast<DWORD>(buffer.size()), &read, 0, &flags) !=
        FALSE) {
      return true;
    }
  }
}

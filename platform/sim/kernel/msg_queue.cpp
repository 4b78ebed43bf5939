// Point-to-point message queues: creation, reading with a time-out, closing.
#include <cstring>

#include "ce/power.h"
#include "sim/kernel/kernel.h"

namespace sim {

bool MsgQueueObject::Write(std::span<const std::uint8_t> message) {
  if (message.size() > maxMessageBytes_) return false;
  if (maxMessages_ != 0 && messages_.size() >= maxMessages_) return false;
  messages_.emplace_back(message.begin(), message.end());
  WakeWaiters();
  return true;
}

std::vector<std::uint8_t> MsgQueueObject::Take() {
  std::vector<std::uint8_t> message = std::move(messages_.front());
  messages_.pop_front();
  NoteDeliveryTaken();
  return message;
}

}  // namespace sim

using namespace sim;

HANDLE CreateMsgQueue(LPCWSTR name, LPMSGQUEUEOPTIONS options) {
  DWORD argumentError = ERROR_SUCCESS;
  if (options == nullptr || options->dwSize != sizeof(MSGQUEUEOPTIONS) || options->cbMaxMessage == 0) {
    argumentError = ERROR_INVALID_PARAMETER;
  } else if (name != nullptr) {  // named queues are not used by the HAL and not emulated
    argumentError = ERROR_NOT_SUPPORTED;
  }
  if (!BeginCall(pndsim::Call::CreateMsgQueue, argumentError, ERROR_OUTOFMEMORY)) return nullptr;
  auto queue = std::make_shared<MsgQueueObject>(options->dwMaxMessages, options->cbMaxMessage);
  KernelLock lock(KernelMutex());
  RegisterDeliveryQueue(queue);
  return InsertHandle(std::move(queue));
}

BOOL ReadMsgQueue(HANDLE handle, LPVOID buffer, DWORD bufferSize, DWORD* bytesRead, DWORD timeout,
                  DWORD* flags) {
  ThreadObject& self = CurrentThread();
  KernelLock lock(KernelMutex());
  auto queue = LookupAs<MsgQueueObject>(handle);
  if (!queue || buffer == nullptr || bytesRead == nullptr) {
    return FailCall(queue ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE, FALSE);
  }
  Waitable* objects[] = {queue.get()};
  if (WaitAny(lock, self, objects, timeout) != WAIT_OBJECT_0) {
    return FailCall(ERROR_TIMEOUT, FALSE);
  }
  const std::vector<std::uint8_t> message = queue->Take();
  lock.unlock();
  if (message.size() > bufferSize) {
    *bytesRead = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(buffer, message.data(), message.size());
  *bytesRead = static_cast<DWORD>(message.size());
  if (flags != nullptr) *flags = 0;
  return TRUE;
}

BOOL CloseMsgQueue(HANDLE queue) {
  {
    KernelLock lock(KernelMutex());
    if (!LookupAs<MsgQueueObject>(queue)) {
      return FailCall(ERROR_INVALID_HANDLE, FALSE);
    }
  }
  return CloseHandle(queue);
}

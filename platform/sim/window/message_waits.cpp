// The calls that look at a thread's queue without blocking in it:
// PeekMessageW, which delivers sent messages and takes a posted one if there
// is one, and MsgWaitForMultipleObjectsEx, which waits for kernel objects or
// for input in the queue.
#include <vector>

#include "sim/window/window_system.h"

using namespace sim;
using namespace sim::window;

BOOL PeekMessageW(MSG* message, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
  if (message == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  ThreadObject& self = CurrentThread();
  KernelLock lock(KernelMutex());
  std::shared_ptr<MessageQueue> queue = CurrentQueue(self);
  // As GetMessageW's: the filter window must be one of the calling thread's.
  if (window != nullptr) {
    std::shared_ptr<Window> filter = LookupWindow(window);
    if (!filter || filter->queue != queue) {
      return FailCall(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    }
  }
  while (queue->HasSent()) {
    DeliverSent(lock, *queue);
  }
  queue->MarkSeen();
  const bool found = (removeFlags & PM_REMOVE) != 0
                         ? queue->TakePosted(window, filterMin, filterMax, *message)
                         : queue->FindPosted(window, filterMin, filterMax, *message);
  return found ? TRUE : FALSE;
}

DWORD MsgWaitForMultipleObjectsEx(DWORD count, const HANDLE* handles, DWORD milliseconds, DWORD wakeMask,
                                  DWORD) {
  // The thread's queue takes one of the MAXIMUM_WAIT_OBJECTS places.
  if (count > MAXIMUM_WAIT_OBJECTS - 1 || (count > 0 && handles == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  const DWORD start = GetTickCount();
  ThreadObject& self = CurrentThread();
  KernelLock lock(KernelMutex());
  std::vector<std::shared_ptr<Waitable>> owned;
  std::vector<Waitable*> objects;
  if (!LookupWaitables(count, handles, owned, objects)) {
    return FailCall(ERROR_INVALID_HANDLE, WAIT_FAILED);
  }
  std::shared_ptr<MessageQueue> queue = CurrentQueue(self);
  for (;;) {
    for (DWORD i = 0; i < count; ++i) {
      if (objects[i]->IsSignaled()) {
        objects[i]->Consume();
        return WAIT_OBJECT_0 + i;
      }
    }
    if (((wakeMask & QS_SENDMESSAGE) != 0 && queue->HasSent()) ||
        ((wakeMask & QS_POSTMESSAGE) != 0 && queue->HasUnseen())) {
      return WAIT_OBJECT_0 + count;
    }
    // Posted input the mask does not name counts as looked at, and sent input
    // it does not name is left for later: neither ends this wait.
    queue->MarkSeen();
    objects.resize(count);
    if (!queue->HasSent()) {
      objects.push_back(queue.get());
    }
    DWORD remaining = INFINITE;
    if (milliseconds != INFINITE) {
      const DWORD elapsed = GetTickCount() - start;
      if (elapsed >= milliseconds) {
        return WAIT_TIMEOUT;
      }
      remaining = milliseconds - elapsed;
    }
    const DWORD woken = WaitAny(lock, self, objects, remaining);
    if (woken == WAIT_TIMEOUT) {
      return WAIT_TIMEOUT;
    }
    if (woken < count) {
      return WAIT_OBJECT_0 + woken;
    }
  }
}

// The registry's wait for a call in flight, which keeps the waiting thread
// answering messages sent to it.
#include "runtime/listener_registry.h"

#include "ce/window.h"

namespace runtime {

void WaitForCallEnd(HANDLE event) {
  // Without an event of its own the waiter looks again after a moment.
  const DWORD count = event != nullptr ? 1 : 0;
  const DWORD timeout = event != nullptr ? INFINITE : 1;
  for (;;) {
    const DWORD woken = MsgWaitForMultipleObjectsEx(count, &event, timeout, QS_SENDMESSAGE, 0);
    if (woken != WAIT_OBJECT_0 + count) return;  // the event, the moment, or a failed wait
    MSG message{};
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);  // delivers the sent messages
  }
}

}  // namespace runtime

// Per-thread message queues and the calls that fill and drain them: posting,
// sending across threads, the message loop's get, translate and dispatch, and
// the quit message.
#include <algorithm>

#include "sim/window/window_system.h"

namespace sim::window {
namespace {

// WM_QUIT passes every range filter, not a window filter: posted to another
// window (or to the thread) it waits for a loop that takes that window's.
bool Accepts(const MSG& message, HWND window, UINT filterMin, UINT filterMax) {
  if (window != nullptr && message.hwnd != window) {
    return false;
  }
  return message.message == WM_QUIT || (filterMin == 0 && filterMax == 0) ||
         (message.message >= filterMin && message.message <= filterMax);
}

// Releases the kernel lock for its scope, and takes it again on leaving it,
// also when a thread ending inside a window procedure unwinds through here.
// Not a scoped lock to the analysis: it releases and takes the kernel lock
// itself, which is what the analysis follows.
class Unlocked {
 public:
  explicit Unlocked(KernelLock& lock) RELEASE(KernelMutex()) : lock_(lock) { lock_.unlock(); }
  ~Unlocked() ACQUIRE(KernelMutex()) {
    if (!lock_.owns_lock()) {
      lock_.lock();
    }
  }
  Unlocked(const Unlocked&) = delete;
  Unlocked& operator=(const Unlocked&) = delete;

 private:
  KernelLock& lock_;
};

std::vector<pndsim::TraceField> CallFields(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    REQUIRES(KernelMutex()) {
  const auto number = [](const char* name, std::uintptr_t value) {
    return NumberField(name, static_cast<std::int64_t>(value), Hex(value));
  };
  std::vector<pndsim::TraceField> fields{
      window != nullptr ? number("window", reinterpret_cast<std::uintptr_t>(window))
                        : TextField("window", "thread"),
      NumberField("message", message, DescribeMessage(message)), number("wParam", wParam),
      number("lParam", static_cast<std::uintptr_t>(lParam))};
  if (message == WM_COPYDATA && lParam != 0) {
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    fields.push_back(number("dwData", data->dwData));
    fields.push_back(NumberField("cbData", data->cbData));
  }
  return fields;
}

}  // namespace

void SentMessage::Complete(LRESULT result) {
  if (done_) {
    return;
  }
  result_ = result;
  done_ = true;
  WakeWaiters();
}

bool MessageQueue::Post(const MSG& message) {
  if (posted_.size() >= kPostedLimit) {
    return false;
  }
  posted_.push_back(message);
  unseen_ = true;
  WakeWaiters();
  return true;
}

void MessageQueue::PostQuit(int exitCode, DWORD time) {
  quit_ = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(static_cast<LPARAM>(exitCode)), 0, time, POINT{0, 0}};
  unseen_ = true;
  WakeWaiters();
}

void MessageQueue::Send(std::shared_ptr<SentMessage> message) {
  sent_.push_back(std::move(message));
  WakeWaiters();
}

std::shared_ptr<SentMessage> MessageQueue::TakeSent() {
  std::shared_ptr<SentMessage> message = std::move(sent_.front());
  sent_.pop_front();
  NoteDeliveryTaken();
  return message;
}

void MessageQueue::Withdraw(const SentMessage& message) {
  auto it =
      std::find_if(sent_.begin(), sent_.end(), [&](const auto& queued) { return queued.get() == &message; });
  if (it != sent_.end()) {
    sent_.erase(it);
  }
}

bool MessageQueue::TakePosted(HWND window, UINT filterMin, UINT filterMax, MSG& out) {
  auto it = std::find_if(posted_.begin(), posted_.end(),
                         [&](const MSG& message) { return Accepts(message, window, filterMin, filterMax); });
  if (it != posted_.end()) {
    out = *it;
    posted_.erase(it);
    NoteDeliveryTaken();
    return true;
  }
  if (quit_) {
    out = *quit_;
    quit_.reset();
    return true;
  }
  return false;
}

bool MessageQueue::FindPosted(HWND window, UINT filterMin, UINT filterMax, MSG& out) const {
  auto it = std::find_if(posted_.begin(), posted_.end(),
                         [&](const MSG& message) { return Accepts(message, window, filterMin, filterMax); });
  if (it != posted_.end()) {
    out = *it;
    return true;
  }
  // A quit request is seen as TakePosted would take it, and stays.
  if (quit_) {
    out = *quit_;
    return true;
  }
  return false;
}

void MessageQueue::DropWindow(HWND window) {
  std::erase_if(posted_, [&](const MSG& message) { return message.hwnd == window; });
  std::erase_if(sent_, [&](const std::shared_ptr<SentMessage>& message) REQUIRES(KernelMutex()) {
    if (message->window != window) {
      return false;
    }
    message->Complete(0);
    return true;
  });
}

void MessageQueue::End() {
  ended_ = true;
  for (const auto& message : sent_) {
    message->Complete(0);
  }
  sent_.clear();
  posted_.clear();
  quit_.reset();
  unseen_ = false;
}

void DeliverSent(KernelLock& lock, MessageQueue& queue) {
  std::shared_ptr<SentMessage> message = queue.TakeSent();
  std::shared_ptr<Window> window = LookupWindow(message->window);
  if (!window) {
    message->Complete(0);
    return;
  }
  // The sender gets an answer however the procedure ends: 0 when it throws or
  // its thread ends inside it.
  struct Reply {
    SentMessage& message;
    LRESULT result = 0;
    ~Reply() { message.Complete(result); }
  } reply{*message};
  Unlocked unlocked(lock);
  reply.result = window->procedure(message->window, message->message, message->wParam, message->lParam);
}

}  // namespace sim::window

using namespace sim;
using namespace sim::window;

BOOL GetMessageW(MSG* message, HWND window, UINT filterMin, UINT filterMax) {
  if (message == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  ThreadObject& self = CurrentThread();
  KernelLock lock(KernelMutex());
  std::shared_ptr<MessageQueue> queue = CurrentQueue(self);
  for (;;) {
    if (window != nullptr) {
      std::shared_ptr<Window> filter = LookupWindow(window);
      if (!filter || filter->queue != queue) {
        return FailCall(ERROR_INVALID_WINDOW_HANDLE, -1);
      }
    }
    if (queue->HasSent()) {
      DeliverSent(lock, *queue);
      continue;
    }
    if (queue->TakePosted(window, filterMin, filterMax, *message)) {
      return message->message == WM_QUIT ? 0 : TRUE;
    }
    queue->MarkSeen();
    Waitable* const wanted = queue.get();
    WaitAny(lock, self, std::span<Waitable* const>(&wanted, 1), INFINITE);
  }
}

BOOL TranslateMessage(const MSG* message) {
  if (message == nullptr) {
    return FALSE;
  }
  switch (message->message) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
      return TRUE;
    default:
      return FALSE;
  }
}

LRESULT DispatchMessageW(const MSG* message) {
  if (message == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (message->hwnd == nullptr) {
    return 0;  // a thread message has no procedure to run
  }
  ThreadObject& self = CurrentThread();
  KernelLock lock(KernelMutex());
  std::shared_ptr<Window> window = LookupWindow(message->hwnd);
  if (!window || window->queue->threadId() != self.id()) {
    return FailCall(window ? ERROR_WINDOW_OF_OTHER_THREAD : ERROR_INVALID_WINDOW_HANDLE, 0);
  }
  lock.unlock();
  return window->procedure(message->hwnd, message->message, message->wParam, message->lParam);
}

BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // A message that carries data for the receiver to read in place cannot wait in a queue.
  if (message == WM_COPYDATA) {
    SetLastError(ERROR_MESSAGE_SYNC_ONLY);
    return FALSE;
  }
  const DWORD time = GetTickCount();
  ThreadObject& self = CurrentThread();
  KernelLock lock(KernelMutex());
  std::shared_ptr<MessageQueue> queue;
  if (window == nullptr) {
    queue = CurrentQueue(self);
  } else if (std::shared_ptr<Window> target = LookupWindow(window)) {
    queue = target->queue;
  } else {
    return FailCall(ERROR_INVALID_WINDOW_HANDLE, FALSE);
  }
  if (!queue->Post(MSG{window, message, wParam, lParam, time, POINT{0, 0}})) {
    return FailCall(ERROR_NOT_ENOUGH_QUOTA, FALSE);
  }
  Record("message.post", CallFields(window, message, wParam, lParam));
  return TRUE;
}

LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  ThreadObject& self = CurrentThread();
  KernelLock lock(KernelMutex());
  std::shared_ptr<Window> target = LookupWindow(window);
  if (!target) {
    return FailCall(ERROR_INVALID_WINDOW_HANDLE, 0);
  }
  Record("message.send", CallFields(window, message, wParam, lParam));
  if (target->queue->threadId() == self.id()) {
    lock.unlock();
    return target->procedure(window, message, wParam, lParam);
  }

  std::shared_ptr<MessageQueue> own = CurrentQueue(self);
  std::shared_ptr<MessageQueue> receiver = target->queue;
  target.reset();
  std::shared_ptr<void> payload;
  const LPARAM delivered = CopyForReceiver(message, lParam, payload);
  auto sent = std::make_shared<SentMessage>(window, message, wParam, delivered);
  sent->payload = std::move(payload);
  receiver->Send(sent);
  // A sender that ends while it waits (terminated at its wait) takes its
  // message back, so the receiver never reads the sender's vanished data.
  struct Withdrawal {
    KernelLock& lock;
    MessageQueue& receiver;
    SentMessage& sent;
    ~Withdrawal() {
      const bool relock = !lock.owns_lock();
      if (relock) {
        lock.lock();
      }
      if (!sent.done()) {
        receiver.Withdraw(sent);
        sent.Complete(0);
      }
      if (relock) {
        lock.unlock();
      }
    }
  } withdrawal{lock, *receiver, *sent};

  while (!sent->done()) {
    if (own->HasSent()) {
      DeliverSent(lock, *own);
      continue;
    }
    own->MarkSeen();  // posted messages wait for the caller's next GetMessageW
    Waitable* const wanted[] = {sent.get(), own.get()};
    WaitAny(lock, self, wanted, INFINITE);
  }
  return sent->result();
}

void PostQuitMessage(int exitCode) {
  const DWORD time = GetTickCount();
  ThreadObject& self = CurrentThread();
  KernelLock lock(KernelMutex());
  CurrentQueue(self)->PostQuit(exitCode, time);
}

// The window system's shared state and its life cycle: lookups, per-thread
// queues, removal of windows, and the clean-up when a thread ends or the
// simulator is reset.
#include "sim/window/window_system.h"

#include <cstdio>

namespace sim::window {
namespace {

// Ends a queue whose thread is gone: its windows disappear without further
// messages (there is no thread left to run their procedures) and waiting
// senders get 0.
void EndQueue(MessageQueue& queue) REQUIRES(KernelMutex()) {
  if (queue.ended()) {
    return;
  }
  WindowSystem& state = State();
  std::vector<std::shared_ptr<Window>> owned;
  for (const auto& [handle, window] : state.windows) {
    if (window->queue.get() == &queue) {
      owned.push_back(window);
    }
  }
  for (const auto& window : owned) {
    RemoveWindow(window);
  }
  DropThreadHotKeys(queue);
  queue.End();
  state.queues.erase(queue.threadId());
}

// The calling thread's queue. Threads the simulator did not start have no
// exit hook, so their queue is ended when the thread's storage is destroyed.
struct QueueHolder {
  std::shared_ptr<MessageQueue> queue;
  QueueHolder() = default;
  QueueHolder(const QueueHolder&) = delete;
  QueueHolder& operator=(const QueueHolder&) = delete;
  ~QueueHolder() {
    if (!queue) {
      return;
    }
    KernelLock lock(KernelMutex());
    EndQueue(*queue);
  }
};

thread_local QueueHolder t_queue;

// Hooks the window system into the kernel: a thread's windows and queue end
// with it, and a reset forgets the boxes shown and the foreground choice
// (never the windows or hot keys of code that still runs).
struct Registration {
  Registration() noexcept {
    OnThreadExit([](ThreadObject& thread) REQUIRES(KernelMutex()) {
      WindowSystem& state = State();
      auto it = state.queues.find(thread.id());
      if (it == state.queues.end()) {
        return;
      }
      std::shared_ptr<MessageQueue> queue = it->second;
      EndQueue(*queue);
    });
    OnReset([] {
      KernelLock lock(KernelMutex());
      State().messageBoxes.Reset(pndsim::kDefaultMessageBoxesCapacity);
      State().foreground = nullptr;
      State().heldModifierKeys = 0;
    });
  }
};

const Registration g_registration;

}  // namespace

WindowSystem& State() {
  static auto* state = new WindowSystem;  // outlives threads still running at exit
  return *state;
}

std::shared_ptr<Window> LookupWindow(HWND handle) {
  WindowSystem& state = State();
  auto it = state.windows.find(reinterpret_cast<std::uintptr_t>(handle));
  return it == state.windows.end() ? nullptr : it->second;
}

std::shared_ptr<WindowClass> LookupClass(DWORD processId, LPCWSTR name) {
  if (name == nullptr) {
    return nullptr;
  }
  WindowSystem& state = State();
  if (IsAtom(name)) {
    const auto atom = static_cast<ATOM>(reinterpret_cast<std::uintptr_t>(name));
    for (const auto& [key, windowClass] : state.classes) {
      if (key.first == processId && windowClass->atom == atom) {
        return windowClass;
      }
    }
    return nullptr;
  }
  auto it = state.classes.find({processId, FoldCase(name)});
  return it == state.classes.end() ? nullptr : it->second;
}

const std::shared_ptr<MessageQueue>& CurrentQueue(ThreadObject& self) {
  if (!t_queue.queue) {
    t_queue.queue = std::make_shared<MessageQueue>(self.id());
    State().queues[self.id()] = t_queue.queue;
    RegisterDeliveryQueue(t_queue.queue);
  }
  return t_queue.queue;
}

void RemoveWindow(const std::shared_ptr<Window>& window) {
  WindowSystem& state = State();
  if (state.windows.erase(reinterpret_cast<std::uintptr_t>(window->handle)) == 0) {
    return;
  }
  DropHotKeys(window->handle);
  if (state.foreground == window->handle) {
    state.foreground = nullptr;
  }
  --window->windowClass->windowCount;
  window->queue->DropWindow(window->handle);
}

bool IsAtom(LPCWSTR name) { return reinterpret_cast<std::uintptr_t>(name) < 0x10000; }

std::string Hex(std::uintptr_t value) {
  char buffer[2 + 2 * sizeof(value) + 1];
  std::snprintf(buffer, sizeof buffer, "0x%llX", static_cast<unsigned long long>(value));
  return buffer;
}

}  // namespace sim::window

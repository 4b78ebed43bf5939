// The registry every list of callbacks in the library is kept in: the
// application's listeners of each kind, the phone link's listeners and the
// handlers attached to a message window. It calls its entries in order
// without holding its lock, lets an entry remove itself (or others) during
// its own call, also from nested calls, and makes a removal wait for a call
// of that entry in flight on another thread.
#pragma once

#include <cstdint>
#include <thread>

#include "ce/kernel.h"
#include "pndhal/container.h"
#include "runtime/thread_annotations.h"

namespace runtime {

/// The policy of a registry whose entries belong to someone else: a removed
/// entry is simply forgotten.
struct KeepRemovedEntry {
  template <class Entry>
  void operator()(Entry*) const noexcept {}
};

/// Blocks until `event` is signalled, delivering meanwhile the messages other
/// threads send to the calling thread, as a thread blocked in a send does, so
/// that an entry whose call sends to the waiting thread cannot deadlock with
/// it. A null `event` waits one short moment instead.
void WaitForCallEnd(HANDLE event);

/// An ordered list of pointers to `Listener`, with duplicates. `Retire` is
/// called with an entry once it has been removed and no call of it is in
/// flight any more (the deleter of a registry that owns its entries).
///
/// Locking: `lock_` guards the entries, the calls in flight and the waiters
/// (GUARDED_BY below). No call of an entry is ever made with it held.
template <class Listener, class Retire = KeepRemovedEntry>
class ListenerRegistry {
 public:
  ListenerRegistry() = default;
  ListenerRegistry(const ListenerRegistry&) = delete;
  ListenerRegistry& operator=(const ListenerRegistry&) = delete;
  /// Retires the entries still registered. No call may be in flight.
  ~ListenerRegistry() {
    for (const Entry& entry : entries_) Retire{}(entry.listener);
  }

  /// Appends `listener`; null is ignored. False only when the list cannot
  /// grow (then nothing is registered).
  bool Connect(Listener* listener) EXCLUDES(lock_) {
    if (listener == nullptr) return true;
    MutexLock guard(lock_);
    if (!entries_.push_back(Entry{listener, lastSerial_ + 1})) return false;
    ++lastSerial_;
    return true;
  }

  /// Removes the first registration of `listener`, as RemoveFirst does.
  bool Disconnect(Listener* listener) {
    return RemoveFirst([listener](Listener* entry) { return entry == listener; });
  }

  /// Removes the first entry `matches` accepts; false when there is none.
  /// While that entry is being called on another thread, waits for the call
  /// to return (delivering messages sent to this thread meanwhile), so the
  /// caller may free what the entry uses as soon as this returns. Called
  /// from inside the entry's own call, it does not wait for that call: the
  /// entry is retired when its call returns.
  template <class Matches>
  bool RemoveFirst(Matches&& matches) EXCLUDES(lock_) {
    MutexLock guard(lock_);
    Listener* removed = nullptr;
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
      if (matches(it->listener)) {
        removed = it->listener;
        entries_.erase(it);
        break;
      }
    }
    if (removed == nullptr) return false;
    const std::thread::id self = std::this_thread::get_id();
    HANDLE callEnded = nullptr;
    while (InFlightElsewhere(removed, self)) {
      if (callEnded == nullptr) {
        callEnded = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        if (callEnded != nullptr && !waiters_.push_back(callEnded)) {
          CloseHandle(callEnded);
          callEnded = nullptr;
        }
      }
      guard.unlock();
      WaitForCallEnd(callEnded);
      guard.lock();
    }
    if (callEnded != nullptr) {
      ForgetWaiter(callEnded);
      CloseHandle(callEnded);
    }
    bool inFlightHere = false;
    for (Call* call = calls_; call != nullptr; call = call->next) {
      if (call->listener == removed) {
        call->retire = true;
        inFlightHere = true;
      }
    }
    guard.unlock();
    if (!inFlightHere) Retire{}(removed);
    return true;
  }

  /// Calls `notify(listener)` for every entry registered when the call began
  /// and still registered when its turn comes, in registration order. Needs
  /// no memory, so a notification is never lost for want of it.
  template <class Notify>
  void ForEach(Notify&& notify) EXCLUDES(lock_) {
    MutexLock guard(lock_);
    const std::uint64_t last = lastSerial_;
    std::uint64_t done = 0;
    for (;;) {
      const Entry* next = FirstAfter(done);
      if (next == nullptr || next->serial > last) break;
      done = next->serial;
      Call call{next->listener, std::this_thread::get_id(), false, calls_};
      calls_ = &call;
      guard.unlock();
      {
        // Ends the call also when the entry throws: the exception goes on to
        // the raising thread with the registry consistent.
        struct CallEnd {
          ListenerRegistry& registry;
          Call& call;
          ~CallEnd() { registry.EndCall(call); }
        } end{*this, call};
        notify(call.listener);
      }
      guard.lock();
    }
  }

  std::size_t Size() const EXCLUDES(lock_) {
    MutexLock guard(lock_);
    return entries_.size();
  }

 private:
  struct Entry {
    Listener* listener;
    std::uint64_t serial;  // increases with each registration
  };
  // A call in flight; it lives on the calling thread's stack.
  struct Call {
    Listener* listener;
    std::thread::id thread;
    bool retire;  // removed during the call: retire it when it returns
    Call* next;
  };

  const Entry* FirstAfter(std::uint64_t serial) const REQUIRES(lock_) {
    for (const Entry& entry : entries_) {
      if (entry.serial > serial) return &entry;
    }
    return nullptr;
  }

  bool InFlightElsewhere(Listener* listener, std::thread::id self) const REQUIRES(lock_) {
    for (const Call* call = calls_; call != nullptr; call = call->next) {
      if (call->listener == listener && call->thread != self) return true;
    }
    return false;
  }

  // Ends the call `ended`: unlinks it, wakes the threads waiting for a call
  // to end and, when it was the last call in flight of an entry removed
  // meanwhile, retires that entry (outside the lock).
  void EndCall(Call& ended) EXCLUDES(lock_) {
    Listener* retired = nullptr;
    {
      MutexLock guard(lock_);
      retired = UnlinkCall(ended);
    }
    if (retired != nullptr) Retire{}(retired);
  }

  // Unlinks `ended` and wakes the threads waiting for a call to end. Returns
  // the entry to retire when this was its last call in flight.
  Listener* UnlinkCall(Call& ended) REQUIRES(lock_) {
    for (Call** link = &calls_; *link != nullptr; link = &(*link)->next) {
      if (*link == &ended) {
        *link = ended.next;
        break;
      }
    }
    for (HANDLE waiter : waiters_) SetEvent(waiter);
    if (!ended.retire) return nullptr;
    for (Call* call = calls_; call != nullptr; call = call->next) {
      if (call->listener == ended.listener) {
        call->retire = true;  // an outer call of the same entry retires it
        return nullptr;
      }
    }
    return ended.listener;
  }

  void ForgetWaiter(HANDLE waiter) REQUIRES(lock_) {
    for (auto it = waiters_.begin(); it != waiters_.end(); ++it) {
      if (*it == waiter) {
        waiters_.erase(it);
        return;
      }
    }
  }

  mutable Mutex lock_;
  Container::ZuVector<Entry> entries_ GUARDED_BY(lock_);
  std::uint64_t lastSerial_ GUARDED_BY(lock_) = 0;
  Call* calls_ GUARDED_BY(lock_) = nullptr;                // newest first
  Container::ZuVector<HANDLE> waiters_ GUARDED_BY(lock_);  // events of threads in RemoveFirst
};

}  // namespace runtime

// Internals of the emulated window system shared by its parts: window classes,
// windows, the per-thread message queues, hot keys and message boxes. The
// kernel lock guards them, and no window procedure is ever called with that
// lock held.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "ce/window.h"
#include "pndsim/windows.h"
#include "sim/kernel/kernel.h"
#include "sim/text_codec/text_codec.h"

namespace sim::window {

/// A message sent from another thread, waiting for its answer. The sender
/// waits on it; it is signalled once the answer is there.
class SentMessage final : public Waitable {
 public:
  SentMessage(HWND target, UINT number, WPARAM first, LPARAM second)
      : window(target), message(number), wParam(first), lParam(second) {}

  bool IsSignaled() const override REQUIRES(KernelMutex()) { return done_; }
  bool done() const REQUIRES(KernelMutex()) { return done_; }
  LRESULT result() const REQUIRES(KernelMutex()) { return result_; }
  /// Hands `result` to the sender and wakes it; later answers are ignored.
  void Complete(LRESULT result) REQUIRES(KernelMutex());

  const HWND window;
  const UINT message;
  const WPARAM wParam;
  const LPARAM lParam;
  /// The receiver's copy of data the message points to (WM_COPYDATA), set before the message is sent.
  std::shared_ptr<void> payload;

 private:
  LRESULT result_ GUARDED_BY(KernelMutex()) = 0;
  bool done_ GUARDED_BY(KernelMutex()) = false;
};

/// The message queue of one thread: posted messages in arrival order and,
/// ahead of them, messages sent from other threads; behind them the quit
/// request. Only its own thread waits on it; it is signalled while a sent
/// message waits or a posted one or the quit request arrived that its thread
/// has not looked at yet (so a filtered wait does not spin on messages its
/// filter refuses).
class MessageQueue final : public Waitable {
 public:
  /// The most posted messages a queue holds, as on the device platform.
  static constexpr std::size_t kPostedLimit = 10000;

  explicit MessageQueue(DWORD threadId) : threadId_(threadId) {}

  bool IsSignaled() const override REQUIRES(KernelMutex()) { return !sent_.empty() || unseen_; }
  /// A posted message counts until its owner has looked at it: one it leaves queued behind a filter
  /// waits for the owner, not for the device.
  bool HoldsDeliveries() const override REQUIRES(KernelMutex()) { return IsSignaled(); }

  DWORD threadId() const { return threadId_; }
  bool ended() const REQUIRES(KernelMutex()) { return ended_; }

  /// Appends a posted message and wakes the owner; false, with nothing
  /// queued, when the queue holds kPostedLimit posted messages already.
  bool Post(const MSG& message) REQUIRES(KernelMutex());
  /// Asks the owner's loop to end: WM_QUIT (wParam `exitCode`) is retrieved
  /// once no posted message the filter accepts is waiting, whatever the
  /// filter; asking again only replaces the exit code.
  void PostQuit(int exitCode, DWORD time) REQUIRES(KernelMutex());
  /// Queues a message sent from another thread and wakes the owner.
  void Send(std::shared_ptr<SentMessage> message) REQUIRES(KernelMutex());
  bool HasSent() const REQUIRES(KernelMutex()) { return !sent_.empty(); }
  /// Removes the oldest sent message for the owner to deliver (NoteDeliveryTaken); requires HasSent().
  std::shared_ptr<SentMessage> TakeSent() REQUIRES(KernelMutex());
  /// Takes back a sent message whose sender gave up waiting.
  void Withdraw(const SentMessage& message) REQUIRES(KernelMutex());
  /// Removes the first posted message the filter accepts into `out` for the
  /// owner to handle (NoteDeliveryTaken), else the quit request.
  bool TakePosted(HWND window, UINT filterMin, UINT filterMax, MSG& out) REQUIRES(KernelMutex());
  /// Copies the first posted message the filter accepts into `out`, leaving
  /// it queued.
  bool FindPosted(HWND window, UINT filterMin, UINT filterMax, MSG& out) const REQUIRES(KernelMutex());
  /// The owner has looked at every posted message.
  void MarkSeen() REQUIRES(KernelMutex()) { unseen_ = false; }
  /// A posted message arrived that the owner has not looked at yet.
  bool HasUnseen() const REQUIRES(KernelMutex()) { return unseen_; }
  /// Drops the posted messages of `window` and answers 0 to those sent to it.
  void DropWindow(HWND window) REQUIRES(KernelMutex());
  /// The owner thread has ended: answers 0 to every sent message and drops
  /// everything.
  void End() REQUIRES(KernelMutex());

 private:
  const DWORD threadId_;
  std::deque<MSG> posted_ GUARDED_BY(KernelMutex());
  std::deque<std::shared_ptr<SentMessage>> sent_ GUARDED_BY(KernelMutex());
  std::optional<MSG> quit_ GUARDED_BY(KernelMutex());
  bool unseen_ GUARDED_BY(KernelMutex()) = false;
  bool ended_ GUARDED_BY(KernelMutex()) = false;
};

/// A registered window class.
struct WindowClass {
  DWORD processId = 0;    // of the process that registered it
  std::wstring name;      // as registered
  std::wstring menuName;  // owned copy when the menu was named by text
  ATOM atom = 0;
  WNDCLASSW description{};  // its text fields point into this record
  int windowCount GUARDED_BY(KernelMutex()) = 0;
};

/// A window. It lives while it is in the window table; a procedure call in
/// progress keeps the object (not the window) alive after removal. What is
/// set at creation never changes; the rest the kernel lock guards.
struct Window {
  HWND handle = nullptr;
  std::shared_ptr<WindowClass> windowClass;
  WNDPROC procedure = nullptr;
  std::wstring title;
  std::vector<unsigned char> extra GUARDED_BY(KernelMutex());
  std::shared_ptr<MessageQueue> queue;  // of the owning thread
  DWORD processId = 0;                  // of the owning thread's process
  bool visible GUARDED_BY(KernelMutex()) = false;
  bool destroying GUARDED_BY(KernelMutex()) = false;  // WM_DESTROY is being delivered
};

/// A registered hot key: of a window, or (window null) of the thread that
/// registered it. WM_HOTKEY goes to `queue`, the owner's thread's.
struct HotKeyEntry {
  std::shared_ptr<Window> window;
  std::shared_ptr<MessageQueue> queue;
  int id = 0;
  UINT modifiers = 0;  // as registered, MOD_KEYUP included
};

/// What identifies a hot key: the virtual key and the modifiers held with it
/// (MOD_KEYUP is a reporting option, not a key).
using KeyCombination = std::pair<UINT, UINT>;

/// Everything the window system keeps.
struct WindowSystem {
  // By registering process and folded name: each process has a class name space of its own.
  std::map<std::pair<DWORD, std::wstring>, std::shared_ptr<WindowClass>> classes GUARDED_BY(KernelMutex());
  ATOM nextClassAtom GUARDED_BY(KernelMutex()) = 0xC000;
  std::map<std::uintptr_t, std::shared_ptr<Window>> windows GUARDED_BY(KernelMutex());  // creation order
  // Window handles are never a multiple of four, so that a window handle can
  // never be mistaken for a kernel handle, and are never reused.
  std::uintptr_t nextWindow GUARDED_BY(KernelMutex()) = 0x10002;
  std::unordered_map<DWORD, std::shared_ptr<MessageQueue>> queues GUARDED_BY(KernelMutex());  // by thread id
  std::map<std::wstring, UINT> messageIds GUARDED_BY(KernelMutex());  // by folded name
  std::vector<std::wstring> messageNames GUARDED_BY(KernelMutex());   // from 0xC000 on
  std::map<KeyCombination, HotKeyEntry> hotKeys GUARDED_BY(KernelMutex());
  BoundedRecord<pndsim::MessageBoxRecord> messageBoxes GUARDED_BY(KernelMutex()){
      pndsim::kDefaultMessageBoxesCapacity};
  HWND foreground GUARDED_BY(KernelMutex()) = nullptr;
  unsigned heldModifierKeys GUARDED_BY(KernelMutex()) = 0;  // bit i: the i-th modifier key is down
};

/// The one window system.
WindowSystem& State();

/// The live window `handle` refers to, or null.
std::shared_ptr<Window> LookupWindow(HWND handle) REQUIRES(KernelMutex());

/// The class a name or atom refers to in the class name space of the process `processId`, or null.
std::shared_ptr<WindowClass> LookupClass(DWORD processId, LPCWSTR name) REQUIRES(KernelMutex());

/// The calling thread's queue (its object is `self`), created on first use.
const std::shared_ptr<MessageQueue>& CurrentQueue(ThreadObject& self) REQUIRES(KernelMutex());

/// Takes a window out of the table: drops its queued messages, its hot keys
/// and the foreground choice. Nothing happens when it is gone already.
void RemoveWindow(const std::shared_ptr<Window>& window) REQUIRES(KernelMutex());

/// Posts WM_HOTKEY (message time `time`) to the owner of the hot key registered for `virtualKey` with
/// `modifiers` (MOD_KEYUP ignored) going down, or up when `release` and it was registered with MOD_KEYUP.
/// Returns whether it was queued: false when no hot key matches, or its owner's queue is full.
bool DeliverHotKey(unsigned virtualKey, unsigned modifiers, bool release, DWORD time) REQUIRES(KernelMutex());

/// Releases the hot keys of a removed window.
void DropHotKeys(HWND window) REQUIRES(KernelMutex());

/// Releases the hot keys a thread registered without a window, once its
/// queue ends.
void DropThreadHotKeys(const MessageQueue& queue) REQUIRES(KernelMutex());

/// True when a name argument is an atom rather than a pointer to text.
bool IsAtom(LPCWSTR name);

/// `value` as "0x..." in upper-case hex.
std::string Hex(std::uintptr_t value);

/// A readable name of a message number for the trace: the standard name or
/// the registered one, with the number.
std::string DescribeMessage(UINT message) REQUIRES(KernelMutex());

/// For a message whose long parameter points at data (WM_COPYDATA), a copy
/// of that data for a receiver on another thread, stored in `payload`, and the
/// long parameter that points at the copy; otherwise `lParam` itself. The
/// sender's memory is then never read from the receiving thread.
LPARAM CopyForReceiver(UINT message, LPARAM lParam, std::shared_ptr<void>& payload);

/// Runs the procedure of the oldest message sent to `queue` (the calling
/// thread's) and hands the result to its sender. Releases the kernel lock
/// during the call, and holds it again when it returns. Requires a waiting sent message.
void DeliverSent(KernelLock& lock, MessageQueue& queue) REQUIRES(KernelMutex());

}  // namespace sim::window

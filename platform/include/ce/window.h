// Windows, window classes, message queues and loops, registered messages,
// hot keys and message boxes of the device platform.
#pragma once

#include "ce/types.h"

using WNDPROC = LRESULT(CALLBACK*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

struct POINT {
  LONG x;
  LONG y;
};

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};

struct WNDCLASSW {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCWSTR lpszMenuName;
  LPCWSTR lpszClassName;
};

struct CREATESTRUCTW {
  LPVOID lpCreateParams;
  HINSTANCE hInstance;
  HMENU hMenu;
  HWND hwndParent;
  int cy;
  int cx;
  int y;
  int x;
  LONG style;
  LPCWSTR lpszName;
  LPCWSTR lpszClass;
  DWORD dwExStyle;
};

struct COPYDATASTRUCT {
  ULONG_PTR dwData;
  DWORD cbData;
  LPVOID lpData;
};

// Last-error codes of the window system.
inline constexpr DWORD ERROR_WINDOW_OF_OTHER_THREAD = 1408;
inline constexpr DWORD ERROR_CLASS_DOES_NOT_EXIST = 1411;
inline constexpr DWORD ERROR_CLASS_HAS_WINDOWS = 1412;

inline constexpr UINT WM_CREATE = 0x0001;
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_QUIT = 0x0012;
inline constexpr UINT WM_COPYDATA = 0x004A;
inline constexpr UINT WM_KEYDOWN = 0x0100;
inline constexpr UINT WM_KEYUP = 0x0101;
inline constexpr UINT WM_SYSKEYDOWN = 0x0104;
inline constexpr UINT WM_SYSKEYUP = 0x0105;
inline constexpr UINT WM_HOTKEY = 0x0312;
inline constexpr UINT WM_USER = 0x0400;

inline constexpr UINT CS_DBLCLKS = 0x0008;
inline constexpr DWORD WS_VISIBLE = 0x10000000;

// Stock objects.
inline constexpr int WHITE_BRUSH = 0;
inline constexpr int LTGRAY_BRUSH = 1;
inline constexpr int GRAY_BRUSH = 2;
inline constexpr int DKGRAY_BRUSH = 3;
inline constexpr int BLACK_BRUSH = 4;
inline constexpr int NULL_BRUSH = 5;
inline constexpr int WHITE_PEN = 6;
inline constexpr int BLACK_PEN = 7;
inline constexpr int NULL_PEN = 8;
inline constexpr int SYSTEM_FONT = 13;
inline constexpr int DEFAULT_PALETTE = 15;

inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;

inline constexpr UINT MOD_ALT = 0x0001;
inline constexpr UINT MOD_CONTROL = 0x0002;
inline constexpr UINT MOD_SHIFT = 0x0004;
inline constexpr UINT MOD_WIN = 0x0008;
inline constexpr UINT MOD_KEYUP = 0x1000;

// PeekMessageW's removal flags and the wake masks of MsgWaitForMultipleObjectsEx.
inline constexpr UINT PM_NOREMOVE = 0x0000;
inline constexpr UINT PM_REMOVE = 0x0001;
inline constexpr DWORD QS_POSTMESSAGE = 0x0008;
inline constexpr DWORD QS_SENDMESSAGE = 0x0040;

inline constexpr UINT MB_OK = 0x00000000;
inline constexpr int IDOK = 1;

// Class and window names may also be given as an atom (a value below 0x10000
// in place of the pointer), as RegisterClassW returns it. Class names, window
// titles and registered message names compare without regard to case.

/// Registers a window class for this process (the instance is kept but plays
/// no part in lookups). Returns its atom (0xC000 and up). Returns 0 with
/// ERROR_INVALID_PARAMETER for a missing record, name or procedure or negative
/// extra-byte counts, ERROR_CLASS_ALREADY_EXISTS when the name is taken, and
/// ERROR_NOT_ENOUGH_MEMORY when a failure was injected (Call::RegisterClass).
PNDSIM_API ATOM WINAPI RegisterClassW(const WNDCLASSW* windowClass);
/// Fills `windowClass` with the registration of `className`; its class-name
/// field is `className` itself. FALSE with ERROR_CLASS_DOES_NOT_EXIST for an
/// unknown class, ERROR_INVALID_PARAMETER for a null record.
PNDSIM_API BOOL WINAPI GetClassInfoW(HINSTANCE instance, LPCWSTR className, WNDCLASSW* windowClass);
/// Removes a class. FALSE with ERROR_CLASS_DOES_NOT_EXIST when unknown and
/// ERROR_CLASS_HAS_WINDOWS while windows of it exist.
PNDSIM_API BOOL WINAPI UnregisterClassW(LPCWSTR className, HINSTANCE instance);

/// Creates a window owned by the calling thread and sends it WM_CREATE (lParam
/// a CREATESTRUCTW carrying `parameter`) before returning. Returns null with
/// ERROR_CANNOT_FIND_WND_CLASS for an unknown class, ERROR_INVALID_WINDOW_HANDLE
/// for an invalid parent, ERROR_NOT_ENOUGH_MEMORY when a failure was injected
/// (Call::CreateWindow), and when WM_CREATE answers -1 (the window is then
/// destroyed again). The window is visible when `style` holds WS_VISIBLE.
PNDSIM_API HWND WINAPI CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style,
                                       int x, int y, int width, int height, HWND parent, HMENU menu,
                                       HINSTANCE instance, LPVOID parameter);
/// Shows (any command but SW_HIDE) or hides a window. Returns whether it was
/// visible before; FALSE with ERROR_INVALID_WINDOW_HANDLE for an invalid one.
PNDSIM_API BOOL WINAPI ShowWindow(HWND window, int command);
/// Destroys a window of the calling thread: sends WM_DESTROY, then drops its
/// posted messages, answers 0 to messages sent to it and not yet delivered,
/// and releases its hot keys. FALSE with ERROR_INVALID_WINDOW_HANDLE for an
/// invalid window and ERROR_ACCESS_DENIED for another thread's window.
PNDSIM_API BOOL WINAPI DestroyWindow(HWND window);
/// TRUE while `window` exists.
PNDSIM_API BOOL WINAPI IsWindow(HWND window);
/// The default procedure: WM_CLOSE destroys the window; every message answers 0.
PNDSIM_API LRESULT WINAPI DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
/// Reads the 32-bit value at byte `index` of the window's extra bytes. Returns
/// 0 with ERROR_INVALID_WINDOW_HANDLE for an invalid window and
/// ERROR_INVALID_INDEX when the value does not lie within the extra bytes.
PNDSIM_API LONG WINAPI GetWindowLongW(HWND window, int index);
/// Stores a 32-bit value at byte `index` of the extra bytes and returns the
/// previous one; fails like GetWindowLongW. A success does not clear the last
/// error, so a previous value of 0 is told from a failure as on the device.
PNDSIM_API LONG WINAPI SetWindowLongW(HWND window, int index, LONG value);
/// GetWindowLongW for a pointer-sized value.
PNDSIM_API LONG_PTR WINAPI GetWindowLongPtrW(HWND window, int index);
/// SetWindowLongW for a pointer-sized value.
PNDSIM_API LONG_PTR WINAPI SetWindowLongPtrW(HWND window, int index, LONG_PTR value);

/// Waits for the next posted message of the calling thread that the filter
/// accepts (`window` null: any; else that window's only; `filterMin` and
/// `filterMax` both 0: any number, else that inclusive range) and removes it.
/// WM_QUIT passes every range filter; the quit request of PostQuitMessage
/// passes the window filter too. Messages sent from other threads are
/// delivered to their procedures while it waits. Returns 0 for WM_QUIT, -1 with
/// ERROR_INVALID_WINDOW_HANDLE when `window` is not a window of the calling
/// thread (also when it is destroyed during the wait), -1 with
/// ERROR_INVALID_PARAMETER for a null `message`, else TRUE.
PNDSIM_API BOOL WINAPI GetMessageW(MSG* message, HWND window, UINT filterMin, UINT filterMax);
/// Generates no characters (there is no keyboard layout); returns TRUE for
/// key messages, as the device platform does whatever it generates, FALSE
/// otherwise.
PNDSIM_API BOOL WINAPI TranslateMessage(const MSG* message);
/// Calls the procedure of the message's window and returns its result. Returns
/// 0 for a thread message, with ERROR_INVALID_WINDOW_HANDLE for an invalid
/// window and ERROR_WINDOW_OF_OTHER_THREAD for another thread's window.
PNDSIM_API LRESULT WINAPI DispatchMessageW(const MSG* message);
/// Appends a message to the queue of the window's thread (`window` null: of
/// the calling thread) and returns at once. FALSE with
/// ERROR_INVALID_WINDOW_HANDLE for an invalid window,
/// ERROR_NOT_ENOUGH_QUOTA when that queue holds 10,000 posted messages, and
/// ERROR_MESSAGE_SYNC_ONLY for WM_COPYDATA, which only SendMessageW carries.
PNDSIM_API BOOL WINAPI PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
/// Calls the window's procedure on the window's thread and returns its result.
/// From another thread the caller blocks until the owner has run it, and
/// meanwhile delivers messages sent to its own windows. Returns 0 with
/// ERROR_INVALID_WINDOW_HANDLE for an invalid window, and 0 when the window is
/// destroyed or its thread ends before it answered.
PNDSIM_API LRESULT WINAPI SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
/// Asks the calling thread's message loop to end: GetMessageW returns WM_QUIT
/// (wParam `exitCode`, hwnd null) once no posted message its filter accepts
/// is waiting, whatever its filter, so messages posted later are still
/// retrieved first. It takes no room in the queue; calling it again only
/// replaces the exit code.
PNDSIM_API void WINAPI PostQuitMessage(int exitCode);

/// The top-most (most recently created) window of class `className` titled
/// `windowName`, both compared without regard to case; a null argument
/// matches any. Null when none matches.
PNDSIM_API HWND WINAPI FindWindowW(LPCWSTR className, LPCWSTR windowName);
/// The id of the thread that owns `window`; stores the process id in
/// `*processId` when given. 0 with ERROR_INVALID_WINDOW_HANDLE for an invalid
/// window.
PNDSIM_API DWORD WINAPI GetWindowThreadProcessId(HWND window, DWORD* processId);
/// The window the simulated user works with (pndsim::SetForegroundWindow), or
/// null.
PNDSIM_API HWND WINAPI GetForegroundWindow();
/// The message number for `name`, 0xC000 and up; the same name gives the same
/// number. 0 with ERROR_INVALID_PARAMETER for a null or empty name.
PNDSIM_API UINT WINAPI RegisterWindowMessageW(LPCWSTR name);

/// Makes `window` (of any thread) the owner of the hot key `virtualKey` (1 to
/// 0xFE) pressed with `modifiers`; the same key with other modifiers is
/// another hot key, and MOD_KEYUP only asks for releases too. With `window`
/// null the hot key belongs to the calling thread: its messages go to that
/// thread's queue with a null hwnd, and it ends with the thread. Each press
/// posts WM_HOTKEY (wParam `id`, lParam the modifiers in the low and the key
/// in the high 16 bits), and each release too when `modifiers` holds
/// MOD_KEYUP. Registering the same owner and id again replaces key and
/// modifiers. FALSE with ERROR_HOTKEY_ALREADY_REGISTERED when another owner or
/// id holds the combination or a failure was injected (Call::RegisterHotKey),
/// ERROR_INVALID_WINDOW_HANDLE for an invalid window, ERROR_INVALID_PARAMETER
/// for an unknown modifier or a key out of range.
PNDSIM_API BOOL WINAPI RegisterHotKey(HWND window, int id, UINT modifiers, UINT virtualKey);
/// Releases the hot key `id` of `window` (null: of the calling thread). FALSE
/// with ERROR_HOTKEY_NOT_REGISTERED when it has none,
/// ERROR_INVALID_WINDOW_HANDLE for an invalid window.
PNDSIM_API BOOL WINAPI UnregisterHotKey(HWND window, int id);

/// A handle of a predefined brush, pen, font or palette, the same for the life
/// of the process; null for an unknown object.
PNDSIM_API HGDIOBJ WINAPI GetStockObject(int object);
/// Records the box in the simulator's trace and its list of message boxes and
/// answers IDOK at once, whatever the buttons. A null caption reads "Error".
/// 0 with ERROR_INVALID_WINDOW_HANDLE for an invalid owner.
PNDSIM_API int WINAPI MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

/// Delivers every message other threads have sent to the calling thread, then
/// looks for a posted message that passes the filter (as GetMessageW's) and
/// copies it to `message`, removing it from the queue with PM_REMOVE. Returns
/// FALSE at once when no posted message passes; never blocks. A quit request
/// (PostQuitMessage) is found as WM_QUIT once no posted message passes, and
/// stays without PM_REMOVE. A null `message` fails with
/// ERROR_INVALID_PARAMETER, a `window` that is not a window of the calling
/// thread with ERROR_INVALID_WINDOW_HANDLE.
PNDSIM_API BOOL WINAPI PeekMessageW(MSG* message, HWND window, UINT filterMin, UINT filterMax,
                                    UINT removeFlags);

/// Waits until one of `handles` is signalled (WAIT_OBJECT_0 + index), the
/// calling thread's queue holds input of a kind `wakeMask` names
/// (WAIT_OBJECT_0 + count: QS_SENDMESSAGE for a message sent from another
/// thread, QS_POSTMESSAGE for a posted message not yet looked at), or the
/// time-out passes (WAIT_TIMEOUT). `count` may be 0. Sent messages are not
/// delivered by the wait itself: PeekMessageW or GetMessageW delivers them.
/// Fails (WAIT_FAILED) with ERROR_INVALID_PARAMETER for more than
/// MAXIMUM_WAIT_OBJECTS - 1 handles (the queue takes the last place) and
/// ERROR_INVALID_HANDLE for a handle that cannot be waited on.
PNDSIM_API DWORD WINAPI MsgWaitForMultipleObjectsEx(DWORD count, const HANDLE* handles, DWORD milliseconds,
                                                    DWORD wakeMask, DWORD flags);

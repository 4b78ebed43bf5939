// Windows, window classes, message queues and loops, registered messages,
// hot keys and message boxes of the device platform.
#pragma once

#include "ce/types.h"

using WNDPROC = LRESULT (*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
using LONG_PTR = std::intptr_t;
using ULONG_PTR = std::uintptr_t;

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

inline constexpr UINT WM_CREATE = 0x0001;
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_QUIT = 0x0012;
inline constexpr UINT WM_COPYDATA = 0x004A;
inline constexpr UINT WM_HOTKEY = 0x0312;
inline constexpr UINT WM_USER = 0x0400;

inline constexpr UINT CS_DBLCLKS = 0x0008;
inline constexpr int WHITE_BRUSH = 0;
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;

inline constexpr UINT MOD_ALT = 0x0001;
inline constexpr UINT MOD_CONTROL = 0x0002;
inline constexpr UINT MOD_SHIFT = 0x0004;
inline constexpr UINT MOD_WIN = 0x0008;
inline constexpr UINT MOD_KEYUP = 0x1000;

inline constexpr UINT MB_OK = 0x00000000;
inline constexpr int IDOK = 1;

PNDSIM_API ATOM RegisterClassW(const WNDCLASSW* windowClass);
PNDSIM_API BOOL GetClassInfoW(HINSTANCE instance, LPCWSTR className, WNDCLASSW* windowClass);
PNDSIM_API BOOL UnregisterClassW(LPCWSTR className, HINSTANCE instance);

PNDSIM_API HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x,
                                int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                                LPVOID parameter);
PNDSIM_API BOOL ShowWindow(HWND window, int command);
PNDSIM_API BOOL DestroyWindow(HWND window);
PNDSIM_API BOOL IsWindow(HWND window);
PNDSIM_API LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
PNDSIM_API LONG GetWindowLongW(HWND window, int index);
PNDSIM_API LONG SetWindowLongW(HWND window, int index, LONG value);
PNDSIM_API LONG_PTR GetWindowLongPtrW(HWND window, int index);
PNDSIM_API LONG_PTR SetWindowLongPtrW(HWND window, int index, LONG_PTR value);

PNDSIM_API BOOL GetMessageW(MSG* message, HWND window, UINT filterMin, UINT filterMax);
PNDSIM_API BOOL TranslateMessage(const MSG* message);
PNDSIM_API LRESULT DispatchMessageW(const MSG* message);
PNDSIM_API BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
PNDSIM_API LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
PNDSIM_API void PostQuitMessage(int exitCode);

PNDSIM_API HWND FindWindowW(LPCWSTR className, LPCWSTR windowName);
PNDSIM_API DWORD GetWindowThreadProcessId(HWND window, DWORD* processId);
PNDSIM_API HWND GetForegroundWindow();
PNDSIM_API UINT RegisterWindowMessageW(LPCWSTR name);

PNDSIM_API BOOL RegisterHotKey(HWND window, int id, UINT modifiers, UINT virtualKey);
PNDSIM_API BOOL UnregisterHotKey(HWND window, int id);

PNDSIM_API HGDIOBJ GetStockObject(int object);
PNDSIM_API int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

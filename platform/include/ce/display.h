// Display queries of the device platform: the screen's device context and its
// capabilities.
#pragma once

#include "ce/types.h"

inline constexpr int HORZRES = 8;
inline constexpr int VERTRES = 10;
inline constexpr int BITSPIXEL = 12;

/// The device context of `window`'s client area; null gives the screen's.
/// Null with ERROR_INVALID_WINDOW_HANDLE when `window` is not a window.
PNDSIM_API HDC WINAPI GetDC(HWND window);
/// Gives back a context from GetDC. 1 when released, 0 otherwise.
PNDSIM_API int WINAPI ReleaseDC(HWND window, HDC context);
/// One capability of a context: HORZRES, VERTRES, BITSPIXEL; 0 for anything
/// else or a bad context.
PNDSIM_API int WINAPI GetDeviceCaps(HDC context, int index);

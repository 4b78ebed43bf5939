// Basic types, handles and constants of the operating-system interface the HAL
// is written against. The names and widths are those of the 32-bit device
// platform; pointer-sized message parameters keep pointer width here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#if defined(PNDSIM_BUILDING)
#define PNDSIM_API __attribute__((visibility("default")))
#else
#define PNDSIM_API
#endif

using BOOL = int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
// DWORD and LONG are the platform's unsigned long and long, 32 bits wide there; where long is wider (LP64),
// the 32-bit types stand in, so that every record keeps its layout.
using DWORD = std::conditional_t<sizeof(unsigned long) == 4, unsigned long, std::uint32_t>;
using LONG = std::conditional_t<sizeof(long) == 4, long, std::int32_t>;
using UINT = unsigned int;
using WCHAR = wchar_t;
using LPCWSTR = const wchar_t*;
using LPWSTR = wchar_t*;
using LPVOID = void*;
using LPCVOID = const void*;
// Pointer-wide integers as the platform spells them: INT_PTR and UINT_PTR are int where int is as wide as
// a pointer, LONG_PTR and ULONG_PTR long where long is; otherwise the pointer-wide types of the compiler.
using INT_PTR = std::conditional_t<sizeof(int) == sizeof(void*), int, std::intptr_t>;
using UINT_PTR = std::conditional_t<sizeof(unsigned int) == sizeof(void*), unsigned int, std::uintptr_t>;
using LONG_PTR = std::conditional_t<sizeof(long) == sizeof(void*), long, std::intptr_t>;
using ULONG_PTR = std::conditional_t<sizeof(unsigned long) == sizeof(void*), unsigned long, std::uintptr_t>;
using SIZE_T = ULONG_PTR;
using WPARAM = UINT_PTR;
using LPARAM = LONG_PTR;
using LRESULT = LONG_PTR;
using ATOM = WORD;

// The calling convention of the platform's calls and of the functions it calls back: one convention on
// this platform's processors.
#if !defined(WINAPI)
#define WINAPI
#endif
#if !defined(CALLBACK)
#define CALLBACK
#endif

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;

using HANDLE = void*;
struct HWND__;
using HWND = HWND__*;
struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;
struct HKEY__;
using HKEY = HKEY__*;
// Any object of the graphics interface; a brush is a handle type of its own.
using HGDIOBJ = void*;
struct HBRUSH__;
using HBRUSH = HBRUSH__*;
struct HICON__;
using HICON = HICON__*;
using HCURSOR = HICON;
struct HMENU__;
using HMENU = HMENU__*;
struct HDC__;
using HDC = HDC__*;

inline constexpr DWORD INFINITE = 0xFFFFFFFFu;

// Wait results.
inline constexpr DWORD WAIT_OBJECT_0 = 0;
inline constexpr DWORD WAIT_TIMEOUT = 258;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;
inline constexpr DWORD MAXIMUM_WAIT_OBJECTS = 64;

// Last-error codes.
inline constexpr DWORD ERROR_SUCCESS = 0;
inline constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
inline constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
inline constexpr DWORD ERROR_ACCESS_DENIED = 5;
inline constexpr DWORD ERROR_INVALID_HANDLE = 6;
inline constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr DWORD ERROR_OUTOFMEMORY = 14;
inline constexpr DWORD ERROR_NOT_SUPPORTED = 50;
inline constexpr DWORD ERROR_INVALID_PARAMETER = 87;
inline constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr DWORD ERROR_ALREADY_EXISTS = 183;
inline constexpr DWORD ERROR_BAD_EXE_FORMAT = 193;
inline constexpr DWORD ERROR_MORE_DATA = 234;
inline constexpr DWORD ERROR_NO_MORE_ITEMS = 259;
inline constexpr DWORD ERROR_GEN_FAILURE = 31;
inline constexpr DWORD ERROR_BAD_PATHNAME = 161;
inline constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;
inline constexpr DWORD ERROR_NOT_ENOUGH_QUOTA = 1816;
inline constexpr DWORD ERROR_TIMEOUT = 1460;
inline constexpr DWORD ERROR_MESSAGE_SYNC_ONLY = 1159;
inline constexpr DWORD ERROR_CLASS_ALREADY_EXISTS = 1410;
inline constexpr DWORD ERROR_HOTKEY_ALREADY_REGISTERED = 1409;
inline constexpr DWORD ERROR_HOTKEY_NOT_REGISTERED = 1419;
inline constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;
inline constexpr DWORD ERROR_CANNOT_FIND_WND_CLASS = 1407;
inline constexpr DWORD ERROR_INVALID_INDEX = 1413;

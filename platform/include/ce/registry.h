// The registry of the device platform: predefined roots, access rights, value types, and the calls
// that open keys, enumerate subkeys, read values and close keys. String values hold UTF-16 bytes
// whatever wchar_t's width is (see ce/utf16.h to decode them).
#pragma once

#include <cstdint>

#include "ce/time.h"
#include "ce/types.h"
#include "ce/utf16.h"

using REGSAM = DWORD;
using PHKEY = HKEY*;

// Predefined root keys: always open, never closed by RegCloseKey. The platform defines them as these
// fixed handle values, negative 32-bit numbers widened with their sign to a pointer.
// NOLINTBEGIN(performance-no-int-to-ptr)
inline const HKEY HKEY_CLASSES_ROOT =
    reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(0x80000000u)));
inline const HKEY HKEY_CURRENT_USER =
    reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(0x80000001u)));
inline const HKEY HKEY_LOCAL_MACHINE =
    reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(0x80000002u)));
// NOLINTEND(performance-no-int-to-ptr)

// Access rights (REGSAM).
inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_NOTIFY = 0x0010;
inline constexpr REGSAM KEY_CREATE_LINK = 0x0020;
inline constexpr REGSAM READ_CONTROL = 0x00020000;
inline constexpr REGSAM STANDARD_RIGHTS_READ = READ_CONTROL;
inline constexpr REGSAM STANDARD_RIGHTS_WRITE = READ_CONTROL;
inline constexpr REGSAM STANDARD_RIGHTS_ALL = 0x001F0000;
inline constexpr REGSAM SYNCHRONIZE = 0x00100000;
inline constexpr REGSAM KEY_READ =
    (STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY) & ~SYNCHRONIZE;
inline constexpr REGSAM KEY_WRITE =
    (STANDARD_RIGHTS_WRITE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY) & ~SYNCHRONIZE;
inline constexpr REGSAM KEY_EXECUTE = KEY_READ & ~SYNCHRONIZE;
inline constexpr REGSAM KEY_ALL_ACCESS =
    (STANDARD_RIGHTS_ALL | KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_ENUMERATE_SUB_KEYS |
     KEY_NOTIFY | KEY_CREATE_LINK) &
    ~SYNCHRONIZE;

// Value types.
inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;
inline constexpr DWORD REG_DWORD_LITTLE_ENDIAN = 4;
inline constexpr DWORD REG_DWORD_BIG_ENDIAN = 5;
inline constexpr DWORD REG_LINK = 6;
inline constexpr DWORD REG_MULTI_SZ = 7;

/// Answer for a key that was deleted while a handle to it was still open.
inline constexpr DWORD ERROR_KEY_DELETED = 1018;

/// Opens the subkey `subKey` ("\\"-separated path, matched case-insensitively; null or empty opens
/// `key` itself again) of the open key `key` into `*result`. `options` and `desired` are accepted
/// and not enforced, as on the device. Returns ERROR_SUCCESS; ERROR_INVALID_PARAMETER for a null
/// `result`; ERROR_INVALID_HANDLE for a key that is not open; ERROR_KEY_DELETED when `key` was
/// deleted; ERROR_BAD_PATHNAME for a path that begins with a backslash; ERROR_FILE_NOT_FOUND when the
/// path does not exist. `*result` is null after a failure. A failure injected with
/// pndsim::Call::RegOpenKey answers ERROR_ACCESS_DENIED.
PNDSIM_API LONG WINAPI RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM desired, PHKEY result);

/// Writes the name of subkey number `index` (in creation order) of `key` into `name`. On entry
/// `*nameChars` is the buffer's size in characters including the terminator; on success it becomes
/// the name's length without the terminator. A buffer too small for name and terminator gives
/// ERROR_MORE_DATA and leaves buffer and count unchanged. `className`, when given, receives the empty
/// class name (its size in `*classChars`, which must then be given and becomes 0); `lastWrite`, when
/// given, the key's last write time. Returns ERROR_SUCCESS; ERROR_NO_MORE_ITEMS when `index` is past
/// the last subkey; ERROR_INVALID_PARAMETER for a null `name` or `nameChars`, a non-null `reserved`
/// or a class buffer without its size; ERROR_INVALID_HANDLE or ERROR_KEY_DELETED as RegOpenKeyExW.
PNDSIM_API LONG WINAPI RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, DWORD* nameChars, DWORD* reserved,
                                     LPWSTR className, DWORD* classChars, FILETIME* lastWrite);

/// Reads the value `valueName` (matched case-insensitively; null or empty is the key's default
/// value) of `key`. Its type goes to `*type` when `type` is given. With `data` null, `*dataBytes`
/// (when given) receives the value's size in bytes. With `data` given, `*dataBytes` is the buffer's
/// size: when it is large enough the value is copied and `*dataBytes` becomes its size, otherwise
/// the answer is ERROR_MORE_DATA with the needed size in `*dataBytes` and the buffer untouched.
/// Returns ERROR_SUCCESS; ERROR_FILE_NOT_FOUND for a missing value; ERROR_INVALID_PARAMETER for a
/// non-null `reserved` or `data` without `dataBytes`; ERROR_INVALID_HANDLE or ERROR_KEY_DELETED as
/// RegOpenKeyExW.
PNDSIM_API LONG WINAPI RegQueryValueExW(HKEY key, LPCWSTR valueName, DWORD* reserved, DWORD* type, BYTE* data,
                                        DWORD* dataBytes);

/// Closes a key opened with RegOpenKeyExW; closing a predefined root succeeds and does nothing.
/// Returns ERROR_SUCCESS, or ERROR_INVALID_HANDLE for a key that is not open.
PNDSIM_API LONG WINAPI RegCloseKey(HKEY key);

// Dynamic loading of libraries on the device platform.
#pragma once

#include "ce/types.h"

using FARPROC = INT_PTR(WINAPI*)();

inline constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
inline constexpr DWORD ERROR_PROC_NOT_FOUND = 127;

/// Loads a library file of the device's file tree, by full path or by name
/// ("name.dll"; a name without extension gets ".dll") in the device's search
/// order: the application's folder, \Windows, the root. Every name of one
/// file gives one module, whose references are counted. Null with
/// ERROR_MOD_NOT_FOUND when there is no such file.
PNDSIM_API HMODULE WINAPI LoadLibraryW(LPCWSTR fileName);
/// The address of an exported function by name; null with
/// ERROR_PROC_NOT_FOUND when the library has none.
PNDSIM_API FARPROC WINAPI GetProcAddressW(HMODULE module, LPCWSTR name);
/// Drops one reference to a loaded library; FALSE for a bad handle.
PNDSIM_API BOOL WINAPI FreeLibrary(HMODULE module);

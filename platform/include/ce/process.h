// Processes of the device platform: starting a program by its file name,
// the handles of its process and first thread, its exit code, and the file
// name of the calling process's executable.
#pragma once

#include "ce/kernel.h"

struct STARTUPINFOW;
using LPSTARTUPINFOW = STARTUPINFOW*;

struct PROCESS_INFORMATION {
  HANDLE hProcess;
  HANDLE hThread;
  DWORD dwProcessId;
  DWORD dwThreadId;
};
using LPPROCESS_INFORMATION = PROCESS_INFORMATION*;

/// Starts the program stored at `applicationName` (compared without regard to
/// case) with `commandLine` (null: empty). On success fills `information`
/// with a handle of the new process, signalled once every thread of the
/// program has ended and its windows are gone, and of its first thread,
/// signalled when that thread ends, and returns TRUE; the caller closes both.
/// Returns FALSE with ERROR_INVALID_PARAMETER for a null file name or
/// `information`, or creation flags, inheritance, an environment or a folder
/// the platform does not take; ERROR_PATH_NOT_FOUND or ERROR_FILE_NOT_FOUND
/// when the file is missing (as GetFileAttributesW), ERROR_ACCESS_DENIED for
/// a folder, ERROR_BAD_EXE_FORMAT for a file that holds no program;
/// ERROR_NOT_ENOUGH_MEMORY when the process could not be created.
PNDSIM_API BOOL WINAPI CreateProcessW(LPCWSTR applicationName, LPWSTR commandLine,
                                      LPSECURITY_ATTRIBUTES processAttributes,
                                      LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles,
                                      DWORD creationFlags, LPVOID environment, LPCWSTR currentDirectory,
                                      LPSTARTUPINFOW startupInfo, LPPROCESS_INFORMATION information);

/// Stores the exit code of the process behind `process` in `*exitCode`:
/// STILL_ACTIVE while it runs (always, for GetCurrentProcess()'s
/// pseudo-handle); once every thread of it has ended, the code its main
/// function returned, whatever its value. FALSE with ERROR_INVALID_HANDLE for a handle
/// that is not a process, ERROR_INVALID_PARAMETER for a null `exitCode`.
PNDSIM_API BOOL WINAPI GetExitCodeProcess(HANDLE process, DWORD* exitCode);

/// Copies the full file name of the calling process's executable (`module`
/// null) or of the loaded library `module` into `fileName`, which holds
/// `size` characters, and terminates it. Returns the characters copied
/// without the terminator. A name that does not fit is cut to size - 1
/// characters; the result is then `size`, with ERROR_INSUFFICIENT_BUFFER.
/// Returns 0 with ERROR_INSUFFICIENT_BUFFER for a size of 0,
/// ERROR_INVALID_PARAMETER for a null buffer, and ERROR_MOD_NOT_FOUND for a
/// module that is not loaded.
PNDSIM_API DWORD WINAPI GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size);

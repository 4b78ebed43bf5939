// Kernel objects of the device platform: handles, events, threads, waits,
// critical sections, time ticks and the per-thread last error.
#pragma once

#include "ce/types.h"

struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;
using LPTHREAD_START_ROUTINE = DWORD(WINAPI*)(LPVOID parameter);

// Thread priorities on the platform's 0 (highest) to 7 (idle) scale.
inline constexpr int THREAD_PRIORITY_TIME_CRITICAL = 0;
inline constexpr int THREAD_PRIORITY_HIGHEST = 1;
inline constexpr int THREAD_PRIORITY_ABOVE_NORMAL = 2;
inline constexpr int THREAD_PRIORITY_NORMAL = 3;
inline constexpr int THREAD_PRIORITY_BELOW_NORMAL = 4;
inline constexpr int THREAD_PRIORITY_LOWEST = 5;
inline constexpr int THREAD_PRIORITY_ABOVE_IDLE = 6;
inline constexpr int THREAD_PRIORITY_IDLE = 7;
inline constexpr int THREAD_PRIORITY_ERROR_RETURN = 0x7FFFFFFF;

inline constexpr DWORD STILL_ACTIVE = 259;

PNDSIM_API BOOL WINAPI CloseHandle(HANDLE handle);

/// Creates an event, manual-reset or auto-reset, signalled when `initialState` is TRUE. A named event
/// (`name` not null nor empty; names compare exactly) is shared: when an event of that name exists, a
/// new handle to it is returned, its reset mode and state unchanged, with the last error
/// ERROR_ALREADY_EXISTS; otherwise the last error is ERROR_SUCCESS. A name lives until the last handle
/// to its event is closed. Null with ERROR_FILENAME_EXCED_RANGE for a name longer than 260 characters,
/// ERROR_NOT_ENOUGH_MEMORY when a failure was injected (Call::CreateEvent).
PNDSIM_API HANDLE WINAPI CreateEventW(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState,
                                      LPCWSTR name);
PNDSIM_API BOOL WINAPI SetEvent(HANDLE event);
PNDSIM_API BOOL WINAPI ResetEvent(HANDLE event);

PNDSIM_API HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES attributes, SIZE_T stackSize,
                                      LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD creationFlags,
                                      DWORD* threadId);
/// The pseudo-handle of the calling thread: every call that takes a thread handle, the waits included,
/// takes it for the caller's thread; closing it does nothing. A wait on it times out.
PNDSIM_API HANDLE WINAPI GetCurrentThread();
/// The pseudo-handle of the process, taken like GetCurrentThread(); a wait on it times out.
PNDSIM_API HANDLE WINAPI GetCurrentProcess();
PNDSIM_API DWORD WINAPI GetCurrentThreadId();
PNDSIM_API BOOL WINAPI SetThreadPriority(HANDLE thread, int priority);
PNDSIM_API int WINAPI GetThreadPriority(HANDLE thread);
[[noreturn]] PNDSIM_API void WINAPI ExitThread(DWORD exitCode);
PNDSIM_API BOOL WINAPI TerminateThread(HANDLE thread, DWORD exitCode);
/// Stores the thread's exit code in `*exitCode`, or STILL_ACTIVE while it runs; a thread that ended with
/// code 259 reports 259 too, so only a wait tells the two apart. FALSE with ERROR_INVALID_HANDLE for a
/// handle that is no thread, ERROR_INVALID_PARAMETER for a null `exitCode`.
PNDSIM_API BOOL WINAPI GetExitCodeThread(HANDLE thread, DWORD* exitCode);

/// Waits until the object is signalled (WAIT_OBJECT_0) or `milliseconds` pass (WAIT_TIMEOUT; INFINITE:
/// never). An auto-reset event that ends the wait is reset. Threads are signalled once ended; the
/// pseudo-handles of the current thread and process never are. WAIT_FAILED with ERROR_INVALID_HANDLE
/// for a handle that is no waitable object.
PNDSIM_API DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds);
/// Waits for any of `count` objects (1 to MAXIMUM_WAIT_OBJECTS) and returns WAIT_OBJECT_0 plus the index
/// of the first one signalled, or WAIT_TIMEOUT. WAIT_FAILED with ERROR_INVALID_PARAMETER for `waitAll`
/// (the device platform has no wait for all), a bad count or null `handles`, with ERROR_INVALID_HANDLE
/// as WaitForSingleObject.
PNDSIM_API DWORD WINAPI WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll,
                                               DWORD milliseconds);

PNDSIM_API void WINAPI Sleep(DWORD milliseconds);
PNDSIM_API DWORD WINAPI GetTickCount();

PNDSIM_API DWORD WINAPI GetLastError();
PNDSIM_API void WINAPI SetLastError(DWORD error);

// A recursive lock owned by one thread at a time. The record only points at
// the emulation's lock, so it can be copied around like the device's.
struct CRITICAL_SECTION {
  void* lock;
};
using LPCRITICAL_SECTION = CRITICAL_SECTION*;

PNDSIM_API void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION section);
PNDSIM_API void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION section);
PNDSIM_API void WINAPI EnterCriticalSection(LPCRITICAL_SECTION section);
PNDSIM_API BOOL WINAPI TryEnterCriticalSection(LPCRITICAL_SECTION section);
PNDSIM_API void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION section);

inline LONG InterlockedIncrement(LONG volatile* value) {
  return __atomic_add_fetch(value, 1, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedDecrement(LONG volatile* value) {
  return __atomic_sub_fetch(value, 1, __ATOMIC_SEQ_CST);
}

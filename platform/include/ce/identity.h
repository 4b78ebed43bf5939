// Device identity and system services of the device platform: the hardware
// layer's identity control codes and records, the OEM information text, touch
// calibration, file attributes, the shell's execute call, and the division of
// memory between object store and programs.
#pragma once

#include "ce/device_control.h"
#include "ce/types.h"
#include "ce/window.h"  // SW_SHOWNORMAL

// The system's control code of the kernel I/O control call (declared in ce/power.h) for the device
// identifier; the device's own codes are in ce/device_control.h.
inline constexpr DWORD IOCTL_HAL_GET_DEVICEID = 0x01010054;

// The head of the device-identifier record; offsets count from its start.
struct DEVICE_ID {
  DWORD dwSize;
  DWORD dwPresetIDOffset;
  DWORD dwPresetIDBytes;
  DWORD dwPlatformIDOffset;
  DWORD dwPlatformIDBytes;
};

inline constexpr UINT SPI_GETOEMINFO = 0x102;

/// Reads a system parameter. SPI_GETOEMINFO copies the OEM information text
/// with its terminator into `pvParam`, whose size in bytes is `uiParam`:
/// FALSE with ERROR_INSUFFICIENT_BUFFER, nothing written, when it does not
/// fit. Other actions: FALSE with ERROR_NOT_SUPPORTED.
PNDSIM_API BOOL WINAPI SystemParametersInfoW(UINT action, UINT uiParam, LPVOID pvParam, UINT winIni);

/// Runs the interactive touch-screen calibration and returns when the user
/// has finished it. TRUE when the calibration completed.
PNDSIM_API BOOL WINAPI TouchCalibrate();

inline constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x01;
inline constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
inline constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;

/// The attributes of the file or folder `path` in the device's file tree
/// (compared without regard to letter case, taken from the root; "\" is the
/// root folder). INVALID_FILE_ATTRIBUTES with ERROR_PATH_NOT_FOUND when a
/// folder on the way is missing, ERROR_FILE_NOT_FOUND when only the last
/// element is, or `path` is null.
PNDSIM_API DWORD WINAPI GetFileAttributesW(LPCWSTR path);

inline constexpr DWORD SEE_MASK_NOCLOSEPROCESS = 0x00000040;
inline constexpr DWORD SEE_MASK_FLAG_NO_UI = 0x00000400;

// The shell's execute record (60 bytes on the device, where pointers are 4).
struct SHELLEXECUTEINFO {
  DWORD cbSize;
  DWORD fMask;
  HWND hwnd;
  LPCWSTR lpVerb;
  LPCWSTR lpFile;
  LPCWSTR lpParameters;
  LPCWSTR lpDirectory;
  int nShow;
  HINSTANCE hInstApp;
  LPVOID lpIDList;
  LPCWSTR lpClass;
  HKEY hkeyClass;
  DWORD dwHotKey;
  HANDLE hIcon;
  HANDLE hProcess;
};
using LPSHELLEXECUTEINFO = SHELLEXECUTEINFO*;

/// Opens `info->lpFile` with `info->lpParameters`. A file without a folder is
/// looked for in "\Windows". With SEE_MASK_NOCLOSEPROCESS the started
/// program's process handle is stored in `hProcess` for the caller to close.
/// FALSE with ERROR_INVALID_PARAMETER for a missing record, a wrong cbSize or
/// no file, ERROR_FILE_NOT_FOUND when the program does not exist.
PNDSIM_API BOOL WINAPI ShellExecuteEx(LPSHELLEXECUTEINFO info);

/// The current division of memory: pages of the object store, pages of
/// program memory, and the page size in bytes. FALSE with
/// ERROR_INVALID_PARAMETER when a pointer is null.
PNDSIM_API BOOL WINAPI GetSystemMemoryDivision(DWORD* storePages, DWORD* ramPages, DWORD* pageSize);

inline constexpr DWORD SYSMEM_CHANGED = 0;
inline constexpr DWORD SYSMEM_MUSTREBOOT = 1;
inline constexpr DWORD SYSMEM_REBOOTPENDING = 2;
inline constexpr DWORD SYSMEM_FAILED = 3;

/// Gives `storePages` pages to the object store and the rest to programs.
/// SYSMEM_CHANGED, or SYSMEM_FAILED with nothing changed when either side
/// would get less than it uses.
PNDSIM_API DWORD WINAPI SetSystemMemoryDivision(DWORD storePages);

struct STORE_INFORMATION {
  DWORD dwStoreSize;
  DWORD dwFreeSize;
};

/// The object store's size and free bytes. FALSE with ERROR_INVALID_PARAMETER
/// for a null record.
PNDSIM_API BOOL WINAPI GetStoreInformation(STORE_INFORMATION* info);

// The byte counts are pointer-wide, 32 bits on the device.
struct MEMORYSTATUS {
  DWORD dwLength;
  DWORD dwMemoryLoad;
  SIZE_T dwTotalPhys;
  SIZE_T dwAvailPhys;
  SIZE_T dwTotalPageFile;
  SIZE_T dwAvailPageFile;
  SIZE_T dwTotalVirtual;
  SIZE_T dwAvailVirtual;
};

/// Fills `status` with the program memory's figures; does nothing for a
/// null record.
PNDSIM_API void WINAPI GlobalMemoryStatus(MEMORYSTATUS* status);

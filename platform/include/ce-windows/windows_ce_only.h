// What Windows CE declares and desktop Windows does not, written in the system's own style for a build of
// the HAL against desktop Windows' headers: the power manager, point-to-point message queues, device
// notifications, the kernel I/O control call, the object store and memory division, dynamic loading by a
// wide name, and the constants whose value Windows CE gives otherwise (thread priorities on its 0 to 7
// scale, SetSystemPowerState's). Only what the HAL's ce/ headers declare is here; platform/include/ce/
// documents each item.
#pragma once

#include <windows.h>

// Thread priorities: Windows CE counts 0 (highest) to 7 (idle).
#undef THREAD_PRIORITY_TIME_CRITICAL
#undef THREAD_PRIORITY_HIGHEST
#undef THREAD_PRIORITY_ABOVE_NORMAL
#undef THREAD_PRIORITY_NORMAL
#undef THREAD_PRIORITY_BELOW_NORMAL
#undef THREAD_PRIORITY_LOWEST
#undef THREAD_PRIORITY_IDLE
#define THREAD_PRIORITY_TIME_CRITICAL 0
#define THREAD_PRIORITY_HIGHEST 1
#define THREAD_PRIORITY_ABOVE_NORMAL 2
#define THREAD_PRIORITY_NORMAL 3
#define THREAD_PRIORITY_BELOW_NORMAL 4
#define THREAD_PRIORITY_LOWEST 5
#define THREAD_PRIORITY_ABOVE_IDLE 6
#define THREAD_PRIORITY_IDLE 7

// Hot keys that report their release too (winuser.h).
#define MOD_KEYUP 0x1000

// Key events (winuser.h).
#define VK_OFF 0xDF
#define KEYEVENTF_SILENT 0x0004

// System parameters (winuser.h).
#define SPI_GETOEMINFO 258

#if defined(__cplusplus)
extern "C" {
#endif

// Power status (winbase.h).
typedef struct _SYSTEM_POWER_STATUS_EX {
  BYTE ACLineStatus;
  BYTE BatteryFlag;
  BYTE BatteryLifePercent;
  BYTE Reserved1;
  DWORD BatteryLifeTime;
  DWORD BatteryFullLifeTime;
  BYTE Reserved2;
  BYTE BackupBatteryFlag;
  BYTE BackupBatteryLifePercent;
  BYTE Reserved3;
  DWORD BackupBatteryLifeTime;
  DWORD BackupBatteryFullLifeTime;
} SYSTEM_POWER_STATUS_EX, *PSYSTEM_POWER_STATUS_EX, *LPSYSTEM_POWER_STATUS_EX;

BOOL WINAPI GetSystemPowerStatusEx(PSYSTEM_POWER_STATUS_EX pstatus, BOOL fUpdate);

// The power manager (pm.h).
#define POWER_STATE_ON 0x00010000
#define POWER_STATE_OFF 0x00020000
#define POWER_STATE_CRITICAL 0x00040000
#define POWER_STATE_BOOT 0x00080000
#define POWER_STATE_IDLE 0x00100000
#define POWER_STATE_SUSPEND 0x00200000
#define POWER_STATE_RESET 0x00800000
#define POWER_FORCE 0x00001000

#define PBT_TRANSITION 0x00000001
#define PBT_RESUME 0x00000002
#define PBT_POWERSTATUSCHANGE 0x00000004
#define PBT_POWERINFOCHANGE 0x00000008
#define POWER_NOTIFY_ALL 0xFFFFFFFF

typedef struct _POWER_BROADCAST {
  DWORD Message;
  DWORD Flags;
  DWORD Length;
  WCHAR SystemPowerState[1];
} POWER_BROADCAST, *PPOWER_BROADCAST;

// Desktop Windows has a SetSystemPowerState(BOOL, BOOL) of its own: the name is mapped onto Windows CE's.
#define SetSystemPowerState CeSetSystemPowerState
DWORD WINAPI SetSystemPowerState(LPCWSTR psState, DWORD StateFlags, DWORD Options);
HANDLE WINAPI RequestPowerNotifications(HANDLE hMsgQ, DWORD Flags);
BOOL WINAPI StopPowerNotifications(HANDLE h);

// Input and the idle timer (winuser.h, pm.h).
void WINAPI SystemIdleTimerReset(void);
BOOL WINAPI TouchCalibrate(void);

// Point-to-point message queues (msgqueue.h).
typedef struct MSGQUEUEOPTIONS_OS {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwMaxMessages;
  DWORD cbMaxMessage;
  BOOL bReadAccess;
} MSGQUEUEOPTIONS, *LPMSGQUEUEOPTIONS, *PMSGQUEUEOPTIONS;

#define MSGQUEUE_NOPRECOMMIT 0x00000001
#define MSGQUEUE_ALLOW_BROKEN 0x00000002

HANDLE WINAPI CreateMsgQueue(LPCWSTR lpName, LPMSGQUEUEOPTIONS lpOptions);
BOOL WINAPI ReadMsgQueue(HANDLE hMsgQ, LPVOID lpBuffer, DWORD cbBufferSize, LPDWORD lpNumberOfBytesRead,
                         DWORD dwTimeout, DWORD* pdwFlags);
BOOL WINAPI CloseMsgQueue(HANDLE hMsgQ);

// Device notifications (pnp.h, storemgr.h).
typedef struct {
  GUID guidDevClass;
  DWORD dwReserved;
  BOOL fAttached;
  int cbName;
  WCHAR szName[1];
} DEVDETAIL, *PDEVDETAIL;

HANDLE WINAPI RequestDeviceNotifications(const GUID* devclass, HANDLE hMsgQ, BOOL fAll);
BOOL WINAPI StopDeviceNotifications(HANDLE h);

// The kernel I/O control call (pkfuncs.h).
#define IOCTL_HAL_REBOOT 0x0101003C
#define IOCTL_HAL_GET_DEVICEID 0x01010054

typedef struct _DEVICE_ID {
  DWORD dwSize;
  DWORD dwPresetIDOffset;
  DWORD dwPresetIDBytes;
  DWORD dwPlatformIDOffset;
  DWORD dwPlatformIDBytes;
} DEVICE_ID, *PDEVICE_ID;

BOOL WINAPI KernelIoControl(DWORD dwIoControlCode, LPVOID lpInBuf, DWORD nInBufSize, LPVOID lpOutBuf,
                            DWORD nOutBufSize, LPDWORD lpBytesReturned);

// The object store and the division of memory (winbase.h).
typedef struct STORE_INFORMATION {
  DWORD dwStoreSize;
  DWORD dwFreeSize;
} STORE_INFORMATION, *LPSTORE_INFORMATION;

#define SYSMEM_CHANGED 0
#define SYSMEM_MUSTREBOOT 1
#define SYSMEM_REBOOTPENDING 2
#define SYSMEM_FAILED 3

BOOL WINAPI GetStoreInformation(LPSTORE_INFORMATION lpsi);
BOOL WINAPI GetSystemMemoryDivision(LPDWORD lpdwStorePages, LPDWORD lpdwRamPages, LPDWORD lpdwPageSize);
DWORD WINAPI SetSystemMemoryDivision(DWORD dwStorePages);

// Dynamic loading by a wide name (winbase.h).
FARPROC WINAPI GetProcAddressW(HMODULE hModule, LPCWSTR lpProcName);

#if defined(__cplusplus)
}
#endif

// The class of mounted FAT file-system folders (storemgr.h): {169E1941-04CE-4690-97AC-776187EB67CC}.
DEFINE_GUID(FATFS_MOUNT_GUID, 0x169e1941, 0x4ce, 0x4690, 0x97, 0xac, 0x77, 0x61, 0x87, 0xeb, 0x67, 0xcc);

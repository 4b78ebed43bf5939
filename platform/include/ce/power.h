// Power management of the device platform: the power status report, system
// power states, injected key events, the idle timer, point-to-point message
// queues and the power broadcasts written to them, and the kernel I/O control
// call.
#pragma once

#include "ce/device_control.h"
#include "ce/types.h"

// The extended power-status record, 24 bytes as on the device platform.
struct SYSTEM_POWER_STATUS_EX {
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
};
static_assert(sizeof(SYSTEM_POWER_STATUS_EX) == 24, "the power-status record is 24 bytes");
using PSYSTEM_POWER_STATUS_EX = SYSTEM_POWER_STATUS_EX*;

inline constexpr BYTE AC_LINE_OFFLINE = 0x00;
inline constexpr BYTE AC_LINE_ONLINE = 0x01;
inline constexpr BYTE AC_LINE_BACKUP_POWER = 0x02;
inline constexpr BYTE AC_LINE_UNKNOWN = 0xFF;

inline constexpr BYTE BATTERY_FLAG_HIGH = 0x01;
inline constexpr BYTE BATTERY_FLAG_LOW = 0x02;
inline constexpr BYTE BATTERY_FLAG_CRITICAL = 0x04;
inline constexpr BYTE BATTERY_FLAG_CHARGING = 0x08;
inline constexpr BYTE BATTERY_FLAG_NO_BATTERY = 0x80;
inline constexpr BYTE BATTERY_FLAG_UNKNOWN = 0xFF;
inline constexpr BYTE BATTERY_PERCENTAGE_UNKNOWN = 0xFF;

/// Fills `status` with the current power status; `update` asks for a fresh
/// battery reading. FALSE with ERROR_INVALID_PARAMETER for a null record.
PNDSIM_API BOOL WINAPI GetSystemPowerStatusEx(PSYSTEM_POWER_STATUS_EX status, BOOL update);

// System power states and SetSystemPowerState options.
inline constexpr DWORD POWER_STATE_ON = 0x00010000;
inline constexpr DWORD POWER_STATE_OFF = 0x00020000;
inline constexpr DWORD POWER_STATE_CRITICAL = 0x00040000;
inline constexpr DWORD POWER_STATE_BOOT = 0x00080000;
inline constexpr DWORD POWER_STATE_IDLE = 0x00100000;
inline constexpr DWORD POWER_STATE_SUSPEND = 0x00200000;
inline constexpr DWORD POWER_STATE_RESET = 0x00800000;
inline constexpr DWORD POWER_FORCE = 0x00001000;

/// Asks the power manager to enter a system power state, by name or by state
/// flags. Only the suspend state is supported by the device; any other
/// request fails with ERROR_NOT_SUPPORTED. Returns ERROR_SUCCESS on success.
PNDSIM_API DWORD WINAPI SetSystemPowerState(LPCWSTR stateName, DWORD stateFlags, DWORD options);

// Virtual key and flags of injected key events.
inline constexpr BYTE VK_OFF = 0xDF;
inline constexpr DWORD KEYEVENTF_KEYUP = 0x0002;
inline constexpr DWORD KEYEVENTF_SILENT = 0x0004;

/// Injects a key event as the keyboard driver would: it takes the road of a
/// key pressed on the device. A key-down of VK_OFF suspends the device; a
/// modifier key is held until its key-up; any other key reaches the hot key
/// registered for it with the modifiers held. The extra value is
/// pointer-wide, 32 bits on the device.
PNDSIM_API void WINAPI keybd_event(BYTE virtualKey, BYTE scanCode, DWORD flags, ULONG_PTR extraInfo);

/// Restarts the system idle timer, keeping the device from idling off.
PNDSIM_API void WINAPI SystemIdleTimerReset();

// Point-to-point message queues.
struct MSGQUEUEOPTIONS {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwMaxMessages;  // 0: no limit
  DWORD cbMaxMessage;
  BOOL bReadAccess;
};
using LPMSGQUEUEOPTIONS = MSGQUEUEOPTIONS*;

inline constexpr DWORD MSGQUEUE_NOPRECOMMIT = 0x00000001;
inline constexpr DWORD MSGQUEUE_ALLOW_BROKEN = 0x00000002;

/// Creates an unnamed message queue; its handle is signalled while a message
/// waits. Null with ERROR_INVALID_PARAMETER for a missing or wrongly sized
/// record or a largest message of 0, ERROR_NOT_SUPPORTED for a name.
PNDSIM_API HANDLE WINAPI CreateMsgQueue(LPCWSTR name, LPMSGQUEUEOPTIONS options);
/// Takes the oldest message, waiting up to `timeout` ms for one. FALSE with
/// ERROR_TIMEOUT when none came, ERROR_INSUFFICIENT_BUFFER (the message is
/// dropped) when it does not fit, ERROR_INVALID_HANDLE for a bad queue.
PNDSIM_API BOOL WINAPI ReadMsgQueue(HANDLE queue, LPVOID buffer, DWORD bufferSize, DWORD* bytesRead,
                                    DWORD timeout, DWORD* flags);
/// Closes a queue handle.
PNDSIM_API BOOL WINAPI CloseMsgQueue(HANDLE queue);

// Power broadcasts written to queues registered for power notifications.
inline constexpr DWORD PBT_TRANSITION = 0x00000001;
inline constexpr DWORD PBT_RESUME = 0x00000002;
inline constexpr DWORD PBT_POWERSTATUSCHANGE = 0x00000004;
inline constexpr DWORD PBT_POWERINFOCHANGE = 0x00000008;
inline constexpr DWORD POWER_NOTIFY_ALL = 0xFFFFFFFF;

// The broadcast record: kind, flags, the byte length of the state name, then
// the UTF-16 state name with its terminator.
struct POWER_BROADCAST {
  DWORD Message;
  DWORD Flags;
  DWORD Length;
  char16_t SystemPowerState[1];
};

/// Registers `queue` for the power broadcasts whose kinds are in `mask`.
/// Returns the registration's handle, or null with ERROR_INVALID_HANDLE.
PNDSIM_API HANDLE WINAPI RequestPowerNotifications(HANDLE queue, DWORD mask);
/// Ends a registration.
PNDSIM_API BOOL WINAPI StopPowerNotifications(HANDLE registration);

// The kernel I/O control call and the system's code that restarts the device; the device's own codes are
// in ce/device_control.h.
inline constexpr DWORD IOCTL_HAL_REBOOT = 0x0101003C;

/// Asks the kernel's hardware layer for a service. IOCTL_HAL_REBOOT restarts
/// the device. IOCTL_BACKLIGHT reads the raw backlight level into
/// *bytesReturned when inputSize is BACKLIGHT_READ_REQUEST, else writes
/// inputSize as the level. Other codes: FALSE with ERROR_NOT_SUPPORTED.
PNDSIM_API BOOL WINAPI KernelIoControl(DWORD code, LPVOID input, DWORD inputSize, LPVOID output,
                                       DWORD outputSize, DWORD* bytesReturned);

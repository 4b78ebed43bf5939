// Device notifications of the device platform: the class identifier of a
// device kind, the record the platform writes to a message queue when a
// device of that kind arrives or leaves, and the calls that ask for them.
#pragma once

#include "ce/types.h"

// A class identifier in the platform's layout: 16 bytes.
struct GUID {
  DWORD Data1;
  WORD Data2;
  WORD Data3;
  BYTE Data4[8];
};
static_assert(sizeof(GUID) == 16, "a class identifier is 16 bytes");

inline bool operator==(const GUID& a, const GUID& b) {
  if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
  for (int i = 0; i < 8; ++i) {
    if (a.Data4[i] != b.Data4[i]) return false;
  }
  return true;
}

/// The class of mounted FAT file-system folders: {169E1941-04CE-4690-97AC-776187EB67CC}.
inline constexpr GUID FATFS_MOUNT_GUID{
    0x169E1941, 0x04CE, 0x4690, {0x97, 0xAC, 0x77, 0x61, 0x87, 0xEB, 0x67, 0xCC}};

// The notification record: class, a reserved word, the attached flag, the
// byte length of the name, then the UTF-16 name with its terminator.
struct DEVDETAIL {
  GUID guidDevClass;
  DWORD dwReserved;
  BOOL fAttached;
  int cbName;
  char16_t szName[1];
};

/// Asks for a record on `queue` whenever a device of class `deviceClass`
/// (null: every class) arrives or leaves; with `all` set, a record for every
/// device already present is written at once. Returns the registration's
/// handle, or null with ERROR_INVALID_HANDLE when `queue` is not a message
/// queue.
PNDSIM_API HANDLE WINAPI RequestDeviceNotifications(const GUID* deviceClass, HANDLE queue, BOOL all);
/// Ends a registration. FALSE with ERROR_INVALID_HANDLE for a handle that is
/// not one.
PNDSIM_API BOOL WINAPI StopDeviceNotifications(HANDLE registration);

// The io_control concern's face: the handlers behind the kernel I/O control call, one function per control
// code, each defined by the device concern it serves, which uses this face for the request it answers.
#pragma once

#include "ce/power.h"

namespace sim {

/// The arguments of one KernelIoControl call.
struct IoControlRequest {
  LPVOID input;
  DWORD inputSize;
  LPVOID output;
  DWORD outputSize;
  DWORD* bytesReturned;
};

/// Answers one control code: TRUE, or FALSE with the last error set.
using IoControlHandler = BOOL (*)(const IoControlRequest& request);

BOOL RebootIoControl(const IoControlRequest& request);          // power/
BOOL BacklightIoControl(const IoControlRequest& request);       // display/
BOOL DeviceIdIoControl(const IoControlRequest& request);        // identity/
BOOL DeviceInfoIoControl(const IoControlRequest& request);      // identity/
BOOL VersionTextIoControl(const IoControlRequest& request);     // identity/
BOOL VersionRecordIoControl(const IoControlRequest& request);   // identity/
BOOL GetCalibrationIoControl(const IoControlRequest& request);  // identity/
BOOL SetCalibrationIoControl(const IoControlRequest& request);  // identity/

}  // namespace sim

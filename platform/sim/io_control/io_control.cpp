// The kernel I/O control call: a table from control code to the handler of
// the device concern that answers it. A new code is one row here and one
// handler in its concern's folder.
#include "sim/io_control/io_control.h"

#include <iterator>

#include "ce/identity.h"
#include "sim/kernel/kernel.h"

namespace sim {
namespace {

struct IoControl {
  DWORD code;
  IoControlHandler handler;
};

constexpr IoControl kIoControls[] = {
    {IOCTL_HAL_REBOOT, &RebootIoControl},
    {IOCTL_BACKLIGHT, &BacklightIoControl},
    {IOCTL_HAL_GET_DEVICEID, &DeviceIdIoControl},
    {IOCTL_HAL_GET_DEVICE_RECORD, &DeviceInfoIoControl},
    {IOCTL_HAL_GET_VERSION_TEXT, &VersionTextIoControl},
    {IOCTL_HAL_GET_VERSION_RECORD, &VersionRecordIoControl},
    {IOCTL_HAL_GET_CALIBRATION, &GetCalibrationIoControl},
    {IOCTL_HAL_SET_CALIBRATION, &SetCalibrationIoControl},
};

const IoControl* Find(DWORD code) {
  for (const IoControl& control : kIoControls) {
    if (control.code == code) return &control;
  }
  return nullptr;
}

}  // namespace
}  // namespace sim

using namespace sim;

BOOL KernelIoControl(DWORD code, LPVOID input, DWORD inputSize, LPVOID output, DWORD outputSize,
                     DWORD* bytesReturned) {
  const IoControl* control = Find(code);
  if (!BeginCall(pndsim::Call::KernelIoControl, control != nullptr ? ERROR_SUCCESS : ERROR_NOT_SUPPORTED,
                 ERROR_GEN_FAILURE)) {
    return FALSE;
  }
  return control->handler(IoControlRequest{input, inputSize, output, outputSize, bytesReturned});
}

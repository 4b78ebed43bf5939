// The kernel I/O control call: the reboot request and the backlight driver.
#include "../display/backlight.h"
#include "../kernel/kernel.h"
#include "ce/power.h"
#include "power_model.h"

using namespace sim;

BOOL KernelIoControl(DWORD code, LPVOID, DWORD inputSize, LPVOID, DWORD, DWORD* bytesReturned) {
  if (ShouldFail(pndsim::Call::KernelIoControl)) {
    SetLastError(ERROR_GEN_FAILURE);
    return FALSE;
  }
  switch (code) {
    case IOCTL_HAL_REBOOT:
      RebootDevice();
      return TRUE;
    case IOCTL_BACKLIGHT:
      // The driver takes its request in the size arguments: a read request
      // stores the level where the byte count would go, a write carries it.
      if (inputSize == BACKLIGHT_READ_REQUEST) {
        if (bytesReturned == nullptr) {
          SetLastError(ERROR_INVALID_PARAMETER);
          return FALSE;
        }
        *bytesReturned = ReadBacklight();
        Record("ioctl", "backlight read");
        return TRUE;
      }
      WriteBacklightLevel(inputSize, "ioctl");
      return TRUE;
    default:
      SetLastError(ERROR_NOT_SUPPORTED);
      return FALSE;
  }
}

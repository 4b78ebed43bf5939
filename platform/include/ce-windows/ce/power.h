// ce/power.h on Windows: the system's own declarations (windows_platform.h) and the device's control
// codes, which every build shares.
#pragma once

#include "ce/device_control.h"
#include "windows_platform.h"

// ce/identity.h on Windows: the system's own declarations (windows_platform.h) and the device's control
// codes, which every build shares.
#pragma once

#include "windows_platform.h"

#include "ce/device_control.h"

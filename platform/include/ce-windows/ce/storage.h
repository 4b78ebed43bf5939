// ce/storage.h on Windows: the system's own declarations (see windows_platform.h).
#pragma once

#include "windows_platform.h"

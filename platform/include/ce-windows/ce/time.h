// ce/time.h on Windows: the system's own declarations (windows_platform.h) and the registry's TZI record,
// which every build shares.
#pragma once

#include "windows_platform.h"

#include "ce/tzi_record.h"

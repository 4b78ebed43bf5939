// ce/registry.h on Windows: the system's own declarations (windows_platform.h) and the conversion of UTF-16
// string bytes, which every build shares.
#pragma once

#include "windows_platform.h"

#include "ce/utf16.h"

// The device platform's API for a build of the HAL on Windows: the system's own headers, with the calls,
// records and constants that Windows CE has and desktop Windows lacks (windows_ce_only.h). In a Windows build
// every ce/ header but the few shared as they are stands for this (.ci/windows-check writes them so).
#pragma once

// Windows CE has only the wide-character calls.
#if !defined(UNICODE)
#define UNICODE
#endif
#if !defined(_UNICODE)
#define _UNICODE
#endif
// The HAL uses std::min and std::max, not the system's macros.
#if !defined(NOMINMAX)
#define NOMINMAX
#endif
#if !defined(WIN32_LEAN_AND_MEAN)
#define WIN32_LEAN_AND_MEAN
#endif

#include <windows.h>

// After windows.h, which they build on.
#include <mmsystem.h>
#include <shellapi.h>

#include "windows_ce_only.h"

// Marks the declarations that make up the library's exported interface: on Windows the DLL's exports
// (imports to the library's users), elsewhere the only symbols the library leaves visible.
#pragma once

#if defined(_WIN32)
#if defined(PNDHAL_BUILDING)
#define PNDHAL_API __declspec(dllexport)
#else
#define PNDHAL_API __declspec(dllimport)
#endif
#elif defined(PNDHAL_BUILDING)
#define PNDHAL_API __attribute__((visibility("default")))
#else
#define PNDHAL_API
#endif

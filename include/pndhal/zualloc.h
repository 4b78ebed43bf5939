// The in-house allocator every object and buffer of the HAL comes from, and
// the controls its stand-in offers to tests.
#pragma once

#include <cstddef>

// On Windows the DLL's exports (imports to its users), elsewhere the symbols left visible.
#if defined(_WIN32)
#if defined(ZUALLOC_BUILDING)
#define ZUALLOC_API __declspec(dllexport)
#else
#define ZUALLOC_API __declspec(dllimport)
#endif
#elif defined(ZUALLOC_BUILDING)
#define ZUALLOC_API __attribute__((visibility("default")))
#else
#define ZUALLOC_API
#endif

extern "C" {

/// Allocates `bytes` bytes aligned for any object; returns null when the
/// memory cannot be had (never throws). A request of 0 bytes gives a unique
/// pointer that must be freed like any other.
ZUALLOC_API void* ZuAlloc(std::size_t bytes);

/// Frees a pointer returned by ZuAlloc; null is ignored.
ZUALLOC_API void ZuFree(void* pointer);

/// Test control of the stand-in: the next `count` allocations after `skip`
/// successful ones return null. A count of 0 cancels.
ZUALLOC_API void ZuAllocFailAfter(long skip, long count);

/// Test control of the stand-in: allocations made and not yet freed.
ZUALLOC_API long ZuAllocLiveBlocks();

/// Test control of the stand-in: allocation requests since the library was
/// loaded, failed ones included; the difference of two readings is how many
/// a piece of code makes, so that a test can fail each of them in turn.
ZUALLOC_API long ZuAllocRequests();
}

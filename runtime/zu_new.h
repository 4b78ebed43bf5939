// The HAL's binding to the in-house allocator: classes that derive from
// ZuAllocated are created and deleted through it.
#pragma once

#include <cstddef>
#include <new>

#include "pndhal/zualloc.h"

namespace runtime {

/// Base of every class whose objects the HAL creates on the heap. `new`
/// throws std::bad_alloc when the allocator has no memory; `new (std::nothrow)`
/// returns null instead.
struct ZuAllocated {
  static void* operator new(std::size_t bytes) {
    void* memory = ZuAlloc(bytes);
    if (memory == nullptr) throw std::bad_alloc();
    return memory;
  }
  static void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept { return ZuAlloc(bytes); }
  static void operator delete(void* memory) noexcept { ZuFree(memory); }
  static void operator delete(void* memory, const std::nothrow_t&) noexcept { ZuFree(memory); }
};

}  // namespace runtime

// Stand-in for the in-house allocator: the C heap, with failure on demand and
// a count of live blocks for leak checks in tests.
#include "pndhal/zualloc.h"

#include <atomic>
#include <cstdlib>

namespace {

std::atomic<long> g_liveBlocks{0};
std::atomic<long> g_requests{0};
std::atomic<long> g_skipBeforeFailure{0};
std::atomic<long> g_failures{0};

bool ShouldFail() {
  if (g_failures.load(std::memory_order_relaxed) <= 0) return false;
  long skip = g_skipBeforeFailure.load();
  while (skip > 0) {
    if (g_skipBeforeFailure.compare_exchange_weak(skip, skip - 1)) return false;
  }
  long failures = g_failures.load();
  while (failures > 0) {
    if (g_failures.compare_exchange_weak(failures, failures - 1)) return true;
  }
  return false;
}

}  // namespace

extern "C" {

void* ZuAlloc(std::size_t bytes) {
  g_requests.fetch_add(1, std::memory_order_relaxed);
  if (ShouldFail()) return nullptr;
  void* pointer = std::malloc(bytes == 0 ? 1 : bytes);
  if (pointer != nullptr) g_liveBlocks.fetch_add(1, std::memory_order_relaxed);
  return pointer;
}

void ZuFree(void* pointer) {
  if (pointer == nullptr) return;
  g_liveBlocks.fetch_sub(1, std::memory_order_relaxed);
  std::free(pointer);
}

void ZuAllocFailAfter(long skip, long count) {
  g_skipBeforeFailure.store(skip < 0 ? 0 : skip);
  g_failures.store(count < 0 ? 0 : count);
}

long ZuAllocLiveBlocks() { return g_liveBlocks.load(); }

long ZuAllocRequests() { return g_requests.load(); }
}

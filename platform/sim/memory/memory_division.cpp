// The division of the simulated device's memory between the object store and programs: the calls that read
// and change it, the store's and the programs' usage, the record of the divisions asked for, and the
// profile's "memory" member that sets the division.
#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "ce/identity.h"
#include "pndsim/memory.h"
#include "sim/kernel/kernel.h"
#include "sim/profile/profile.h"

namespace sim::memory {
namespace {

using profile::Json;

void ReadMemory(const Json& value, const std::string& at, pndsim::MemoryDivision& memory) {
  profile::RequireMembers(value, at, {"storePages", "ramPages", "pageSize", "storeUsedBytes", "ramUsedBytes"},
                          "the memory");
  const auto field = [&](std::string_view name, std::uint32_t& target) {
    profile::IfPresent(value, at, name, [&](const Json& m, const std::string& w) {
      target =
          static_cast<std::uint32_t>(profile::Integer(m, w, 0, std::numeric_limits<std::uint32_t>::max()));
    });
  };
  field("storePages", memory.storePages);
  field("ramPages", memory.ramPages);
  field("pageSize", memory.pageSize);
  field("storeUsedBytes", memory.storeUsedBytes);
  field("ramUsedBytes", memory.ramUsedBytes);
}

Json WriteMemory(const pndsim::MemoryDivision& memory) {
  return Json{{"storePages", memory.storePages},
              {"ramPages", memory.ramPages},
              {"pageSize", memory.pageSize},
              {"storeUsedBytes", memory.storeUsedBytes},
              {"ramUsedBytes", memory.ramUsedBytes}};
}

constinit const profile::Section<pndsim::MemoryDivision> kMemory{
    "memory", 80, ReadMemory, WriteMemory, pndsim::SetMemory, pndsim::Memory};
const profile::Registration kMemoryRegistration{kMemory};

struct MemoryModel {
  Mutex mutex;
  pndsim::MemoryDivision division GUARDED_BY(mutex) = kMemory.BuiltIn();
  std::vector<std::uint32_t> requests GUARDED_BY(mutex);
};

MemoryModel& Model() {
  static auto* model = [] {
    auto* created = new MemoryModel;
    OnReset([] {
      MemoryModel& memory = Model();
      sim::MutexLock lock(memory.mutex);
      memory.division = kMemory.BuiltIn();
      memory.requests.clear();
    });
    return created;
  }();
  return *model;
}

}  // namespace
}  // namespace sim::memory

using namespace sim;
using namespace sim::memory;

BOOL GetSystemMemoryDivision(DWORD* storePages, DWORD* ramPages, DWORD* pageSize) {
  if (storePages == nullptr || ramPages == nullptr || pageSize == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  MemoryModel& model = Model();
  sim::MutexLock lock(model.mutex);
  *storePages = model.division.storePages;
  *ramPages = model.division.ramPages;
  *pageSize = model.division.pageSize;
  return TRUE;
}

DWORD SetSystemMemoryDivision(DWORD storePages) {
  MemoryModel& model = Model();
  sim::MutexLock lock(model.mutex);
  model.requests.push_back(storePages);
  pndsim::MemoryDivision& memory = model.division;
  const std::uint64_t total = std::uint64_t{memory.storePages} + memory.ramPages;
  const std::uint64_t page = memory.pageSize;
  const bool fits = storePages <= total && std::uint64_t{storePages} * page >= memory.storeUsedBytes &&
                    (total - storePages) * page >= memory.ramUsedBytes;
  Record("memory.division",
         {NumberField("store", storePages), FlagField("refused", !fits, fits ? "" : " refused")},
         "store={store}{refused}");
  if (!fits) return SYSMEM_FAILED;
  memory.storePages = storePages;
  memory.ramPages = static_cast<std::uint32_t>(total - storePages);
  return SYSMEM_CHANGED;
}

BOOL GetStoreInformation(STORE_INFORMATION* info) {
  if (info == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  MemoryModel& model = Model();
  sim::MutexLock lock(model.mutex);
  const pndsim::MemoryDivision memory = model.division;
  info->dwStoreSize = memory.storePages * memory.pageSize;
  info->dwFreeSize = info->dwStoreSize - std::min(info->dwStoreSize, memory.storeUsedBytes);
  return TRUE;
}

void GlobalMemoryStatus(MEMORYSTATUS* status) {
  if (status == nullptr) return;
  MemoryModel& model = Model();
  sim::MutexLock lock(model.mutex);
  const pndsim::MemoryDivision memory = model.division;
  const DWORD total = memory.ramPages * memory.pageSize;
  const DWORD used = std::min(total, memory.ramUsedBytes);
  *status = MEMORYSTATUS{sizeof(MEMORYSTATUS),
                         total == 0 ? 0 : static_cast<DWORD>(std::uint64_t{used} * 100 / total),
                         total,
                         total - used,
                         0,
                         0,
                         32u << 20,
                         (32u << 20) - std::min(32u << 20, used)};
}

pndsim::MemoryDivision pndsim::Memory() {
  MemoryModel& model = Model();
  sim::MutexLock lock(model.mutex);
  return model.division;
}

void pndsim::SetMemory(const MemoryDivision& memory) {
  MemoryModel& model = Model();
  sim::MutexLock lock(model.mutex);
  model.division = memory;
}

std::vector<std::uint32_t> pndsim::MemoryDivisionRequests() {
  MemoryModel& model = Model();
  sim::MutexLock lock(model.mutex);
  return model.requests;
}

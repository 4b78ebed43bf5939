// Controls and observations of the division of the simulated device's memory between the object store and
// programs.
#pragma once

#include <cstdint>
#include <vector>

#include "pndsim/control.h"

namespace pndsim {

/// The division of memory between object store and programs.
struct MemoryDivision {
  std::uint32_t storePages;      ///< pages given to the object store
  std::uint32_t ramPages;        ///< pages given to programs
  std::uint32_t pageSize;        ///< bytes per page
  std::uint32_t storeUsedBytes;  ///< bytes the object store's files take
  std::uint32_t ramUsedBytes;    ///< bytes programs take
};
/// The current division.
PNDSIM_CONTROL_API MemoryDivision Memory();
/// Replaces the division and usage wholesale, without checks, so a test can
/// set figures the system would never report.
PNDSIM_CONTROL_API void SetMemory(const MemoryDivision& memory);
/// The store-page counts asked for through SetSystemMemoryDivision since the
/// last reset, in order, including refused ones.
PNDSIM_CONTROL_API std::vector<std::uint32_t> MemoryDivisionRequests();

}  // namespace pndsim

// The HAL singleton's life cycle: creation and start on first use, teardown
// by FreeDLL, and the phone-link pointer.
#include <atomic>

#include "hal/hal_levels.h"

namespace {

std::atomic<CHAL*> g_hal{nullptr};
CBTHAL* g_bthal = nullptr;

}  // namespace

CBTHAL*& BTHALPointer() { return g_bthal; }

CHAL* GetHALInstance() {
  if (CHAL* hal = g_hal.load()) return hal;
  // Without memory for the HAL there is nothing to start: callers report
  // failure, and the next call tries again.
  CHAL* hal = new (std::nothrow) CHALExternApi();
  if (hal == nullptr) return nullptr;
  // Stored before anything runs on it, so the nested lookups of EnsureBTHAL
  // and of the starting threads find it.
  g_hal.store(hal);
  hal->EnsureBTHAL();
  hal->Start();
  return hal;
}

void InitHAL() { GetHALInstance(); }

void FreeDLL() {
  CHAL* hal = g_hal.load();
  if (hal == nullptr) return;
  hal->StopThreads();
  hal->DestroyBTHAL();
  delete hal;
  g_hal.store(nullptr);
}

CBTHAL* GetBTHAL() {
  GetHALInstance();
  return g_bthal;
}

// The HAL singleton's life cycle: creation and start on first use, teardown
// by FreeDLL, and the phone-link pointer.
#include <atomic>
#include <mutex>

#include "hal/hal_levels.h"

namespace {

std::atomic<CHAL*> g_hal{nullptr};
CBTHAL* g_bthal = nullptr;
// Serialises creation and teardown, so that two first uses create one HAL
// and two FreeDLL calls destroy it once. Never held while the HAL's own
// threads need it: they find the HAL through g_hal without taking it.
std::mutex g_lifecycle;

}  // namespace

CBTHAL*& BTHALPointer() { return g_bthal; }

CHAL* GetHALInstance() {
  if (CHAL* hal = g_hal.load()) {
    hal->RetryKeyStart();
    return hal;
  }
  std::lock_guard guard(g_lifecycle);
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

CHAL* PeekHALInstance() { return g_hal.load(); }

void InitHAL() { GetHALInstance(); }

void FreeDLL() {
  // A listener runs on one of the HAL's threads, which the teardown would
  // have to wait for: the HAL stays up, to be freed from another thread.
  if (CHALThread::OnLibraryThread()) return;
  std::lock_guard guard(g_lifecycle);
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

// Level 0 of the HAL object: its construction, and the defaults (do nothing or
// answer false) of the operations no service file holds: start and stop, the
// phone link and the two reserved ones. Each service's file, in hal/ or in
// the HAL folder of its subsystem (keys/, time/), holds the defaults of its
// own.
#include "hal/hal.h"

CHAL::CHAL() = default;

CHAL::~CHAL() = default;

void CHAL::Start() {}
void CHAL::DestroyBTHAL() {}
void CHAL::CreateBTHAL() {}

void CHAL::EnsureBTHAL() {
  if (BTHALPointer().load() != nullptr) return;
  if (CHAL* hal = GetHALInstance()) hal->CreateBTHAL();
}

void CHAL::StopThreads() {}

// Nothing calls them.
bool CHAL::Reserved26() { return false; }
bool CHAL::Reserved27() { return false; }

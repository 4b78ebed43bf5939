// Level 0 of the HAL object: its construction, and the defaults (do nothing or
// answer false) of the operations no service file holds: start and stop, the
// phone link, the key operations and the two reserved ones; and the key map's
// whole-map copy. Each service's file holds the defaults of its own.
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

void CHAL::Connect(IHardwareKeyListener* listener) { m_keyListeners.Connect(listener); }

void CHAL::ConnectKeyEventHandler() {}
bool CHAL::ActivateSharedHardwareKeyMap(KeyMap&) { return false; }
void CHAL::DeactivateSharedHardwareKeyMap(KeyMap&) {}
void CHAL::FillDefaultKeyMap(KeyMap&) {}
void CHAL::OnHotKey(unsigned int, unsigned int, long, bool*) {}
bool CHAL::Reserved26() { return false; }
bool CHAL::Reserved27() { return false; }

bool CHAL::SetKeyMap(KeyMap const&) { return false; }

CHAL::KeyMap CHAL::CopyKeyMap() const {
  std::lock_guard lock(m_keyMapLock);
  return m_keyMap;
}

// The exported Connect and Disconnect of the six listener registries. A
// Disconnect only takes something away: it never creates a HAL.
#include "hal/hal.h"

namespace {

template <class Listener>
void ConnectTo(runtime::ListenerRegistry<Listener> CHAL::*list, Listener* listener) {
  if (HalCall hal; hal) ((*hal).*list).Connect(listener);
}

template <class Listener>
void DisconnectFrom(runtime::ListenerRegistry<Listener> CHAL::*list, Listener* listener) {
  if (HalCall hal(HalCall::Use::kExisting); hal) ((*hal).*list).Disconnect(listener);
}

}  // namespace

void Connect(IHardwareKeyListener* listener) {
  if (HalCall hal; hal) hal->Connect(listener);
}

void Disconnect(IHardwareKeyListener* listener) {
  if (HalCall hal(HalCall::Use::kExisting); hal) hal->DisconnectKeyListener(listener);
}

void Connect(IHardwareKeyRecordListener* listener) { ConnectTo(&CHAL::m_keyRecordListeners, listener); }

void Disconnect(IHardwareKeyRecordListener* listener) {
  DisconnectFrom(&CHAL::m_keyRecordListeners, listener);
}

void Connect(IPMPowerListener* listener) {
  HalCall hal;
  if (!hal || listener == nullptr) return;
  hal->m_powerListeners.Connect(listener);
  // A new power listener learns the current state at once.
  PMPowerInfo info{};
  if (hal->PMGetPowerInfo(info)) listener->Notify(info);
}

void Disconnect(IPMPowerListener* listener) { DisconnectFrom(&CHAL::m_powerListeners, listener); }

void Connect(IVolumeListener* listener) { ConnectTo(&CHAL::m_volumeListeners, listener); }

void Disconnect(IVolumeListener* listener) { DisconnectFrom(&CHAL::m_volumeListeners, listener); }

void Connect(ICardListener* listener) { ConnectTo(&CHAL::m_cardListeners, listener); }

void Disconnect(ICardListener* listener) { DisconnectFrom(&CHAL::m_cardListeners, listener); }

void Connect(ISuspendResumeDeviceListener* listener) { ConnectTo(&CHAL::m_suspendResumeListeners, listener); }

void Disconnect(ISuspendResumeDeviceListener* listener) {
  DisconnectFrom(&CHAL::m_suspendResumeListeners, listener);
}

// The exported Connect and Disconnect of the six listener registries.
#include "hal/hal.h"

namespace {

template <class Listener>
runtime::ListenerRegistry<Listener>* ListOf(CHAL* hal, runtime::ListenerRegistry<Listener> CHAL::*list) {
  return hal == nullptr ? nullptr : &(hal->*list);
}

}  // namespace

void Connect(IHardwareKeyListener* listener) {
  if (CHAL* hal = GetHALInstance()) hal->Connect(listener);
}

void Disconnect(IHardwareKeyListener* listener) {
  if (CHAL* hal = GetHALInstance()) hal->DisconnectKeyListener(listener);
}

void Connect(IHardwareKeyRecordListener* listener) {
  if (auto* list = ListOf(GetHALInstance(), &CHAL::m_keyRecordListeners)) list->Connect(listener);
}

void Disconnect(IHardwareKeyRecordListener* listener) {
  if (auto* list = ListOf(GetHALInstance(), &CHAL::m_keyRecordListeners)) list->Disconnect(listener);
}

void Connect(IPMPowerListener* listener) {
  CHAL* hal = GetHALInstance();
  if (hal == nullptr || listener == nullptr) return;
  hal->m_powerListeners.Connect(listener);
  // A new power listener learns the current state at once.
  PMPowerInfo info{};
  if (hal->PMGetPowerInfo(info)) listener->Notify(info);
}

void Disconnect(IPMPowerListener* listener) {
  if (auto* list = ListOf(GetHALInstance(), &CHAL::m_powerListeners)) list->Disconnect(listener);
}

void Connect(IVolumeListener* listener) {
  if (auto* list = ListOf(GetHALInstance(), &CHAL::m_volumeListeners)) list->Connect(listener);
}

void Disconnect(IVolumeListener* listener) {
  if (auto* list = ListOf(GetHALInstance(), &CHAL::m_volumeListeners)) list->Disconnect(listener);
}

void Connect(ICardListener* listener) {
  if (auto* list = ListOf(GetHALInstance(), &CHAL::m_cardListeners)) list->Connect(listener);
}

void Disconnect(ICardListener* listener) {
  if (auto* list = ListOf(GetHALInstance(), &CHAL::m_cardListeners)) list->Disconnect(listener);
}

void Connect(ISuspendResumeDeviceListener* listener) {
  if (auto* list = ListOf(GetHALInstance(), &CHAL::m_suspendResumeListeners)) list->Connect(listener);
}

void Disconnect(ISuspendResumeDeviceListener* listener) {
  if (auto* list = ListOf(GetHALInstance(), &CHAL::m_suspendResumeListeners)) list->Disconnect(listener);
}

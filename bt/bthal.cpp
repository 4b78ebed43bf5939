// The phone link's interface class: listener lists and the defaults of a
// device without a phone link.
#include "bt/bthal_listeners.h"

CBTHAL::CBTHAL() : m_pListeners(new (std::nothrow) ListenerLists) {}

CBTHAL::~CBTHAL() { delete m_pListeners; }

bool CBTHAL::ConnectCallStatusListener(IBTCallStatusListener* listener) {
  if (listener == nullptr) return true;
  return m_pListeners != nullptr && m_pListeners->m_callStatusListeners.Connect(listener);
}

bool CBTHAL::ConnectForegroundListener(IBTForegroundListener* listener) {
  if (listener == nullptr) return true;
  return m_pListeners != nullptr && m_pListeners->m_foregroundListeners.Connect(listener);
}

void CBTHAL::DisconnectCallStatusListener(IBTCallStatusListener* listener) {
  if (m_pListeners != nullptr) m_pListeners->m_callStatusListeners.Disconnect(listener);
}

void CBTHAL::DisconnectForegroundListener(IBTForegroundListener* listener) {
  if (m_pListeners != nullptr) m_pListeners->m_foregroundListeners.Disconnect(listener);
}

bool CBTHAL::LaunchPhone(wchar_t const*) { return false; }
bool CBTHAL::ClosePhone() { return false; }
bool CBTHAL::ShowPhoneWindow() { return false; }
bool CBTHAL::HidePhoneWindow() { return false; }
bool CBTHAL::SendPhoneText(wchar_t const*) { return false; }
bool CBTHAL::HangUp() { return false; }
bool CBTHAL::ChangePhoneLanguage(wchar_t const*) { return false; }
bool CBTHAL::SetPhoneVolume(unsigned int) { return false; }
bool CBTHAL::MutePhone(bool) { return false; }
bool CBTHAL::GetPhoneVolume(unsigned int&) { return false; }
bool CBTHAL::IsPhoneMuted(bool&) { return false; }
bool CBTHAL::FactoryResetPhone() { return false; }
void CBTHAL::GetCallStatus(int&) {}
bool CBTHAL::SetBTPowerOn() { return false; }
bool CBTHAL::SetBTPowerOff() { return false; }

// The phone link's interface class: listener lists and the defaults of a
// device without a phone link.
#include "pndhal/bthal.h"

namespace {

template <class Listener>
void RemoveFirst(Container::ZuVector<Listener*>& list, Listener* listener) {
  for (auto it = list.begin(); it != list.end(); ++it) {
    if (*it == listener) {
      list.erase(it);
      return;
    }
  }
}

}  // namespace

CBTHAL::CBTHAL() = default;
CBTHAL::~CBTHAL() = default;

bool CBTHAL::ConnectCallStatusListener(IBTCallStatusListener* listener) {
  return listener == nullptr || m_callStatusListeners.push_back(listener);
}

bool CBTHAL::ConnectForegroundListener(IBTForegroundListener* listener) {
  return listener == nullptr || m_foregroundListeners.push_back(listener);
}

void CBTHAL::DisconnectCallStatusListener(IBTCallStatusListener* listener) {
  RemoveFirst(m_callStatusListeners, listener);
}

void CBTHAL::DisconnectForegroundListener(IBTForegroundListener* listener) {
  RemoveFirst(m_foregroundListeners, listener);
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

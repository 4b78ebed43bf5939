// The phone link's status channel: the hidden status window the telephone
// program reports to, its registration with the program, and the handlers of
// the program's reports with the listener notifications they raise.
#include "bt/bthal_impl.h"
#include "bt/bthal_listeners.h"
#include "bt/phone_messages.h"

using Phone::RegisteredMessages;

bool CBTHALImpl::OpenStatusChannel() {
  if (m_statusWindow.Window() == nullptr) {
    const bool second = FindWindowW(nullptr, Phone::kFirstStatusTitle) != nullptr;
    if (!m_statusWindow.Create(second ? Phone::kSecondStatusTitle : Phone::kFirstStatusTitle)) return false;
    (second ? m_bSecondStatusWindow : m_bFirstStatusWindow).store(true);
    // Attached before the program learns of the window, so that no report
    // it sends at once is missed.
    const Phone::Messages& ids = RegisteredMessages();
    if (m_statusWindow.AddHandler(ids.callStatus, this, &CBTHALImpl::OnCallStatus)) ++m_iAttachedHandlers;
    if (m_statusWindow.AddHandler(ids.chgForegroundApp, this, &CBTHALImpl::OnForegroundApp)) {
      ++m_iAttachedHandlers;
    }
    if (m_statusWindow.AddHandler(ids.volumeIndex, this, &CBTHALImpl::OnVolumeIndex)) ++m_iAttachedHandlers;
    if (m_statusWindow.AddHandler(ids.btPowerStatus, this, &CBTHALImpl::OnBTPowerStatus)) {
      ++m_iAttachedHandlers;
    }
  }
  if (HWND telephone = FindTelephone()) {
    Phone::SendStatusRecord(
        telephone, Phone::kRegisterStatusWindow,
        m_bSecondStatusWindow.load() ? Phone::kSecondStatusTitle : Phone::kFirstStatusTitle);
  }
  const Phone::Messages& ids = RegisteredMessages();
  PostToTelephone(ids.getBtPower, 0, 0);
  PostToTelephone(ids.getCallStatus, 0, 0);
  PostToTelephone(ids.volumeRequest, 0, 0);
  return true;
}

void CBTHALImpl::CloseStatusChannel() {
  for (; m_iAttachedHandlers > 0; --m_iAttachedHandlers) {
    CMessageWindowThread::RemoveHandler(m_statusWindow.MessageSignal(), this);
  }
  m_statusWindow.Destroy();
  const wchar_t* title = nullptr;
  if (m_bSecondStatusWindow.exchange(false)) {
    title = Phone::kSecondStatusTitle;
  } else if (m_bFirstStatusWindow.exchange(false)) {
    title = Phone::kFirstStatusTitle;
  }
  // Without a channel of its own the link unregisters nothing: the title may
  // belong to another application's window.
  if (title == nullptr) return;
  if (HWND telephone = FindTelephone()) {
    Phone::SendStatusRecord(telephone, Phone::kUnregisterStatusWindow, title);
  }
}

void CBTHALImpl::NotifyCallStatus(int status) {
  if (m_pListeners == nullptr) return;
  m_pListeners->m_callStatusListeners.ForEach([&](IBTCallStatusListener* listener) {
    const int value = status;  // each listener sees the value, whatever another did
    listener->Notify(&value);
  });
}

void CBTHALImpl::NotifyForeground(int state) {
  if (m_pListeners == nullptr) return;
  m_pListeners->m_foregroundListeners.ForEach([&](IBTForegroundListener* listener) {
    const int value = state;
    listener->Notify(&value);
  });
}

void CBTHALImpl::OnCallStatus(unsigned int message, unsigned int wParam, long, bool* handled) {
  if (message != RegisteredMessages().callStatus) return;
  if (handled != nullptr) *handled = true;
  int status = m_iCallStatus.load();
  if (m_iBTPower.load() != 1) {
    status = eCallStatusNone;
  } else if (wParam <= 4) {
    status = eCallStatusIdle + static_cast<int>(wParam);
  }
  m_iCallStatus.store(status);
  if (status != m_iLastNotifiedCallStatus.load()) {
    m_iLastNotifiedCallStatus.store(status);
    NotifyCallStatus(status);
  }
}

void CBTHALImpl::OnBTPowerStatus(unsigned int message, unsigned int wParam, long, bool* handled) {
  if (message != RegisteredMessages().btPowerStatus) return;
  if (handled != nullptr) *handled = true;
  const int old = m_iCallStatus.load();
  const int power = wParam == 0 ? 0 : wParam == 1 ? 1 : -1;
  m_iBTPower.store(power);
  int status = old;
  if ((old == eCallStatusNone || old == eCallStatusUnknown) && power == 1) {
    status = eCallStatusIdle;
  } else if (power != 1) {
    status = eCallStatusNone;
  }
  m_iCallStatus.store(status);
  if (status != old) {
    // Remembered as told, so that the next call-state report does not tell
    // the listeners the same value again.
    m_iLastNotifiedCallStatus.store(status);
    NotifyCallStatus(status);
  }
}

void CBTHALImpl::OnForegroundApp(unsigned int message, unsigned int wParam, long, bool* handled) {
  if (message != RegisteredMessages().chgForegroundApp) return;
  if (handled != nullptr) *handled = true;
  // The program reports 1 for the application and 2 for itself in front.
  if (wParam == 1 || wParam == 2) {
    const int state = wParam == 1 ? eForegroundApplication : eForegroundTelephone;
    m_iForegroundState.store(state);
    NotifyForeground(state);
  } else {
    m_iForegroundState.store(eForegroundUnknown);
  }
}

void CBTHALImpl::OnVolumeIndex(unsigned int message, unsigned int, long lParam, bool* handled) {
  if (message != RegisteredMessages().volumeIndex) return;
  if (handled != nullptr) *handled = true;
  m_uiVolumeIndex.store(static_cast<unsigned int>(lParam));
}

// The phone-link object the HAL creates: it drives the telephone program
// through registered window messages and keeps the state the program reports
// to its status window.
#pragma once

#include <atomic>

#include "ce/window.h"
#include "pndhal/bthal.h"
#include "runtime/message_window_thread.h"
#include "runtime/zu_new.h"

class CBTHALImpl final : public CBTHAL, public runtime::ZuAllocated {
 public:
  CBTHALImpl() = default;
  /// Closes the status channel when one is open (without asking the telephone
  /// program to close).
  ~CBTHALImpl() override;

  bool LaunchPhone(wchar_t const* path) override;
  bool ClosePhone() override;
  bool ShowPhoneWindow() override;
  bool HidePhoneWindow() override;
  bool SendPhoneText(wchar_t const* text) override;
  bool HangUp() override;
  bool ChangePhoneLanguage(wchar_t const* languageHex) override;
  bool SetPhoneVolume(unsigned int percent) override;
  bool MutePhone(bool mute) override;
  bool GetPhoneVolume(unsigned int& percent) override;
  bool IsPhoneMuted(bool& muted) override;
  bool FactoryResetPhone() override;
  void GetCallStatus(int& status) override;
  bool SetBTPowerOn() override;
  bool SetBTPowerOff() override;

  /// The OUT handlers, run on the status window's thread for every ordinary
  /// message it receives; each acts on its own message only and sets
  /// `*handled` for it.
  void OnCallStatus(unsigned int message, unsigned int wParam, long lParam, bool* handled);
  void OnForegroundApp(unsigned int message, unsigned int wParam, long lParam, bool* handled);
  void OnVolumeIndex(unsigned int message, unsigned int wParam, long lParam, bool* handled);
  void OnBTPowerStatus(unsigned int message, unsigned int wParam, long lParam, bool* handled);

 private:
  // The telephone program's main window, or null.
  static HWND FindTelephone();
  // Posts an IN message; false when the telephone program's window is missing.
  static bool PostToTelephone(UINT message, WPARAM wParam, LPARAM lParam);
  // Marks the link connected, opens the status channel and greets the program.
  bool Attach();
  // Starts the status window, registers it and asks for the current state.
  bool OpenStatusChannel();
  // Detaches the handlers, stops the status window and unregisters it.
  void CloseStatusChannel();
  void NotifyCallStatus(int status);
  void NotifyForeground(int state);

  CMessageWindowThread m_statusWindow;
  std::atomic<int> m_iCallStatus{eCallStatusUnknown};
  std::atomic<int> m_iLastNotifiedCallStatus{eCallStatusUnknown};
  std::atomic<int> m_iBTPower{-1};
  std::atomic<int> m_iForegroundState{eForegroundUnknown};
  std::atomic<unsigned int> m_uiVolumeIndex{0};
  std::atomic<unsigned int> m_uiSavedVolumeIndex{0};
  std::atomic<bool> m_bConnected{false};
  std::atomic<bool> m_bFirstStatusWindow{false};
  std::atomic<bool> m_bSecondStatusWindow{false};
  int m_iAttachedHandlers = 0;  // handlers of this object on the status window
};

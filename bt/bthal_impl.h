// The phone-link object the HAL creates: its state as reported by the
// telephone program and its status window. Until the telephone protocol is
// in place it answers as when no telephone program runs.
#pragma once

#include "pndhal/bthal.h"
#include "runtime/message_window_thread.h"
#include "runtime/zu_new.h"

class CBTHALImpl final : public CBTHAL, public Runtime::ZuAllocated {
 public:
  CBTHALImpl() = default;
  ~CBTHALImpl() override = default;

  void GetCallStatus(int& status) override { status = m_iCallStatus; }

 private:
  // The link's state as the telephone program reports it; only the call
  // status is read until the program is driven.
  [[maybe_unused]] CMessageWindowThread m_statusWindow;
  int m_iCallStatus = -1;
  [[maybe_unused]] int m_iLastNotifiedCallStatus = -1;
  [[maybe_unused]] int m_iBTPower = -1;
  [[maybe_unused]] int m_iForegroundState = -1;
  [[maybe_unused]] unsigned int m_uiVolumeIndex = 0;
  [[maybe_unused]] unsigned int m_uiSavedVolumeIndex = 0;
  [[maybe_unused]] bool m_bConnected = false;
  [[maybe_unused]] bool m_bFirstStatusWindow = false;
  [[maybe_unused]] bool m_bSecondStatusWindow = false;
};

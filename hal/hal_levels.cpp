// Construction, start, stop and destruction of the HAL levels, in their fixed
// order, and the small operations of the device level.
#include "hal/hal_levels.h"

#include "bt/bthal_impl.h"
#include "hal/vendor_library.h"

// --- Level 1 ----------------------------------------------------------------

CHALCommon::CHALCommon() : m_pszTimeZonesKey(L"Time Zones") {
  // The window must exist before level 3 registers the default keys on it.
  m_keyEventWindow.Create(kKeyEventWindowTitle);
}

CHALCommon::~CHALCommon() {
  DetachKeyEventHandlers();
  m_keyEventWindow.Destroy();
}

void CHALCommon::DetachKeyEventHandlers() {
  CMessageWindowThread::RemoveHandler(m_keyEventWindow.MessageSignal(), static_cast<CHAL*>(this));
  CMessageWindowThread::RemoveHandler(m_keyEventWindow.HotKeySignal(), static_cast<CHAL*>(this));
}

// --- Level 2 ----------------------------------------------------------------

CHALWinCE::CHALWinCE() : m_dwCreatorThreadId(GetCurrentThreadId()) {}

CHALWinCE::~CHALWinCE() = default;  // members end in reverse order: power, polling, storage card

void CHALWinCE::Start() {
  CHALCommon::Start();
  m_storageCardThread.Start(static_cast<CHAL*>(this), nullptr);
  m_pollingThread.Start(static_cast<CHAL*>(this), nullptr);
  m_powerNotificationThread.SetPriority(THREAD_PRIORITY_ABOVE_NORMAL);
  m_powerNotificationThread.Start(static_cast<CHAL*>(this), nullptr);
}

void CHALWinCE::StopThreads() {
  for (CHALThread* thread :
       {static_cast<CHALThread*>(&m_pollingThread), static_cast<CHALThread*>(&m_storageCardThread),
        static_cast<CHALThread*>(&m_powerNotificationThread)}) {
    if (!thread->IsRunning()) continue;
    thread->RequestStop();
    thread->Wait(INFINITE);
  }
}

void CHALWinCE::RunTouchCalibration() {}

// --- Level 3 ----------------------------------------------------------------

CHALPlatform::CHALPlatform() {
  m_uiMaxBrightnessLevel = 8;
  m_uiMinBrightnessLevel = 1;
  m_uiFadeStep = 20;
  m_uiPollSeconds = 5;
  // This level's own bodies, also for the concrete object. A map that memory
  // ran out for grabs nothing: the start-up is finished at the next use.
  KeyMap defaults;
  if (!FillPlatformDefaults(defaults) || !ReplaceKeyMap(defaults)) {
    m_bDefaultMapPending = true;
    m_bKeyStartPending.store(true);
    return;
  }
  CHALPlatform::ActivateSharedHardwareKeyMap(defaults);
}

void CHALPlatform::CompleteKeyStart() {
  if (m_bDefaultMapPending) {
    KeyMap defaults;
    if (!FillPlatformDefaults(defaults) || !ReplaceKeyMap(defaults)) {
      m_bKeyStartPending.store(true);
      return;
    }
    m_bDefaultMapPending = false;
  }
  GrabKeyMap();
  ConnectKeyEventHandler();
}

CHALPlatform::~CHALPlatform() {
  if (m_iSavedMemorySplit != 0) {
    CHALPlatform::SetMemorySplit(m_iSavedMemorySplit);
    m_iSavedMemorySplit = 0;
  }
}

void CHALPlatform::AdjustDeviceInfo(unsigned char* record) {
  // The device reports the wrong hardware revision; it is always 2.
  record[576] = 2;
  record[577] = 0;
}

// --- Level 4 ----------------------------------------------------------------

CHALExternApi::CHALExternApi() {
  m_uiMaxBrightnessLevel = 10;
  m_uiMinBrightnessLevel = 1;
  m_uiFadeStep = 20;
  m_uiPollSeconds = 5;
  // A HAL created again after FreeDLL released the vendor library takes it
  // back, so the device level works for every HAL object, not only the first.
  Vendor::Load();
}

CHALExternApi::~CHALExternApi() {
  DetachKeyEventHandlers();
  Vendor::Release();
}

void CHALExternApi::Start() {
  CHALPlatform::Start();
  ConnectKeyEventHandler();
}

void CHALExternApi::CreateBTHAL() {
  if (BTHALPointer() != nullptr) return;
  BTHALPointer() = new (std::nothrow) CBTHALImpl();
}

void CHALExternApi::DestroyBTHAL() {
  delete BTHALPointer();
  BTHALPointer() = nullptr;
}

bool CHALExternApi::IsForegroundTrackingEnabled() { return false; }

bool CHALExternApi::IsFMTransmitterActive() { return m_bFMTransmitterActive; }

void CHALExternApi::SetFMBandwidth(unsigned int const& low, unsigned int const& high) {
  m_uiFMBandLow = low;
  m_uiFMBandHigh = high;
}

void CHALExternApi::GetFMBandwidth(unsigned int& low, unsigned int& high) {
  low = m_uiFMBandLow;
  high = m_uiFMBandHigh;
}

void CHALExternApi::SetMemorySplit(int) {}

void CHALExternApi::RestoreMemorySplit() {}

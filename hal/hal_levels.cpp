// Construction, start, stop and destruction of the HAL levels, in their fixed
// order, and the creation and removal of the phone link. The levels'
// operations are in the service files.
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

void CHALCommon::CompleteStart() {
  if (KeyEventWindow() != nullptr) return;
  if (!m_keyEventWindow.Create(kKeyEventWindowTitle)) {
    MarkStartPending();
    return;
  }
  // A new window holds no keys yet.
  std::lock_guard grab(m_grabLock);
  m_grabbedKeys.reset();
  m_bKeyMapGrabbed = false;
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
  std::lock_guard lock(m_startLock);
  m_bThreadsWanted = true;
  StartDeviceThreads();
}

void CHALWinCE::StartDeviceThreads() {
  bool complete = true;
  if (!m_storageCardThread.IsRunning()) {
    complete = m_storageCardThread.Start(static_cast<CHAL*>(this), nullptr) && complete;
  }
  if (!m_pollingThread.IsRunning()) {
    complete = m_pollingThread.Start(static_cast<CHAL*>(this), nullptr) && complete;
  }
  if (!m_bPowerKeyActivated && m_iPowerStopsAwaited == 0 && !m_powerNotificationThread.IsRunning()) {
    m_powerNotificationThread.SetPriority(THREAD_PRIORITY_ABOVE_NORMAL);
    complete = m_powerNotificationThread.Start(static_cast<CHAL*>(this), nullptr) && complete;
  }
  if (!complete) MarkStartPending();
}

void CHALWinCE::CompleteStart() {
  CHALCommon::CompleteStart();
  if (m_bThreadsWanted) StartDeviceThreads();
}

void CHALWinCE::StopThreads() {
  {
    // Nothing starts them again from here on.
    std::lock_guard lock(m_startLock);
    m_bThreadsWanted = false;
  }
  for (CHALThread* thread :
       {static_cast<CHALThread*>(&m_pollingThread), static_cast<CHALThread*>(&m_storageCardThread),
        static_cast<CHALThread*>(&m_powerNotificationThread)}) {
    if (!thread->IsRunning()) continue;
    thread->RequestStop();
    thread->Wait(INFINITE);
  }
}

// --- Level 3 ----------------------------------------------------------------

CHALPlatform::CHALPlatform() {
  m_uiMaxBrightnessLevel = 8;
  m_uiMinBrightnessLevel = 1;
  m_uiFadeStep = 20;
  m_uiPollSeconds = 5;
  // This level's own defaults, also for the concrete object. A map that
  // memory ran out for, or whose keys cannot all be grabbed, is finished by
  // the next call.
  if (!StartKeyMap()) MarkStartPending();
}

bool CHALPlatform::StartKeyMap() {
  std::lock_guard grab(m_grabLock);
  // An empty map is one the defaults never reached: the application cannot
  // set an empty one.
  if (m_keyMap.empty()) {
    KeyMap defaults;
    if (!FillPlatformDefaults(defaults)) return false;
    std::lock_guard lock(m_keyMapLock);
    std::swap(m_keyMap, defaults);
  }
  if (!m_bKeyMapGrabbed) m_bKeyMapGrabbed = GrabKeys(m_keyMap);
  return m_bKeyMapGrabbed;
}

void CHALPlatform::CompleteStart() {
  CHALWinCE::CompleteStart();
  // Keys are grabbed only while someone delivers them.
  if (m_bKeyHandlerWanted.load() && !m_bKeyHandlerAttached.load() && !AttachKeyHandler()) {
    MarkStartPending();
    return;
  }
  if (!StartKeyMap()) MarkStartPending();
}

CHALPlatform::~CHALPlatform() {
  if (m_iSavedMemorySplit != 0) {
    CHALPlatform::SetMemorySplit(m_iSavedMemorySplit);
    m_iSavedMemorySplit = 0;
  }
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
  if (BTHALPointer().load() != nullptr) return;
  CBTHAL* created = new (std::nothrow) CBTHALImpl();
  CBTHAL* expected = nullptr;
  // Two calls may find no link at once (the first allocation failed): one wins.
  if (created != nullptr && !BTHALPointer().compare_exchange_strong(expected, created)) delete created;
}

void CHALExternApi::DestroyBTHAL() { delete BTHALPointer().exchange(nullptr); }

// Key dispatch at every level: the HAL's handler on the key-event window
// turns a hot-key message into calls of the key listeners, or of the
// key-record listeners in record mode; and the exported record-mode switch.
#include "hal/hal_levels.h"

namespace {

constexpr unsigned int kKeyReleased = MOD_KEYUP;

}  // namespace

// Level 0 has no key-event window to attach a handler to.
void CHAL::ConnectKeyEventHandler() {}
void CHAL::OnHotKey(unsigned int, unsigned int, long, bool*) {}

void CHALCommon::ConnectKeyEventHandler() {
  m_bKeyHandlerWanted.store(true);
  if (AttachKeyHandler()) return;
  // Keys grabbed with nobody to deliver them would vanish: let them go until
  // the handler can be attached.
  ReleaseKeyMap();
  MarkStartPending();
}

bool CHALCommon::AttachKeyHandler() {
  if (m_bKeyHandlerAttached.load()) return true;
  if (!m_keyEventWindow.AddHandler(WM_HOTKEY, static_cast<CHAL*>(this), &CHAL::OnHotKey)) return false;
  m_bKeyHandlerAttached.store(true);
  return true;
}

void CHALPlatform::OnHotKey(unsigned int message, unsigned int wParam, long lParam, bool*) {
  const auto bits = static_cast<unsigned long>(lParam);
  const unsigned int modifiers = bits & 0xFFFF;
  const unsigned long virtualKey = (bits >> 16) & 0xFFFF;

  if (m_bRecordMode.load()) {
    if ((modifiers & kKeyReleased) != 0) return;
    Notify<IHardwareKeyRecordListener>(virtualKey);
    return;
  }

  eHardwareKey key = eHardwareKeyUp;
  bool mapped = false;
  {
    std::lock_guard lock(m_keyMapLock);
    auto entry = m_keyMap.find(virtualKey);
    if (entry != m_keyMap.end()) {
      key = entry->second;
      mapped = true;
    }
  }
  if (!mapped) MapUnmappedKey(message, wParam, key);
  if ((modifiers & kKeyReleased) != 0) return;
  Notify<IHardwareKeyListener>(key);
}

void CHALPlatform::MapUnmappedKey(unsigned int const&, unsigned int const&, eHardwareKey& key) {
  key = eHardwareKeyUnmapped;
}

void SetRecordModeOn(bool on) {
  if (HalCall hal; hal) hal->SetRecordMode(on);
}

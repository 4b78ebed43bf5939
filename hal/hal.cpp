// Level 0 of the HAL object: the defaults every level inherits (do nothing,
// answer false, or answer true) and the key map's whole-map copy.
#include "hal/hal.h"

CHAL::CHAL() = default;

CHAL::~CHAL() = default;

void CHAL::Start() {}
void CHAL::DestroyBTHAL() {}
void CHAL::CreateBTHAL() {}

void CHAL::EnsureBTHAL() {
  if (BTHALPointer().load() != nullptr) return;
  if (CHAL* hal = GetHALInstance()) hal->CreateBTHAL();
}

void CHAL::StopThreads() {}

void CHAL::Connect(IHardwareKeyListener* listener) { m_keyListeners.Connect(listener); }

bool CHAL::SearchStorageCard(CardInfo&) { return false; }
void CHAL::ConnectKeyEventHandler() {}
bool CHAL::ActivateSharedHardwareKeyMap(KeyMap&) { return false; }
void CHAL::DeactivateSharedHardwareKeyMap(KeyMap&) {}
void CHAL::FillDefaultKeyMap(KeyMap&) {}
void CHAL::OnHotKey(unsigned int, unsigned int, long, bool*) {}
bool CHAL::GetLocalNavTime(CNavTime&) { return false; }
bool CHAL::GetGMTNavTime(CNavTime&) { return false; }
bool CHAL::SetLocalNavTime(CNavTime&) { return false; }
bool CHAL::SetGMTNavTime(CNavTime&) { return false; }
bool CHAL::SetTimezone(CNavTimeZone const&) { return false; }
CNavTimeZone CHAL::GetTimezone() { return CNavTimeZone(); }
bool CHAL::GetAvailableTimezones(Container::ZuVector<CNavTimeZone>&) { return false; }
bool CHAL::SetScreenOrientation(bool const&) { return false; }
bool CHAL::GetScreenOrientation(DisplayInfo&) { return false; }
bool CHAL::GetBrightness(unsigned int&) { return false; }
bool CHAL::SetBrightness(unsigned int, unsigned int) { return false; }
bool CHAL::PMDisplayOff() { return false; }
bool CHAL::PMDisplayOn() { return false; }
bool CHAL::Reserved26() { return false; }
bool CHAL::Reserved27() { return false; }
unsigned int CHAL::RoundBrightness(float) { return 0; }
void CHAL::GetRawBrightness(unsigned int&) {}
void CHAL::SetRawBrightness(unsigned int const&) {}
bool CHAL::SetVolume(unsigned int) { return false; }
bool CHAL::GetVolume(unsigned int&) { return false; }
bool CHAL::Mute(bool) { return false; }
bool CHAL::IsMuted(bool&) { return false; }
bool CHAL::PMGetPowerInfo(PMPowerInfo&) { return false; }
bool CHAL::PMPowerOff() { return false; }
bool CHAL::ResetDevice() { return false; }
bool CHAL::SuspendDevice() { return false; }
bool CHAL::GetDeviceID(wchar_t*, int) { return false; }
bool CHAL::CalibrateTouchscreen() { return false; }
void CHAL::StartResetIdleTimer() {}
void CHAL::StopResetIdleTimer() {}
void CHAL::ActivatePowerKey(bool) {}
void CHAL::SetMemorySplit(int) {}
void CHAL::RestoreMemorySplit() {}
bool CHAL::OpenContacts() { return false; }
bool CHAL::SetSystemLanguage(unsigned long) { return false; }
bool CHAL::GetDeviceInfo(eDeviceInfoID, wchar_t*, unsigned long) { return false; }
bool CHAL::ReadFlash(unsigned long, unsigned char*, unsigned long) { return false; }
bool CHAL::WriteFlash(unsigned long, unsigned char*, unsigned long) { return false; }
bool CHAL::IsForegroundTrackingEnabled() { return true; }
bool CHAL::IsApplicationInForeground() { return false; }
void CHAL::OnForegroundChanged(bool) {}
void CHAL::ResetIdleTimerTick() {}
bool CHAL::ActivateFMTransmitter(bool) { return false; }
bool CHAL::IsFMTransmitterActive() { return false; }
bool CHAL::SetFMPiCode(unsigned short) { return false; }
bool CHAL::SetFMStationName(wchar_t const*) { return false; }
bool CHAL::SetFMRadioText(wchar_t const*) { return false; }
bool CHAL::MuteFM(bool) { return false; }
void CHAL::SetFMFrequencySearchStepSize(unsigned int const&) {}
bool CHAL::SetFMFrequency(unsigned int) { return false; }
bool CHAL::StepFMFrequencyForward(unsigned int const&) { return false; }
bool CHAL::StepFMFrequencyBackward(unsigned int const&) { return false; }
bool CHAL::GetFMFrequency(unsigned int&) { return false; }
bool CHAL::SetFMPower(unsigned int) { return false; }
void CHAL::SetFMBandwidth(unsigned int const&, unsigned int const&) {}
void CHAL::GetFMBandwidth(unsigned int&, unsigned int&) {}
bool CHAL::SetFMMode(unsigned int) { return false; }
bool CHAL::GetFMMode(unsigned int&) { return false; }
bool CHAL::SetDynamicControl(FMDRCSetting const&) { return false; }
void CHAL::GetDynamicControl(FMDRCSetting&) {}
bool CHAL::SetFMEmphasis(unsigned int const&) { return false; }
void CHAL::ActivateSRAudio(bool const&) {}
bool CHAL::SetMicVolume(unsigned int const&) { return false; }
bool CHAL::GetMicVolume(unsigned int&) { return false; }
bool CHAL::ActivateRemoteControl(bool) { return false; }
bool CHAL::GetBtMACAddr(wchar_t*, int) { return false; }

bool CHAL::SetKeyMap(KeyMap const&) { return false; }

CHAL::KeyMap CHAL::CopyKeyMap() const {
  std::lock_guard lock(m_keyMapLock);
  return m_keyMap;
}

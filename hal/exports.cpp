// The exported functions that forward to one operation of the HAL: each
// passes its arguments through and returns the operation's result, or
// reports failure when no HAL could be created.
#include <mutex>

#include "hal/hal.h"

bool SearchStorageCard(CardInfo& card) {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->SearchStorageCard(card);
}

bool GetLocalNavTime(CNavTime& time) {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->GetLocalNavTime(time);
}

bool GetGMTNavTime(CNavTime& time) {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->GetGMTNavTime(time);
}

bool SetLocalNavTime(CNavTime& time) {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->SetLocalNavTime(time);
}

bool SetGMTNavTime(CNavTime& time) {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->SetGMTNavTime(time);
}

bool SetTimezone(CNavTimeZone const& zone) {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->SetTimezone(zone);
}

bool SetScreenOrientation(bool const& landscape) {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->SetScreenOrientation(landscape);
}

bool GetScreenOrientation(DisplayInfo& info) {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->GetScreenOrientation(info);
}

bool GetBrightness(unsigned int& percent) {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->GetBrightness(percent);
}

bool SetBrightness(unsigned int percent, unsigned int fade) {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->SetBrightness(percent, fade);
}

bool PMDisplayOff() {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->PMDisplayOff();
}

bool PMDisplayOn() {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->PMDisplayOn();
}

bool SetVolume(unsigned int percent) {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->SetVolume(percent);
}

bool GetVolume(unsigned int& percent) {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->GetVolume(percent);
}

bool Mute(bool mute) {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->Mute(mute);
}

bool IsMuted(bool& muted) {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->IsMuted(muted);
}

bool PMGetPowerInfo(PMPowerInfo& info) {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->PMGetPowerInfo(info);
}

bool PMPowerOff() {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->PMPowerOff();
}

bool ResetDevice() {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->ResetDevice();
}

bool SuspendDevice() {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->SuspendDevice();
}

bool GetDeviceID(wchar_t* buffer, int length) {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->GetDeviceID(buffer, length);
}

bool CalibrateTouchscreen() {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->CalibrateTouchscreen();
}

void StartResetIdleTimer() {
  if (CHAL* hal = GetHALInstance()) hal->StartResetIdleTimer();
}

void StopResetIdleTimer() {
  if (CHAL* hal = GetHALInstance()) hal->StopResetIdleTimer();
}

void ActivatePowerKey(bool activate) {
  if (CHAL* hal = GetHALInstance()) hal->ActivatePowerKey(activate);
}

void SetMemorySplit(int percent) {
  if (CHAL* hal = GetHALInstance()) hal->SetMemorySplit(percent);
}

void RestoreMemorySplit() {
  if (CHAL* hal = GetHALInstance()) hal->RestoreMemorySplit();
}

bool OpenContacts() {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->OpenContacts();
}

bool SetSystemLanguage(unsigned long language) {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->SetSystemLanguage(language);
}

bool GetDeviceInfo(eDeviceInfoID id, wchar_t* buffer, unsigned long length) {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->GetDeviceInfo(id, buffer, length);
}

bool ReadFlash(unsigned long offset, unsigned char* buffer, unsigned long length) {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->ReadFlash(offset, buffer, length);
}

bool WriteFlash(unsigned long offset, unsigned char* buffer, unsigned long length) {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->WriteFlash(offset, buffer, length);
}

bool ActivateFMTransmitter(bool on) {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->ActivateFMTransmitter(on);
}

bool IsFMTransmitterActive() {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->IsFMTransmitterActive();
}

bool SetFMPiCode(unsigned short code) {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->SetFMPiCode(code);
}

bool SetFMStationName(wchar_t const* name) {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->SetFMStationName(name);
}

bool SetFMRadioText(wchar_t const* text) {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->SetFMRadioText(text);
}

bool MuteFM(bool mute) {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->MuteFM(mute);
}

void SetFMFrequencySearchStepSize(unsigned int const& step) {
  if (CHAL* hal = GetHALInstance()) hal->SetFMFrequencySearchStepSize(step);
}

bool SetFMFrequency(unsigned int frequency) {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->SetFMFrequency(frequency);
}

bool StepFMFrequencyForward(unsigned int const& step) {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->StepFMFrequencyForward(step);
}

bool StepFMFrequencyBackward(unsigned int const& step) {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->StepFMFrequencyBackward(step);
}

bool GetFMFrequency(unsigned int& frequency) {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->GetFMFrequency(frequency);
}

bool SetFMPower(unsigned int power) {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->SetFMPower(power);
}

void SetFMBandwidth(unsigned int const& low, unsigned int const& high) {
  if (CHAL* hal = GetHALInstance()) hal->SetFMBandwidth(low, high);
}

void GetFMBandwidth(unsigned int& low, unsigned int& high) {
  if (CHAL* hal = GetHALInstance()) hal->GetFMBandwidth(low, high);
}

bool SetFMMode(unsigned int mode) {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->SetFMMode(mode);
}

bool GetFMMode(unsigned int& mode) {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->GetFMMode(mode);
}

bool SetDynamicControl(FMDRCSetting const& setting) {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->SetDynamicControl(setting);
}

void GetDynamicControl(FMDRCSetting& setting) {
  if (CHAL* hal = GetHALInstance()) hal->GetDynamicControl(setting);
}

bool SetFMEmphasis(unsigned int const& emphasis) {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->SetFMEmphasis(emphasis);
}

void ActivateSRAudio(bool const& on) {
  if (CHAL* hal = GetHALInstance()) hal->ActivateSRAudio(on);
}

bool SetMicVolume(unsigned int const& volume) {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->SetMicVolume(volume);
}

bool GetMicVolume(unsigned int& volume) {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->GetMicVolume(volume);
}

bool ActivateRemoteControl(bool on) {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->ActivateRemoteControl(on);
}

bool GetBtMACAddr(wchar_t* buffer, int length) {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && hal->GetBtMACAddr(buffer, length);
}

CNavTimeZone const& GetTimezone() {
  static CNavTimeZone held;
  static std::mutex refreshing;
  std::lock_guard lock(refreshing);
  CHAL* hal = GetHALInstance();
  held = hal != nullptr ? hal->GetTimezone() : CNavTimeZone();
  return held;
}

Container::ZuVector<CNavTimeZone> const& GetAvailableTimezones() {
  static Container::ZuVector<CNavTimeZone> held;
  static std::mutex refreshing;
  std::lock_guard lock(refreshing);
  if (CHAL* hal = GetHALInstance()) {
    hal->GetAvailableTimezones(held);
  } else {
    held.clear();
  }
  return held;
}

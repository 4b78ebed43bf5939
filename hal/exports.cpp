// The exported functions that forward to one operation of the HAL: each
// passes its arguments through and returns the operation's result, or
// reports failure when no HAL could be created or FreeDLL is tearing it
// down. Each holds the HAL for the length of the call (HalCall).
#include <mutex>

#include "hal/hal.h"

bool SearchStorageCard(CardInfo& card) {
  HalCall hal;
  return hal && hal->SearchStorageCard(card);
}

bool GetLocalNavTime(CNavTime& time) {
  HalCall hal;
  return hal && hal->GetLocalNavTime(time);
}

bool GetGMTNavTime(CNavTime& time) {
  HalCall hal;
  return hal && hal->GetGMTNavTime(time);
}

bool SetLocalNavTime(CNavTime& time) {
  HalCall hal;
  return hal && hal->SetLocalNavTime(time);
}

bool SetGMTNavTime(CNavTime& time) {
  HalCall hal;
  return hal && hal->SetGMTNavTime(time);
}

bool SetTimezone(CNavTimeZone const& zone) {
  HalCall hal;
  return hal && hal->SetTimezone(zone);
}

bool SetScreenOrientation(bool const& landscape) {
  HalCall hal;
  return hal && hal->SetScreenOrientation(landscape);
}

bool GetScreenOrientation(DisplayInfo& info) {
  HalCall hal;
  return hal && hal->GetScreenOrientation(info);
}

bool GetBrightness(unsigned int& percent) {
  HalCall hal;
  return hal && hal->GetBrightness(percent);
}

bool SetBrightness(unsigned int percent, unsigned int fade) {
  HalCall hal;
  return hal && hal->SetBrightness(percent, fade);
}

bool PMDisplayOff() {
  HalCall hal;
  return hal && hal->PMDisplayOff();
}

bool PMDisplayOn() {
  HalCall hal;
  return hal && hal->PMDisplayOn();
}

bool SetVolume(unsigned int percent) {
  HalCall hal;
  return hal && hal->SetVolume(percent);
}

bool GetVolume(unsigned int& percent) {
  HalCall hal;
  return hal && hal->GetVolume(percent);
}

bool Mute(bool mute) {
  HalCall hal;
  return hal && hal->Mute(mute);
}

bool IsMuted(bool& muted) {
  HalCall hal;
  return hal && hal->IsMuted(muted);
}

bool PMGetPowerInfo(PMPowerInfo& info) {
  HalCall hal;
  return hal && hal->PMGetPowerInfo(info);
}

bool PMPowerOff() {
  HalCall hal;
  return hal && hal->PMPowerOff();
}

bool ResetDevice() {
  HalCall hal;
  return hal && hal->ResetDevice();
}

bool SuspendDevice() {
  HalCall hal;
  return hal && hal->SuspendDevice();
}

bool GetDeviceID(wchar_t* buffer, int length) {
  HalCall hal;
  return hal && hal->GetDeviceID(buffer, length);
}

bool CalibrateTouchscreen() {
  HalCall hal;
  return hal && hal->CalibrateTouchscreen();
}

void StartResetIdleTimer() {
  if (HalCall hal; hal) hal->StartResetIdleTimer();
}

void StopResetIdleTimer() {
  // Only takes something away: never creates a HAL.
  if (HalCall hal(HalCall::Use::kExisting); hal) hal->StopResetIdleTimer();
}

void ActivatePowerKey(bool activate) {
  if (HalCall hal; hal) hal->ActivatePowerKey(activate);
}

void SetMemorySplit(int percent) {
  if (HalCall hal; hal) hal->SetMemorySplit(percent);
}

void RestoreMemorySplit() {
  if (HalCall hal; hal) hal->RestoreMemorySplit();
}

bool OpenContacts() {
  HalCall hal;
  return hal && hal->OpenContacts();
}

bool SetSystemLanguage(unsigned long language) {
  HalCall hal;
  return hal && hal->SetSystemLanguage(language);
}

bool GetDeviceInfo(eDeviceInfoID id, wchar_t* buffer, unsigned long length) {
  HalCall hal;
  return hal && hal->GetDeviceInfo(id, buffer, length);
}

bool ReadFlash(unsigned long offset, unsigned char* buffer, unsigned long length) {
  HalCall hal;
  return hal && hal->ReadFlash(offset, buffer, length);
}

bool WriteFlash(unsigned long offset, unsigned char* buffer, unsigned long length) {
  HalCall hal;
  return hal && hal->WriteFlash(offset, buffer, length);
}

bool ActivateFMTransmitter(bool on) {
  HalCall hal;
  return hal && hal->ActivateFMTransmitter(on);
}

bool IsFMTransmitterActive() {
  HalCall hal;
  return hal && hal->IsFMTransmitterActive();
}

bool SetFMPiCode(unsigned short code) {
  HalCall hal;
  return hal && hal->SetFMPiCode(code);
}

bool SetFMStationName(wchar_t const* name) {
  HalCall hal;
  return hal && hal->SetFMStationName(name);
}

bool SetFMRadioText(wchar_t const* text) {
  HalCall hal;
  return hal && hal->SetFMRadioText(text);
}

bool MuteFM(bool mute) {
  HalCall hal;
  return hal && hal->MuteFM(mute);
}

void SetFMFrequencySearchStepSize(unsigned int const& step) {
  if (HalCall hal; hal) hal->SetFMFrequencySearchStepSize(step);
}

bool SetFMFrequency(unsigned int frequency) {
  HalCall hal;
  return hal && hal->SetFMFrequency(frequency);
}

bool StepFMFrequencyForward(unsigned int const& step) {
  HalCall hal;
  return hal && hal->StepFMFrequencyForward(step);
}

bool StepFMFrequencyBackward(unsigned int const& step) {
  HalCall hal;
  return hal && hal->StepFMFrequencyBackward(step);
}

bool GetFMFrequency(unsigned int& frequency) {
  HalCall hal;
  return hal && hal->GetFMFrequency(frequency);
}

bool SetFMPower(unsigned int power) {
  HalCall hal;
  return hal && hal->SetFMPower(power);
}

void SetFMBandwidth(unsigned int const& low, unsigned int const& high) {
  if (HalCall hal; hal) hal->SetFMBandwidth(low, high);
}

void GetFMBandwidth(unsigned int& low, unsigned int& high) {
  if (HalCall hal; hal) hal->GetFMBandwidth(low, high);
}

bool SetFMMode(unsigned int mode) {
  HalCall hal;
  return hal && hal->SetFMMode(mode);
}

bool GetFMMode(unsigned int& mode) {
  HalCall hal;
  return hal && hal->GetFMMode(mode);
}

bool SetDynamicControl(FMDRCSetting const& setting) {
  HalCall hal;
  return hal && hal->SetDynamicControl(setting);
}

void GetDynamicControl(FMDRCSetting& setting) {
  if (HalCall hal; hal) hal->GetDynamicControl(setting);
}

bool SetFMEmphasis(unsigned int const& emphasis) {
  HalCall hal;
  return hal && hal->SetFMEmphasis(emphasis);
}

void ActivateSRAudio(bool const& on) {
  if (HalCall hal; hal) hal->ActivateSRAudio(on);
}

bool SetMicVolume(unsigned int const& volume) {
  HalCall hal;
  return hal && hal->SetMicVolume(volume);
}

bool GetMicVolume(unsigned int& volume) {
  HalCall hal;
  return hal && hal->GetMicVolume(volume);
}

bool ActivateRemoteControl(bool on) {
  HalCall hal;
  return hal && hal->ActivateRemoteControl(on);
}

bool GetBtMACAddr(wchar_t* buffer, int length) {
  HalCall hal;
  return hal && hal->GetBtMACAddr(buffer, length);
}

CNavTimeZone const& GetTimezone() {
  static CNavTimeZone held;
  static std::mutex refreshing;
  std::lock_guard lock(refreshing);
  HalCall hal;
  held = hal ? hal->GetTimezone() : CNavTimeZone();
  return held;
}

Container::ZuVector<CNavTimeZone> const& GetAvailableTimezones() {
  static Container::ZuVector<CNavTimeZone> held;
  static std::mutex refreshing;
  std::lock_guard lock(refreshing);
  if (HalCall hal; hal) {
    hal->GetAvailableTimezones(held);
  } else {
    held.clear();
  }
  return held;
}

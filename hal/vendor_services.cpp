// The services of the vendor library: their exported functions and their
// operations at every level: raw flash access, the Bluetooth address, the FM
// transmitter's settings and the remote control.
#include <cstdint>
#include <cwchar>

#include "hal/hal_levels.h"
#include "hal/vendor_library.h"

namespace {

constexpr unsigned long kFlashSize = 2048;
constexpr int kMacTextChars = 23;  // "MAC: xx-xx-xx-xx-xx-xx" and its terminator

// The range must lie in the flash area; the test cannot wrap round, however
// large the arguments.
bool InFlash(unsigned long offset, unsigned long length) {
  return offset <= kFlashSize && length <= kFlashSize - offset;
}

bool CallFlash(const wchar_t* name, unsigned long offset, unsigned char* buffer, unsigned long length) {
  if (!InFlash(offset, length) || (buffer == nullptr && length != 0)) return false;
  std::int32_t result = 0;
  return Vendor::Call(name, result, static_cast<std::uint32_t>(offset), static_cast<std::uint8_t*>(buffer),
                      static_cast<std::uint32_t>(length)) &&
         result != 0;
}

}  // namespace

// --- Exported functions ------------------------------------------------------

bool ReadFlash(unsigned long offset, unsigned char* buffer, unsigned long length) {
  HalCall hal;
  return hal && hal->ReadFlash(offset, buffer, length);
}

bool WriteFlash(unsigned long offset, unsigned char* buffer, unsigned long length) {
  HalCall hal;
  return hal && hal->WriteFlash(offset, buffer, length);
}

bool GetBtMACAddr(wchar_t* buffer, int length) {
  HalCall hal;
  return hal && hal->GetBtMACAddr(buffer, length);
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

bool ActivateRemoteControl(bool on) {
  HalCall hal;
  return hal && hal->ActivateRemoteControl(on);
}

// --- Level 0 -----------------------------------------------------------------

bool CHAL::ReadFlash(unsigned long, unsigned char*, unsigned long) { return false; }
bool CHAL::WriteFlash(unsigned long, unsigned char*, unsigned long) { return false; }
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
bool CHAL::ActivateRemoteControl(bool) { return false; }
bool CHAL::GetBtMACAddr(wchar_t*, int) { return false; }

// --- Level 4 -----------------------------------------------------------------

bool CHALExternApi::IsFMTransmitterActive() { return m_bFMTransmitterActive; }

void CHALExternApi::SetFMBandwidth(unsigned int const& low, unsigned int const& high) {
  m_uiFMBandLow = low;
  m_uiFMBandHigh = high;
}

void CHALExternApi::GetFMBandwidth(unsigned int& low, unsigned int& high) {
  low = m_uiFMBandLow;
  high = m_uiFMBandHigh;
}

bool CHALExternApi::ReadFlash(unsigned long offset, unsigned char* buffer, unsigned long length) {
  return CallFlash(L"ReadFlash", offset, buffer, length);
}

bool CHALExternApi::WriteFlash(unsigned long offset, unsigned char* buffer, unsigned long length) {
  return CallFlash(L"WriteFlash", offset, buffer, length);
}

// Nothing is written unless the whole text fits and the vendor gave an
// address.
bool CHALExternApi::GetBtMACAddr(wchar_t* buffer, int length) {
  if (buffer == nullptr || length < kMacTextChars) return false;
  std::uint8_t address[6] = {};
  std::int32_t result = 0;
  if (!Vendor::Call(L"GetBtMacAddrFromAssetData", result, static_cast<std::uint8_t*>(address)) ||
      result == 0) {
    return false;
  }
  wchar_t text[kMacTextChars];
  std::swprintf(text, kMacTextChars, L"MAC: %02x-%02x-%02x-%02x-%02x-%02x", address[0], address[1],
                address[2], address[3], address[4], address[5]);
  std::wmemcpy(buffer, text, kMacTextChars);
  return true;
}

// A program built against an installed pndhal: it calls every exported
// function and checks the answers the device gives for the operations it
// does not support.
#include <pndhal/pndhal.h>
#include <pndsim/pndsim.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

int failures = 0;

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "consumer: expected %s\n", what);
    ++failures;
  }
}

struct Listener : IHardwareKeyListener,
                  IHardwareKeyRecordListener,
                  IPMPowerListener,
                  IVolumeListener,
                  ICardListener,
                  ISuspendResumeDeviceListener {
  void Notify(eHardwareKey const&) override {}
  void Notify(unsigned long) override {}
  void Notify(PMPowerInfo const& info) override {
    lastPowerState = info.powerState;
    ++powerCalls;
  }
  void Notify(VolumeInfo const& volume) override {
    lastVolume = volume.volume;
    ++volumeCalls;
  }
  void Notify(CardInfo const&) override {}
  void Notify(bool const& suspending) override { ++(suspending ? suspends : resumes); }

  std::atomic<int> powerCalls{0}, volumeCalls{0}, suspends{0}, resumes{0};
  std::atomic<unsigned> lastPowerState{0}, lastVolume{0};
};

// Polls `condition` for up to five seconds.
template <class Condition>
bool Eventually(Condition condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace

int main() {
  pndsim::Reset();
  pndsim::SetTimeScale(100);  // the device's pauses take milliseconds
  InitHAL();
  Check(GetBTHAL() != nullptr, "a phone link");
  SetRecordModeOn(false);

  Listener listener;
  Connect(static_cast<IHardwareKeyListener*>(&listener));
  Connect(static_cast<IHardwareKeyRecordListener*>(&listener));
  Connect(static_cast<IPMPowerListener*>(&listener));
  Connect(static_cast<IVolumeListener*>(&listener));
  Connect(static_cast<ICardListener*>(&listener));
  Connect(static_cast<ISuspendResumeDeviceListener*>(&listener));

  // The device driven through the simulator reaches the listeners.
  Check(Eventually([&] { return listener.powerCalls > 0; }), "the power state at connection");
  pndsim::SetBattery(70, 0x08);
  pndsim::PlugAc();
  Check(Eventually([&] { return listener.lastPowerState == 2; }), "a power report of charging");
  pndsim::SetVolumeChannels(0x7FFF, 0x7FFF);
  Check(Eventually([&] { return listener.lastVolume == 50; }), "a volume report of 50%");
  Check(Eventually([] { return pndsim::PowerNotificationCount() == 1; }), "power notifications requested");
  Check(pndsim::Suspend() && Eventually([&] { return listener.suspends == 1; }), "a suspend notification");
  Check(pndsim::Resume() && Eventually([&] { return listener.resumes == 1; }), "a resume notification");
  Check(SetBrightness(100, 0) && pndsim::BacklightLevel() == 10, "the vendor library to set the backlight");

  Check(GetHardwareKeyMap().size() == 12, "twelve default keys");
  HardwareKeyMap map = GetHardwareKeyMap();
  Check(SetHardwareKeyMap(map), "the default map to be accepted again");
  HardwareKeyMap shared;
  shared.insert(0x77, eHardwareKeyF8);
  Check(ActivateSharedHardwareKeyMap(shared), "a shared map to be grabbed");
  DeactivateSharedHardwareKeyMap(shared);

  CardInfo card{};
  Check(!SearchStorageCard(card), "no storage-card search");

  CNavTime now;
  GetLocalNavTime(now);
  GetGMTNavTime(now);
  SetLocalNavTime(now);
  SetGMTNavTime(now);
  SetTimezone(GetTimezone());
  GetAvailableTimezones();

  DisplayInfo display{};
  bool landscape = true;
  SetScreenOrientation(landscape);
  GetScreenOrientation(display);
  unsigned int value = 0;
  GetBrightness(value);
  SetBrightness(50, 0);
  PMDisplayOff();
  PMDisplayOn();
  GetVolume(value);
  SetVolume(50);
  Mute(true);
  Mute(false);
  PMPowerInfo power{};
  PMGetPowerInfo(power);
  SuspendDevice();
  ResetDevice();
  ActivatePowerKey(true);
  ActivatePowerKey(false);

  wchar_t text[256] = L"";
  GetDeviceID(text, 256);
  GetDeviceInfo(eDeviceInfoOEM, text, 256);
  GetBtMACAddr(text, 256);
  CalibrateTouchscreen();
  OpenContacts();
  unsigned char flash[8] = {};
  ReadFlash(0, flash, sizeof flash);
  WriteFlash(0, flash, sizeof flash);

  bool muted = false;
  Check(!IsMuted(muted), "no mute query");
  Check(!PMPowerOff(), "no power-off");
  Check(!SetSystemLanguage(0x409), "no system language");
  StartResetIdleTimer();
  StopResetIdleTimer();
  SetMemorySplit(50);
  RestoreMemorySplit();

  Check(!ActivateFMTransmitter(true), "no FM transmitter");
  Check(!IsFMTransmitterActive(), "an inactive FM transmitter");
  Check(!SetFMPiCode(1) && !SetFMStationName(L"x") && !SetFMRadioText(L"x") && !MuteFM(true),
        "FM settings to be refused");
  unsigned int step = 1;
  SetFMFrequencySearchStepSize(step);
  Check(!SetFMFrequency(1000) && !StepFMFrequencyForward(step) && !StepFMFrequencyBackward(step) &&
            !GetFMFrequency(value) && !SetFMPower(1) && !SetFMMode(1) && !GetFMMode(value) &&
            !SetFMEmphasis(step),
        "FM tuning to be refused");
  unsigned int low = 0, high = 0;
  GetFMBandwidth(low, high);
  Check(low == 880 && high == 1070, "the default FM band 880-1070");
  SetFMBandwidth(875, 1080);
  GetFMBandwidth(low, high);
  Check(low == 875 && high == 1080, "the FM band as set");
  FMDRCSetting drc{1, 2, 3, true};
  Check(!SetDynamicControl(drc), "no dynamic-range control");
  GetDynamicControl(drc);
  Check(drc.threshold == 1 && drc.releaseTime == 3, "the dynamic-range record untouched");
  ActivateSRAudio(true);
  Check(!SetMicVolume(step) && !GetMicVolume(value), "no microphone volume");
  Check(!ActivateRemoteControl(true), "no remote control");

  Disconnect(static_cast<IHardwareKeyListener*>(&listener));
  Disconnect(static_cast<IHardwareKeyRecordListener*>(&listener));
  Disconnect(static_cast<IPMPowerListener*>(&listener));
  Disconnect(static_cast<IVolumeListener*>(&listener));
  Disconnect(static_cast<ICardListener*>(&listener));
  Disconnect(static_cast<ISuspendResumeDeviceListener*>(&listener));
  FreeDLL();
  Check(pndsim::LiveThreadCount() == 0, "no thread after FreeDLL");
  if (failures == 0) std::printf("consumer: every exported function answered as expected\n");
  return failures == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
}

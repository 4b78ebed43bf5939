// `pndhal tour`: the HAL on the default simulated device, step by step.
#include <pndhal/pndhal.h>
#include <pndsim/pndsim.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "command_line.h"
#include "commands.h"

namespace tool {
namespace {

// Prints each key it receives and lets the tour wait for it.
class PrintingKeyListener : public IHardwareKeyListener, public IHardwareKeyRecordListener {
 public:
  void Notify(eHardwareKey const& key) override { Report("key listener", static_cast<unsigned long>(key)); }
  void Notify(unsigned long virtualKey) override { Report("record listener", virtualKey); }

  /// Waits until `count` calls arrived in all; false after five seconds.
  bool WaitFor(int count) {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, std::chrono::seconds(5), [&] { return calls_ >= count; });
  }
  int Calls() {
    std::lock_guard lock(mutex_);
    return calls_;
  }

 private:
  void Report(const char* who, unsigned long value) {
    std::lock_guard lock(mutex_);
    std::printf("    %s: %lu (0x%lX)\n", who, value, value);
    ++calls_;
    arrived_.notify_all();
  }

  std::mutex mutex_;
  std::condition_variable arrived_;
  int calls_ = 0;
};

// Prints what the phone link's listeners are told (on the link's window
// thread, while the telephone program's report is being handled).
class PrintingPhoneListener : public IBTCallStatusListener {
 public:
  void Notify(int const* status) override {
    std::printf("    call-status listener: %d (%s)\n", *status, CallStatusName(*status));
  }
};

class PrintingForegroundListener : public IBTForegroundListener {
 public:
  void Notify(int const* state) override {
    std::printf("    foreground listener: %d (%s in front)\n", *state,
                *state == 1 ? "telephone" : "application");
  }
};

void Step(const char* title) { std::printf("\n== %s\n", title); }

bool Press(PrintingKeyListener& listener, unsigned virtualKey, bool release, const char* name) {
  std::printf("  press %s (0x%02X)%s\n", name, virtualKey, release ? " and release it" : "");
  const int before = listener.Calls();
  const bool delivered = pndsim::PressKey(virtualKey);
  if (release) pndsim::ReleaseKey(virtualKey);
  if (!delivered) {
    std::printf("    the press reached nobody (no hot key, or its owner's queue is full)\n");
    return true;
  }
  const bool arrived = listener.WaitFor(before + 1);
  if (!arrived) std::fprintf(stderr, "pndhal: tour: the key did not arrive\n");
  return arrived;
}

void PrintDevice() {
  std::printf("  windows:\n");
  for (const auto& window : pndsim::Windows()) {
    std::printf("    \"%s\" (class %s, thread %u)\n", window.title.c_str(), window.className.c_str(),
                window.ownerThread);
  }
  std::printf("  threads running: %d\n", pndsim::LiveThreadCount());
  std::printf("  hot keys:");
  for (const auto& hotKey : pndsim::HotKeys()) {
    std::printf(" 0x%02X%s", hotKey.virtualKey, (hotKey.modifiers & 0x1000) != 0 ? "+up" : "");
  }
  std::printf("\n");
}

int Tour(const CommonOptions& options) {
  pndsim::Reset();
  // By default simulated time runs 100 times faster: the 5-second polling period takes 50 ms.
  pndsim::SetTimeScale(options.timeScale);
  std::setvbuf(stdout, nullptr, _IOLBF, 0);

  Step("Starting the HAL on the simulated device");
  InitHAL();
  PrintNewTrace(stdout);
  PrintDevice();
  std::printf("  key map:");
  for (const auto& entry : GetHardwareKeyMap()) std::printf(" 0x%02lX->%d", entry.first, entry.second);
  std::printf("\n");

  Step("Pressing keys");
  PrintingKeyListener listener;
  Connect(static_cast<IHardwareKeyListener*>(&listener));
  Connect(static_cast<IHardwareKeyRecordListener*>(&listener));
  bool ok = Press(listener, 0x26, true, "Up");
  ok = ok && Press(listener, 0x0D, false, "Return");
  ok = ok && Press(listener, 0xC1, true, "device key");
  ok = ok && Press(listener, 0x75, false, "F6");

  Step("Grabbing F8, which the key map does not translate");
  HardwareKeyMap shared;
  shared.insert(0x77, eHardwareKeyF8);
  ActivateSharedHardwareKeyMap(shared);
  PrintNewTrace(stdout);
  ok = ok && Press(listener, 0x77, false, "F8");
  DeactivateSharedHardwareKeyMap(shared);
  PrintNewTrace(stdout);

  Step("Record mode: raw key codes");
  SetRecordModeOn(true);
  ok = ok && Press(listener, 0xC3, true, "device key");
  SetRecordModeOn(false);

  Step("A call on the simulated telephone");
  CBTHAL* link = GetBTHAL();
  PrintingPhoneListener calls;
  PrintingForegroundListener foreground;
  link->ConnectCallStatusListener(&calls);
  link->ConnectForegroundListener(&foreground);
  std::printf("  launch the phone link\n");
  const bool launched = link->LaunchPhone(nullptr) && pndsim::SyncTelephone();
  ok = ok && launched;
  PrintNewTrace(stdout);
  if (launched) {
    std::printf("  the phone rings\n");
    pndsim::SetTelephoneCallState(pndsim::TelephoneCall::Incoming);
    std::printf("  the telephone program comes to the front\n");
    pndsim::SetTelephoneForeground(pndsim::TelephoneForeground::Telephone);
    std::printf("  the call is answered\n");
    pndsim::SetTelephoneCallState(pndsim::TelephoneCall::Active);
    std::printf("  the application hangs up\n");
    ok = ok && link->HangUp() && pndsim::SyncTelephone();
    pndsim::SetTelephoneForeground(pndsim::TelephoneForeground::Application);
    int status = -1;
    link->GetCallStatus(status);
    std::printf("  call status now: %d (%s)\n", status, CallStatusName(status));
    std::printf("  close the phone link\n");
    link->ClosePhone();
    PrintNewTrace(stdout);
  } else {
    std::fprintf(stderr, "pndhal: tour: the telephone program did not answer\n");
  }
  link->DisconnectCallStatusListener(&calls);
  link->DisconnectForegroundListener(&foreground);

  Disconnect(static_cast<IHardwareKeyListener*>(&listener));
  Disconnect(static_cast<IHardwareKeyRecordListener*>(&listener));
  PrintNewTrace(stdout);
  ok = TourDeviceServices() && ok;

  Step("The HAL freed");
  PrintNewTrace(stdout);
  PrintDevice();
  return ok ? kExitSuccess : kExitFailure;
}

}  // namespace

void AddTourCommand(CLI::App& app) {
  CLI::App* command = app.add_subcommand(
      "tour",
      "start the HAL, walk through a short scenario and print every platform action and listener call");
  auto options = std::make_shared<CommonOptions>();
  AddCommonOptions(*command, *options, {.timeScale = true});
  SetAction(*command, [options] { return Tour(*options); });
}

}  // namespace tool

// navapp: the smallest navigation application on pndhal. It starts the library, connects a listener of
// every kind, prints each call it receives ("app: key F6") and runs until its standard input closes.
// Started with PNDSIM_CONSOLE=auto, its simulated device opens a console that `pndhal console` and
// `pndhal run --attach` reach; it needs nothing of the application for that, and the application may free
// the library while clients are connected.
#include <pndhal/pndhal.h>

#include <cstdio>
#include <iostream>
#include <mutex>
#include <string>

namespace {

std::mutex output;

// A folder name for printing: its characters as they are in ASCII, '?' for any other.
std::string Printable(const wchar_t* text) {
  std::string printable;
  for (; text != nullptr && *text != L'\0'; ++text)
    printable += *text < 0x80 ? static_cast<char>(*text) : '?';
  return printable;
}

template <class... Args>
void Say(const char* format, Args... args) {
  std::lock_guard lock(output);
  std::printf(format, args...);
  std::fflush(stdout);
}

class Listeners : public IHardwareKeyListener,
                  public IPMPowerListener,
                  public IVolumeListener,
                  public ICardListener,
                  public ISuspendResumeDeviceListener,
                  public IBTCallStatusListener {
 public:
  void Notify(eHardwareKey const& key) override { Say("app: key %d\n", static_cast<int>(key)); }
  void Notify(PMPowerInfo const& info) override {
    Say("app: power %u%% state %u\n", info.batteryLevel, info.powerState);
  }
  void Notify(VolumeInfo const& volume) override {
    Say("app: volume %u\n", static_cast<unsigned>(volume.volume));
  }
  void Notify(CardInfo const& card) override {
    Say("app: card %s %s\n", Printable(card.path.c_str()).c_str(), card.removed ? "removed" : "mounted");
  }
  void Notify(bool const& suspending) override { Say("app: %s\n", suspending ? "suspending" : "resumed"); }
  void Notify(int const* status) override { Say("app: call status %d\n", *status); }
};

}  // namespace

int main() {
  Listeners listeners;
  InitHAL();
  Connect(static_cast<IHardwareKeyListener*>(&listeners));
  Connect(static_cast<IPMPowerListener*>(&listeners));
  Connect(static_cast<IVolumeListener*>(&listeners));
  Connect(static_cast<ICardListener*>(&listeners));
  Connect(static_cast<ISuspendResumeDeviceListener*>(&listeners));
  GetBTHAL()->ConnectCallStatusListener(&listeners);
  Say("app: running\n");

  // The application's own work would go here; this one waits until it is told to stop.
  std::string line;
  while (std::getline(std::cin, line)) {
  }

  GetBTHAL()->DisconnectCallStatusListener(&listeners);
  Disconnect(static_cast<ISuspendResumeDeviceListener*>(&listeners));
  Disconnect(static_cast<ICardListener*>(&listeners));
  Disconnect(static_cast<IVolumeListener*>(&listeners));
  Disconnect(static_cast<IPMPowerListener*>(&listeners));
  Disconnect(static_cast<IHardwareKeyListener*>(&listeners));
  FreeDLL();
  Say("app: stopped\n");
  return 0;
}

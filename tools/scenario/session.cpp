// Running statements: the session's listeners, its recording and the device-time waits.
#include <pndhal/pndhal.h>
#include <pndsim/pndsim.h>

#include <thread>

#include "names.h"
#include "scenario.h"

namespace scenario {

Session::Session(SessionOptions options, DeviceObserver::Sink sink)
    : options_(std::move(options)), observer_([this, sink = std::move(sink)](const Event& event) {
        if (sink) sink(event);
        if (event.source == Event::Source::Listener && !event.startup && recording_.load() &&
            options_.record) {
          options_.record("expect " + event.text);
        }
      }) {}

void Session::Start() {
  // What the polling thread's first round reports, read the way it reads it: a fresh record each time.
  PMPowerInfo power{};
  PMGetPowerInfo(power);
  observer_.ExpectStartupReport("power", "power " + std::to_string(power.batteryLevel) + " " +
                                             PowerStates().NameOf(static_cast<long>(power.powerState)));
  unsigned volume = 0;
  GetVolume(volume);
  observer_.ExpectStartupReport("volume", "volume " + std::to_string(volume) + " unmuted");
  observer_.Attach();

  // The notification threads register their queues as they start; a card or a suspend before that would
  // reach nobody.
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while ((pndsim::DeviceNotificationCount() == 0 || pndsim::PowerNotificationCount() == 0) &&
         Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  observer_.Clear();
  actionMark_ = observer_.ListenerMark();
  recording_.store(true);
}

Outcome Session::Run(const Statement& statement) {
  if (statement.recorded) {
    actionMark_ = observer_.ListenerMark();
    if (options_.record) options_.record(statement.text);
  }
  return statement.run(*this);
}

void Session::WaitDeviceTime(double milliseconds) {
  std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(milliseconds / pndsim::TimeScale()));
}

}  // namespace scenario

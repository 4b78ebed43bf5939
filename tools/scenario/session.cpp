// Running statements: the session's listeners, its recording and the device-time waits.
#include <pndsim/pndsim.h>

#include <algorithm>
#include <thread>

#include "scenario.h"

namespace scenario {

Session::Session(SessionOptions options, DeviceObserver::Sink sink)
    : options_(std::move(options)), observer_([this, sink = std::move(sink)](const Event& event) {
        if (sink) sink(event);
        if (event.source == Event::Source::Listener && recording_.load() && options_.record) {
          options_.record("expect " + event.text);
        }
      }) {}

void Session::Start(bool settle) {
  observer_.Attach();
  if (settle) {
    // The polling thread reports the volume and the power state on its first round; one period, and
    // never less than a tenth of a second, lets that round pass on a loaded machine too.
    const double periodMs = 5000 / pndsim::TimeScale();
    std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(std::max(periodMs, 100.0)));
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

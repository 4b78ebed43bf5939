// Running statements: the session's listeners, its recording and the device-time waits.
#include <pndhal/pndhal.h>
#include <pndsim/pndsim.h>

#include <thread>

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

Session::~Session() {
  pndhal::UnobserveLibrary(libraryObserver_);
  observer_.Detach();
}

void Session::Start() {
  following_.store(true);
  if (libraryObserver_ == 0) {
    libraryObserver_ = pndhal::ObserveLibrary([this](pndhal::LibraryEvent event) { OnLibrary(event); });
  }
  freed_.store(false);
  observer_.ResumeWaits();
  // A library that does not run is created here, and OnLibrary connects the listeners before its threads
  // start; a running one is joined as it is.
  InitHAL();
  observer_.Attach();

  // The notification threads register their queues as they start; a card or a suspend before that would
  // reach nobody.
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while ((pndsim::DeviceNotificationCount() == 0 || pndsim::PowerNotificationCount() == 0) &&
         Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  observer_.AwaitStartupReports(deadline);
  observer_.Clear();
  actionMark_ = observer_.ListenerMark();
  recording_.store(true);
}

void Session::AttachAtCreation() {
  // The polling thread's first round reports the volume and the power state it finds when they are not
  // 0, its starting point; the library runs no thread yet, so reading them now reads what it will find.
  unsigned volume = 0;
  GetVolume(volume);
  if (volume != 0) observer_.ExpectStartupReport("volume");
  PMPowerInfo power{};
  PMGetPowerInfo(power);
  if (power.batteryLevel != 0 || power.powerState != 0) observer_.ExpectStartupReport("power");
  observer_.Attach();
}

void Session::OnLibrary(pndhal::LibraryEvent event) {
  if (!following_.load()) return;
  if (event == pndhal::LibraryEvent::kCreated) {
    if (observer_.Attached()) return;
    AttachAtCreation();
    freed_.store(false);
    observer_.ResumeWaits();
    return;
  }
  // FreeDLL: the listeners go before the library does, and a statement waiting for one of them returns.
  freed_.store(true);
  observer_.CancelWaits();
  observer_.Detach();
}

void Session::Cancel() {
  {
    std::lock_guard lock(waitMutex_);
    cancelled_ = true;
  }
  waitWoken_.notify_all();
  observer_.CancelWaits();
}

Outcome Session::Run(const Statement& statement) {
  {
    std::lock_guard lock(waitMutex_);
    if (cancelled_) return {false, "cancelled", {}};
  }
  if (statement.recorded) {
    actionMark_ = observer_.ListenerMark();
    if (options_.record) options_.record(statement.text);
  }
  Outcome outcome = statement.run(*this);
  if (statement.recorded) pndsim::WaitForQuiet(options_.settleLimit);
  return outcome;
}

void Session::DiscardEvents() {
  observer_.Clear();
  actionMark_ = observer_.ListenerMark();
}

bool Session::WaitDeviceTime(double milliseconds) {
  std::unique_lock lock(waitMutex_);
  const auto wait = std::chrono::duration<double, std::milli>(milliseconds / pndsim::TimeScale());
  return !waitWoken_.wait_for(lock, wait, [this] { return cancelled_; });
}

}  // namespace scenario

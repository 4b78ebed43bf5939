// Running statements: the session's listeners, its recording and the device-time waits.
#include <pndhal/pndhal.h>
#include <pndsim/pndsim.h>

#include <thread>

#include "scenario.h"
#include "service.h"

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
  while (!LibraryListening() && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  observer_.AwaitStartupReports(deadline);
  observer_.Clear();
  actionMark_ = observer_.ListenerMark();
  recording_.store(true);
}

void Session::AttachAtCreation() {
  // The library runs no thread yet, so what its first polling round will report is read now.
  for (const ServiceDescription& service : Services()) {
    if (service.reportAtStart == nullptr) continue;
    if (const std::string_view kind = service.reportAtStart(); !kind.empty()) {
      observer_.ExpectStartupReport(std::string(kind));
    }
  }
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

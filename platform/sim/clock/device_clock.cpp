// The device clock: it runs on device time (real time multiplied by the time scale, as the tick count and
// the waits do) from the host's UTC clock plus an offset that the time setters change, or stands at an
// instant a test pinned; GetSystemTime and SetSystemTime over it. Waiting two minutes of device time
// moves it two minutes, whatever the scale.
#include "sim/clock/clock.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>

#include "pndsim/clock.h"
#include "sim/calendar/calendar.h"
#include "sim/kernel/kernel.h"
#include "sim/profile/profile.h"

namespace sim {
namespace {

std::int64_t HostNowMs() {
  using std::chrono::milliseconds;
  return std::chrono::floor<milliseconds>(std::chrono::system_clock::now()).time_since_epoch().count();
}

struct ClockState {
  ClockState() { Restore(); }  // not shared yet: no lock to take

  Mutex mutex;
  std::int64_t offsetMs GUARDED_BY(mutex) = 0;  // device minus host, as the last setter left it
  std::optional<std::int64_t> pinnedMs GUARDED_BY(mutex);
  // The running clock showed `anchorMs` when `anchorElapsedMs` of device time had passed.
  std::int64_t anchorMs GUARDED_BY(mutex) = 0;
  double anchorElapsedMs GUARDED_BY(mutex) = 0;

  // The built-in profile's clock: pinned to its instant, or the host's clock moved by its offset.
  void Restore() REQUIRES(mutex) {
    const profile::DeviceProfile& builtIn = profile::BuiltInProfile();
    pinnedMs = builtIn.pinnedMs;
    const std::int64_t offset = builtIn.pinnedMs ? 0 : builtIn.clockOffsetMs;
    RunFrom(HostNowMs() + offset);
    offsetMs = offset;  // exactly the profile's, though the host's millisecond may have moved on
  }

  // Lets the clock run on device time from `utcMs`, shown now.
  void RunFrom(std::int64_t utcMs) REQUIRES(mutex) {
    offsetMs = utcMs - HostNowMs();
    anchorMs = utcMs;
    anchorElapsedMs = DeviceElapsedMs();
  }
};

ClockState& Clock() {
  static ClockState* clock = [] {
    auto* state = new ClockState;
    OnReset([state] {
      sim::MutexLock lock(state->mutex);
      state->Restore();
    });
    return state;
  }();
  return *clock;
}

std::int64_t NowLocked(const ClockState& clock) REQUIRES(clock.mutex) {
  if (clock.pinnedMs) return *clock.pinnedMs;
  return clock.anchorMs + static_cast<std::int64_t>(std::floor(DeviceElapsedMs() - clock.anchorElapsedMs));
}

}  // namespace

std::string FormatMs(std::int64_t ms) {
  const SYSTEMTIME t = civil::SystemTimeFromMs(ms);
  char text[64];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u", t.wYear, t.wMonth, t.wDay, t.wHour,
                t.wMinute, t.wSecond, t.wMilliseconds);
  return text;
}

std::int64_t DeviceNowMs() {
  ClockState& clock = Clock();
  sim::MutexLock lock(clock.mutex);
  return NowLocked(clock);
}

void SetDeviceNowMs(std::int64_t utcMs) {
  ClockState& clock = Clock();
  sim::MutexLock lock(clock.mutex);
  if (clock.pinnedMs) {
    clock.pinnedMs = utcMs;
  } else {
    clock.RunFrom(utcMs);
  }
}

}  // namespace sim

void GetSystemTime(LPSYSTEMTIME time) {
  if (time == nullptr) {
    return;
  }
  *time = sim::civil::SystemTimeFromMs(sim::DeviceNowMs());
}

BOOL SetSystemTime(const SYSTEMTIME* time) {
  const bool sound = time != nullptr && sim::civil::IsValidSystemTime(*time);
  if (!sim::BeginCall(pndsim::Call::SetSystemTime, sound ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER,
                      ERROR_ACCESS_DENIED)) {
    return FALSE;
  }
  const std::int64_t utcMs = sim::civil::MsFromSystemTime(*time);
  sim::SetDeviceNowMs(utcMs);
  sim::Record("clock.set", {sim::TextField("utc", sim::FormatMs(utcMs))}, "{utc} UTC");
  return TRUE;
}

bool pndsim::PinClock(DeviceInstant instant) {
  const std::int64_t ms = instant.time_since_epoch().count();
  if (ms < sim::civil::kMinMs || ms >= sim::civil::kEndMs) {
    return false;
  }
  sim::ClockState& clock = sim::Clock();
  sim::MutexLock lock(clock.mutex);
  clock.pinnedMs = ms;
  return true;
}

void pndsim::UnpinClock() {
  sim::ClockState& clock = sim::Clock();
  sim::MutexLock lock(clock.mutex);
  if (!clock.pinnedMs) {
    return;
  }
  clock.RunFrom(*clock.pinnedMs);
  clock.pinnedMs.reset();
}

bool pndsim::ClockPinned() {
  sim::ClockState& clock = sim::Clock();
  sim::MutexLock lock(clock.mutex);
  return clock.pinnedMs.has_value();
}

std::chrono::milliseconds pndsim::ClockOffset() {
  sim::ClockState& clock = sim::Clock();
  sim::MutexLock lock(clock.mutex);
  return std::chrono::milliseconds(clock.offsetMs);
}

bool pndsim::SetClockOffset(std::chrono::milliseconds offset) {
  const std::int64_t ms = sim::HostNowMs() + offset.count();
  if (ms < sim::civil::kMinMs || ms >= sim::civil::kEndMs) {
    return false;
  }
  sim::ClockState& clock = sim::Clock();
  sim::MutexLock lock(clock.mutex);
  clock.RunFrom(ms);
  clock.offsetMs = offset.count();  // exactly as asked, though the host's millisecond moved on meanwhile
  clock.pinnedMs.reset();
  return true;
}

pndsim::DeviceInstant pndsim::DeviceTime() {
  return DeviceInstant(std::chrono::milliseconds(sim::DeviceNowMs()));
}

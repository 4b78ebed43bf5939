// The device clock: host UTC plus an offset that the time setters change, or an instant a test
// pinned; GetSystemTime and SetSystemTime over it. It runs at real speed whatever the time scale,
// since the HAL only reads it as a calendar clock.
#include "sim/clock/clock.h"

#include <chrono>
#include <cstdio>
#include <optional>

#include "pndsim/clock.h"
#include "sim/calendar/calendar.h"
#include "sim/kernel/kernel.h"
#include "sim/profile/profile.h"

namespace sim {
namespace {

struct ClockState {
  ClockState() { Restore(); }  // not shared yet: no lock to take

  Mutex mutex;
  std::int64_t offsetMs GUARDED_BY(mutex) = 0;
  std::optional<std::int64_t> pinnedMs GUARDED_BY(mutex);

  // The built-in profile's clock: pinned to its instant, or the host's clock moved by its offset.
  void Restore() REQUIRES(mutex) {
    const profile::DeviceProfile& builtIn = profile::BuiltInProfile();
    offsetMs = builtIn.pinnedMs ? 0 : builtIn.clockOffsetMs;
    pinnedMs = builtIn.pinnedMs;
  }
};

std::int64_t HostNowMs() {
  using std::chrono::milliseconds;
  return std::chrono::floor<milliseconds>(std::chrono::system_clock::now()).time_since_epoch().count();
}

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
  return clock.pinnedMs ? *clock.pinnedMs : HostNowMs() + clock.offsetMs;
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
    clock.offsetMs = utcMs - HostNowMs();
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
  clock.offsetMs = *clock.pinnedMs - sim::HostNowMs();
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
  clock.offsetMs = offset.count();
  clock.pinnedMs.reset();
  return true;
}

pndsim::DeviceInstant pndsim::DeviceTime() {
  return DeviceInstant(std::chrono::milliseconds(sim::DeviceNowMs()));
}

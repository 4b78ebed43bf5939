// The device clock: it runs on device time (real time multiplied by the time scale, as the tick count and
// the waits do) from the host's UTC clock plus an offset that the time setters change, or stands at an
// instant a test pinned; GetSystemTime and SetSystemTime over it. Waiting two minutes of device time
// moves it two minutes, whatever the scale. The profile's "clock" member pins it or sets its offset.
#include "sim/clock/clock.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>

#include "pndsim/clock.h"
#include "sim/calendar/calendar.h"
#include "sim/clock/clock_section.h"
#include "sim/kernel/kernel.h"

namespace sim {
namespace {

using profile::Fault;
using profile::Json;

std::int64_t HostNowMs() {
  using std::chrono::milliseconds;
  return std::chrono::floor<milliseconds>(std::chrono::system_clock::now()).time_since_epoch().count();
}

// "YYYY-MM-DDThh:mm:ss[.mmm]Z" as milliseconds since 1970.
std::optional<std::int64_t> ParseInstant(const std::string& text) {
  const bool withMs = text.size() == 24;
  if (text.size() != 20 && !withMs) return std::nullopt;
  const std::string pattern = withMs ? "dddd-dd-ddTdd:dd:dd.dddZ" : "dddd-dd-ddTdd:dd:ddZ";
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const bool digit = text[i] >= '0' && text[i] <= '9';
    if (pattern[i] == 'd' ? !digit : text[i] != pattern[i]) return std::nullopt;
  }
  const auto number = [&](std::size_t from, std::size_t count) {
    return static_cast<WORD>(std::stoi(text.substr(from, count)));
  };
  SYSTEMTIME time{};
  time.wYear = number(0, 4);
  time.wMonth = number(5, 2);
  time.wDay = number(8, 2);
  time.wHour = number(11, 2);
  time.wMinute = number(14, 2);
  time.wSecond = number(17, 2);
  time.wMilliseconds = withMs ? number(20, 3) : 0;
  if (!civil::IsValidSystemTime(time)) return std::nullopt;
  return civil::MsFromSystemTime(time);
}

std::string InstantText(std::int64_t ms) {
  const SYSTEMTIME t = civil::SystemTimeFromMs(ms);
  char text[64];
  std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour,
                t.wMinute, t.wSecond);
  std::string result = text;
  if (t.wMilliseconds != 0) {
    std::snprintf(text, sizeof text, ".%03u", t.wMilliseconds);
    result += text;
  }
  return result + "Z";
}

void ReadClock(const Json& value, const std::string& at, ClockSetting& clock) {
  profile::RequireMembers(value, at, {"pinned", "offset"}, "the clock");
  profile::IfPresent(value, at, "pinned", [&](const Json& m, const std::string& w) {
    if (m.is_null()) {
      clock.pinnedMs.reset();
      return;
    }
    const auto ms = m.is_string() ? ParseInstant(m.get<std::string>()) : std::nullopt;
    if (!ms) {
      throw Fault{w, false,
                  "expected null or a UTC instant like \"2026-03-29T01:30:00Z\", got " + profile::Shown(m)};
    }
    clock.pinnedMs = ms;
  });
  profile::IfPresent(value, at, "offset", [&](const Json& m, const std::string& w) {
    // Far enough to reach any year the device's clock holds from any host date.
    constexpr std::int64_t kLimit = civil::kEndMs - civil::kMinMs;
    clock.offsetMs = profile::Integer(m, w, -kLimit, kLimit);
    const std::int64_t deviceNow = HostNowMs() + clock.offsetMs;
    if (deviceNow < civil::kMinMs || deviceNow >= civil::kEndMs) {
      throw Fault{w, false, "expected an offset that keeps the device clock within the years 1601 to 30827"};
    }
  });
  if (clock.pinnedMs && clock.offsetMs != 0) {
    throw Fault{profile::Member(at, "offset"), false,
                "expected 0 while the clock is pinned, got " + std::to_string(clock.offsetMs)};
  }
}

Json WriteClock(const ClockSetting& clock) {
  return Json{{"pinned", clock.pinnedMs ? Json(InstantText(*clock.pinnedMs)) : Json(nullptr)},
              {"offset", clock.offsetMs}};
}

void ApplyClock(const ClockSetting& clock) {
  if (clock.pinnedMs) {
    pndsim::PinClock(pndsim::DeviceInstant(std::chrono::milliseconds(*clock.pinnedMs)));
  } else if (clock.offsetMs != 0) {
    pndsim::SetClockOffset(std::chrono::milliseconds(clock.offsetMs));
  }
}

ClockSetting CaptureClock() {
  if (pndsim::ClockPinned()) return {pndsim::DeviceTime().time_since_epoch().count(), 0};
  return {std::nullopt, pndsim::ClockOffset().count()};
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
    const ClockSetting& builtIn = kClockSection.BuiltIn();
    pinnedMs = builtIn.pinnedMs;
    const std::int64_t offset = builtIn.pinnedMs ? 0 : builtIn.offsetMs;
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

constinit const profile::Section<ClockSetting> kClockSection{"clock",    120,        ReadClock,
                                                             WriteClock, ApplyClock, CaptureClock};

namespace {
const profile::Registration kClockRegistration{kClockSection};
}  // namespace

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

// Simulator-wide controls: reset, time scale, fault injection and the trace of
// platform effects.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "pndsim/calls.h"

#if defined(PNDSIM_BUILDING)
#define PNDSIM_CONTROL_API __attribute__((visibility("default")))
#else
#define PNDSIM_CONTROL_API
#endif

namespace pndsim {

/// Restores the default device: time scale 1, no pending faults, an empty
/// trace, every record of what happened empty and back at its default
/// capacity, and every device model back to the built-in profile. Kernel
/// objects owned by running code are left alone.
PNDSIM_CONTROL_API void Reset();

/// Shortens every Sleep and wait time-out by `factor` (>= 1 speeds time up)
/// and makes the tick count and the running device clock advance `factor`
/// times faster. A factor that is not a positive finite number is ignored.
PNDSIM_CONTROL_API void SetTimeScale(double factor);
/// The current time scale.
PNDSIM_CONTROL_API double TimeScale();

/// Makes the next `count` calls of `call` fail the way the platform would
/// (null handle or FALSE and a last error, or the registry call's error
/// code), each after its arguments were found sound, and each recorded in
/// the trace as a "fault" event naming the call (CallName). A count of 0 or
/// less cancels; a value outside Call is ignored.
PNDSIM_CONTROL_API void FailNext(Call call, int count = 1);
/// Cancels every pending failure.
PNDSIM_CONTROL_API void ClearFailures();

/// One named value of a platform effect: the window, the key code, the level, the path, ...
struct TraceField {
  std::string name;                    ///< "window", "vk", "battery", ...
  std::string text;                    ///< the value as the detail shows it: "0x10002", "none", "F6"
  std::optional<std::int64_t> number;  ///< the value, when it is a number
};

/// One platform effect the HAL caused, in the order they happened.
struct TraceEvent {
  std::string kind;    ///< "hotkey.register", "messagebox", "ioctl", ...
  std::string detail;  ///< human-readable parameters, made from `fields`
  /// The effect's parameters by name, in the order the detail shows them; empty for an effect recorded
  /// with a detail text alone.
  std::vector<TraceField> fields;
  std::uint32_t tick = 0;  ///< the device's tick count (GetTickCount) when it happened
};

/// How full one of the device's records of what happened is: the trace, the
/// backlight writes, the telephone program's message log, the process list
/// or the message boxes shown. Each keeps its newest entries up to its capacity; the oldest make
/// room for new ones and are counted as dropped.
struct RecordStatus {
  std::size_t kept = 0;       ///< entries held now
  std::size_t capacity = 0;   ///< the most it holds
  std::uint64_t dropped = 0;  ///< entries forgotten to make room since the last reset or clear
};

/// The number of events the trace keeps after a reset.
inline constexpr std::size_t kDefaultTraceCapacity = 10000;

/// A copy of the trace recorded since the last reset or ClearTrace(): its
/// newest events, up to its capacity, oldest first.
PNDSIM_CONTROL_API std::vector<TraceEvent> Trace();
/// Forgets the recorded trace and its count of dropped events, and gives
/// their memory back.
PNDSIM_CONTROL_API void ClearTrace();
/// Makes the trace keep at most `capacity` events until the next reset,
/// forgetting at once (and counting as dropped) the oldest beyond it. With 0
/// it keeps none; observers see every event whatever the capacity.
PNDSIM_CONTROL_API void SetTraceCapacity(std::size_t capacity);
/// How full the trace is.
PNDSIM_CONTROL_API RecordStatus TraceStatus();

/// Called with each trace event as it is recorded, on the thread that caused it and in trace order.
/// It runs while the trace is locked: it must return quickly and must not call into the simulator.
using TraceObserver = std::function<void(const TraceEvent& event)>;
/// Starts calling `observer` for every event recorded from now on; returns the number that
/// UnobserveTrace takes (never 0). A null observer is refused with 0.
PNDSIM_CONTROL_API int ObserveTrace(TraceObserver observer);
/// Stops calling the observer `id`; when the call returns, the observer runs nowhere any more.
/// Does nothing for an unknown id. Must not be called from an observer.
PNDSIM_CONTROL_API void UnobserveTrace(int id);

/// The device's tick count, as GetTickCount() reports it to the device's programs.
PNDSIM_CONTROL_API std::uint32_t TickCount();

/// Wide text as UTF-8, the encoding of every text the control API reports;
/// null gives the empty text.
PNDSIM_CONTROL_API std::string ToUtf8(const wchar_t* text);

}  // namespace pndsim

// The library's life as code that watches it on the application's behalf
// (the console of the simulated device, a test harness) sees it: when a HAL
// comes to exist and when FreeDLL is about to tear it down.
#pragma once

#include <functional>

#include "pndhal/export.h"

namespace pndhal {

/// A step of the HAL's life.
enum class LibraryEvent {
  /// A HAL object exists and its threads have not started yet: listeners
  /// connected now hear every report the library makes, its first ones
  /// included. Told on the thread whose call created the HAL.
  kCreated,
  /// FreeDLL begins: calls into the library still work, and listeners
  /// disconnected now are never called again. Told on the thread of FreeDLL.
  kStopping,
};

/// Told of each event. It runs while the library holds its life-cycle lock:
/// it may connect and disconnect listeners and call the library's functions,
/// but must not call FreeDLL, must not wait for another thread that calls
/// into the library, and must return promptly.
using LibraryObserver = std::function<void(LibraryEvent event)>;

/// Starts telling `observer` of every event from now on; returns the number
/// UnobserveLibrary takes (never 0), or 0 for a null observer or when memory
/// ran out.
PNDHAL_API int ObserveLibrary(LibraryObserver observer);

/// Stops telling the observer `id`. When it is being told an event on
/// another thread, waits until it has returned; called from the observer
/// itself, it is not told again. Does nothing for an unknown id.
PNDHAL_API void UnobserveLibrary(int id);

}  // namespace pndhal

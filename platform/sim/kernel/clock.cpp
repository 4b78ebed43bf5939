// Device time under the simulator's time scale: time-outs shrink by the scale factor, and the tick
// count (and the device clock, in the clock concern) run that much faster.
#include <cmath>

#include "pndsim/kernel.h"
#include "sim/kernel/kernel.h"

namespace sim {
namespace {

struct TickClock {
  Mutex mutex;
  std::chrono::steady_clock::time_point anchor GUARDED_BY(mutex) = std::chrono::steady_clock::now();
  double virtualAtAnchorMs GUARDED_BY(mutex) = 0;  // virtual milliseconds elapsed at `anchor`
  double scale GUARDED_BY(mutex) = 1;
  double tickBaseMs GUARDED_BY(mutex) = 0;  // added to the virtual time to form the tick count

  double VirtualNowMs() const REQUIRES(mutex) {
    std::chrono::duration<double, std::milli> real = std::chrono::steady_clock::now() - anchor;
    return virtualAtAnchorMs + real.count() * scale;
  }
};

TickClock& Ticks() {
  static auto* clock = new TickClock;
  return *clock;
}

}  // namespace

std::chrono::steady_clock::duration ScaledTimeout(double milliseconds) {
  TickClock& clock = Ticks();
  double scale;
  {
    sim::MutexLock lock(clock.mutex);
    scale = clock.scale;
  }
  return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      std::chrono::duration<double, std::milli>(milliseconds / scale));
}

double DeviceElapsedMs() {
  TickClock& clock = Ticks();
  sim::MutexLock lock(clock.mutex);
  return clock.VirtualNowMs();
}

}  // namespace sim

using namespace sim;

DWORD GetTickCount() {
  TickClock& clock = Ticks();
  sim::MutexLock lock(clock.mutex);
  const double ticks = std::fmod(clock.tickBaseMs + clock.VirtualNowMs(), 4294967296.0);
  return static_cast<DWORD>(ticks < 0 ? ticks + 4294967296.0 : ticks);
}

void Sleep(DWORD milliseconds) {
  ThreadObject& self = CurrentThread();
  KernelLock lock(KernelMutex());
  WaitAny(lock, self, {}, milliseconds);
}

void pndsim::SetTimeScale(double factor) {
  if (!(factor > 0) || !std::isfinite(factor)) return;
  TickClock& clock = Ticks();
  {
    sim::MutexLock lock(clock.mutex);
    clock.virtualAtAnchorMs = clock.VirtualNowMs();
    clock.anchor = std::chrono::steady_clock::now();
    clock.scale = factor;
  }
  sim::WakeTimedWaiters();
}

double pndsim::TimeScale() {
  TickClock& clock = Ticks();
  sim::MutexLock lock(clock.mutex);
  return clock.scale;
}

void pndsim::SetTickCount(std::uint32_t ticks) {
  TickClock& clock = Ticks();
  sim::MutexLock lock(clock.mutex);
  clock.tickBaseMs = static_cast<double>(ticks) - clock.VirtualNowMs();
}

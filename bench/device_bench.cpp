// Life-cycle costs of the HAL on the simulated device: InitHAL and FreeDLL
// with all device threads, and the CPU an idle running HAL uses (about ten
// seconds of real time: run it alone with --benchmark_filter=IdleCpu). A HAL
// that does not run after InitHAL, or still runs after FreeDLL, fails the
// benchmark.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <thread>

#include "pndhal/pndhal.h"
#include "pndsim/pndsim.h"

#include "brief.h"

namespace {

double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Whether a HAL runs, seen from the device (a call into the library would
// start one): the HAL holds its hot keys while it runs.
bool HalRuns() { return !pndsim::HotKeys().empty(); }

void BM_InitHAL(benchmark::State& state) {
  pndsim::Reset();
  for (auto _ : state) {
    InitHAL();
    state.PauseTiming();
    const bool started = HalRuns();
    FreeDLL();
    const bool stopped = !HalRuns();
    state.ResumeTiming();
    if (!started || !stopped) {
      state.SkipWithError(started ? "FreeDLL left the HAL running" : "InitHAL started no HAL");
      break;
    }
  }
}
BENCHMARK(BM_InitHAL)->Unit(benchmark::kMillisecond);

void BM_FreeDLL(benchmark::State& state) {
  pndsim::Reset();
  for (auto _ : state) {
    state.PauseTiming();
    InitHAL();
    const bool started = HalRuns();
    state.ResumeTiming();
    FreeDLL();
    state.PauseTiming();
    const bool stopped = !HalRuns();
    state.ResumeTiming();
    if (!started || !stopped) {
      state.SkipWithError(started ? "FreeDLL left the HAL running" : "InitHAL started no HAL");
      break;
    }
  }
}
BENCHMARK(BM_FreeDLL)->Unit(benchmark::kMillisecond);

// The HAL runs with its real 5-second polling period for ten seconds (a tenth
// of a second in a brief run); the counter is the process's CPU time over that
// span in percent of one core.
void BM_IdleCpu(benchmark::State& state) {
  pndsim::Reset();
  for (auto _ : state) {
    InitHAL();
    if (!HalRuns()) {
      state.SkipWithError("InitHAL started no HAL");
      break;
    }
    const double before = ProcessCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(
        bench::Workload(std::chrono::milliseconds(10000), std::chrono::milliseconds(100)));
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.counters["cpu_percent"] = (ProcessCpuSeconds() - before) / wall * 100.0;
    FreeDLL();
  }
}
BENCHMARK(BM_IdleCpu)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

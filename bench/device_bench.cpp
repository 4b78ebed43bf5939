// Life-cycle costs of the HAL on the simulated device: InitHAL and FreeDLL
// with all device threads, and the CPU an idle running HAL uses (about ten
// seconds of real time: run it alone with --benchmark_filter=IdleCpu).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <thread>

#include "pndhal/pndhal.h"
#include "pndsim/pndsim.h"

namespace {

double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void BM_InitHAL(benchmark::State& state) {
  pndsim::Reset();
  for (auto _ : state) {
    InitHAL();
    state.PauseTiming();
    FreeDLL();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_InitHAL)->Unit(benchmark::kMillisecond);

void BM_FreeDLL(benchmark::State& state) {
  pndsim::Reset();
  for (auto _ : state) {
    state.PauseTiming();
    InitHAL();
    state.ResumeTiming();
    FreeDLL();
  }
}
BENCHMARK(BM_FreeDLL)->Unit(benchmark::kMillisecond);

// The HAL runs with its real 5-second polling period for ten seconds; the
// counter is the process's CPU time over that span in percent of one core.
void BM_IdleCpu(benchmark::State& state) {
  pndsim::Reset();
  for (auto _ : state) {
    InitHAL();
    const double before = ProcessCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(10));
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.counters["cpu_percent"] = (ProcessCpuSeconds() - before) / wall * 100.0;
    FreeDLL();
  }
}
BENCHMARK(BM_IdleCpu)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

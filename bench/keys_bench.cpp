// A hardware key press injected through the simulator until the HAL's key
// listener runs: latency (median, 99th percentile) and sustained presses per
// second with none lost.
#include <benchmark/benchmark.h>

#include <pndhal/pndhal.h>
#include <pndsim/pndsim.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

class StampingListener : public IHardwareKeyListener {
 public:
  void Notify(eHardwareKey const&) override {
    lastArrival.store(Clock::now().time_since_epoch().count(), std::memory_order_relaxed);
    received.fetch_add(1, std::memory_order_release);
  }
  std::atomic<long> received{0};
  std::atomic<Clock::rep> lastArrival{0};
};

// Waits (at most 30 s, so a lost key cannot hang the run) until `counter`
// reaches `value`.
void WaitUntil(const std::atomic<long>& counter, long value) {
  const auto deadline = Clock::now() + std::chrono::seconds(30);
  while (counter.load(std::memory_order_acquire) < value && Clock::now() < deadline) {
    std::this_thread::yield();
  }
}

void BM_KeyPressToListenerLatency(benchmark::State& state) {
  pndsim::Reset();
  InitHAL();
  StampingListener listener;
  Connect(&listener);
  std::vector<double> samples;
  samples.reserve(1 << 20);
  for (auto _ : state) {
    const long before = listener.received.load();
    const auto start = Clock::now();
    pndsim::PressKey(0x26);
    WaitUntil(listener.received, before + 1);
    const auto arrival = Clock::time_point(Clock::duration(listener.lastArrival.load()));
    samples.push_back(std::chrono::duration<double, std::micro>(arrival - start).count());
  }
  Disconnect(&listener);
  FreeDLL();
  std::sort(samples.begin(), samples.end());
  if (!samples.empty()) {
    state.counters["median_us"] = samples[samples.size() / 2];
    state.counters["p99_us"] = samples[std::min(samples.size() - 1, samples.size() * 99 / 100)];
  }
}
BENCHMARK(BM_KeyPressToListenerLatency)->UseRealTime()->Iterations(50000);

void BM_SustainedKeyPresses(benchmark::State& state) {
  pndsim::Reset();
  InitHAL();
  StampingListener listener;
  Connect(&listener);
  const long presses = state.range(0);
  long lost = 0;
  double seconds = 0;
  for (auto _ : state) {
    const long before = listener.received.load();
    const auto start = Clock::now();
    for (long i = 0; i < presses; ++i) pndsim::PressKey(0x26);
    WaitUntil(listener.received, before + presses);
    seconds += std::chrono::duration<double>(Clock::now() - start).count();
    lost += presses - (listener.received.load() - before);
  }
  Disconnect(&listener);
  FreeDLL();
  state.counters["presses_per_s"] =
      static_cast<double>(presses) * static_cast<double>(state.iterations()) / seconds;
  state.counters["lost"] = static_cast<double>(lost);
}
BENCHMARK(BM_SustainedKeyPresses)->Arg(200000)->UseRealTime()->Iterations(3);

}  // namespace

// A hardware key press injected through the simulator until the HAL's key
// listener runs: latency (median, 99th percentile) and sustained presses per
// second with none lost. A press the full queue refuses is pressed again once
// the HAL has read some, as a driver holding a key event does; a press that
// never arrives fails the benchmark.
#include <benchmark/benchmark.h>

#include <pndhal/pndhal.h>
#include <pndsim/pndsim.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "brief.h"

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

constexpr unsigned kUpKey = 0x26;
// How long a press may stay refused, or a listener call overdue, before the
// benchmark gives up on it: long enough for a loaded machine, short enough
// that a lost key does not hang the run.
constexpr auto kPatience = std::chrono::seconds(30);

// Waits until `counter` reaches `value`; false when it has not after
// kPatience.
bool WaitUntil(const std::atomic<long>& counter, long value) {
  const auto deadline = Clock::now() + kPatience;
  while (counter.load(std::memory_order_acquire) < value) {
    if (Clock::now() >= deadline) return false;
    std::this_thread::yield();
  }
  return true;
}

// Presses the key until the simulator takes the press: it refuses one while
// the HAL's message queue is full. Adds the refusals to `refused`; false when
// the press is still refused after kPatience.
bool PressWhenTaken(unsigned key, long& refused) {
  if (pndsim::PressKey(key)) return true;
  const auto deadline = Clock::now() + kPatience;
  do {
    ++refused;
    std::this_thread::yield();
    if (pndsim::PressKey(key)) return true;
  } while (Clock::now() < deadline);
  return false;
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
    if (!pndsim::PressKey(kUpKey)) {
      state.SkipWithError("a single key press was refused");
      break;
    }
    if (!WaitUntil(listener.received, before + 1)) {
      state.SkipWithError("a key press never reached the listener");
      break;
    }
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
BENCHMARK(BM_KeyPressToListenerLatency)->UseRealTime()->Iterations(bench::Workload(50000, 200));

// Each iteration presses the key state.range(0) times as fast as the
// simulator takes the presses, and waits until the listener has had them all.
// The counters: presses per second, presses lost (any fails the benchmark)
// and how many times the full queue refused a press, which was then pressed
// again.
void BM_SustainedKeyPresses(benchmark::State& state) {
  pndsim::Reset();
  InitHAL();
  StampingListener listener;
  Connect(&listener);
  const long presses = state.range(0);
  long lost = 0;
  long refused = 0;
  double seconds = 0;
  for (auto _ : state) {
    const long before = listener.received.load();
    const auto start = Clock::now();
    long pressed = 0;
    while (pressed < presses && PressWhenTaken(kUpKey, refused)) ++pressed;
    const bool arrived = WaitUntil(listener.received, before + pressed);
    seconds += std::chrono::duration<double>(Clock::now() - start).count();
    lost += pressed - (listener.received.load() - before);
    if (pressed < presses) {
      state.SkipWithError("the simulator refused a key press for 30 s");
      break;
    }
    if (!arrived) {
      state.SkipWithError("key presses the simulator took never reached the listener");
      break;
    }
  }
  Disconnect(&listener);
  FreeDLL();
  if (seconds > 0) {
    state.counters["presses_per_s"] =
        static_cast<double>(presses) * static_cast<double>(state.iterations()) / seconds;
  }
  state.counters["lost"] = static_cast<double>(lost);
  state.counters["refusals"] = static_cast<double>(refused);
}
BENCHMARK(BM_SustainedKeyPresses)->Arg(bench::Workload(200000, 2000))->UseRealTime()->Iterations(3);

}  // namespace

// Wake-up latency of the emulated kernel (SetEvent to the waiting thread
// running) and the start-plus-stop round trip of a worker thread. A wake-up
// that does not come within kPatience, or a thread that does not start or
// stop, fails the benchmark.
#include <benchmark/benchmark.h>

#include <atomic>

#include "ce/kernel.h"
#include "runtime/hal_thread.h"

namespace {

// Far beyond any wake-up or thread start, even on a loaded machine.
constexpr DWORD kPatience = 30000;

struct PingPong {
  HANDLE ping = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  HANDLE pong = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  std::atomic<bool> stop{false};
  ~PingPong() {
    CloseHandle(ping);
    CloseHandle(pong);
  }
};

// One iteration is a round trip: two wake-ups, each from SetEvent to the
// woken thread running. The wake-up latency is half the time per iteration.
void BM_EventWakeUpRoundTrip(benchmark::State& state) {
  PingPong pair;
  HANDLE echo = CreateThread(
      nullptr, 0,
      [](LPVOID p) -> DWORD {
        auto* pp = static_cast<PingPong*>(p);
        for (;;) {
          WaitForSingleObject(pp->ping, INFINITE);
          if (pp->stop.load()) return 0;
          SetEvent(pp->pong);
        }
      },
      &pair, 0, nullptr);
  if (echo == nullptr) {
    state.SkipWithError("the echo thread could not be created");
    return;
  }
  for (auto _ : state) {
    SetEvent(pair.ping);
    if (WaitForSingleObject(pair.pong, kPatience) != WAIT_OBJECT_0) {
      state.SkipWithError("the echo thread did not answer");
      break;
    }
  }
  pair.stop = true;
  SetEvent(pair.ping);
  WaitForSingleObject(echo, INFINITE);
  CloseHandle(echo);
  state.counters["wake_up_us"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * 2, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_EventWakeUpRoundTrip)->UseRealTime();

class WaitingThread final : public CHALThread {
 public:
  WaitingThread() : CHALThread(0) {}
  ~WaitingThread() override { Shutdown(); }
  unsigned long Run(void*) override {
    StopEvent().Wait(INFINITE);
    return 0;
  }
};

// Start (with its handshake), stop request and wait for the end.
void BM_HalThreadStartStop(benchmark::State& state) {
  WaitingThread thread;
  for (auto _ : state) {
    if (!thread.Start(nullptr, nullptr)) {
      state.SkipWithError("the thread did not start");
      break;
    }
    thread.RequestStop();
    if (!thread.Wait(kPatience)) {
      state.SkipWithError("the thread did not stop");
      break;
    }
  }
}
BENCHMARK(BM_HalThreadStartStop)->UseRealTime();

}  // namespace

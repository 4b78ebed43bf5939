// Console figures: the round trip of one command over the loopback (median and 99th percentile) in the line
// mode and in the JSON mode (target for both: a median under 200 µs), and the processor time an open, idle
// console costs its process. A console that does not open or a command that
// fails fails the benchmark.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "console_client.h"
#include "host.h"
#include "pndsim/pndsim.h"

#include "brief.h"

namespace {

class EchoSession : public pndconsole::host::Session {
 public:
  pndconsole::host::Reply Execute(std::string_view line) override { return {true, std::string(line), {}}; }
};

// Opens the console in a private home and runtime folder, with no token, for the process's life.
int OpenConsole() {
  static const int port = [] {
    char pattern[] = "/tmp/pndsim-console-bench-XXXXXX";
    const std::filesystem::path root = mkdtemp(pattern);
    // NOLINTBEGIN(concurrency-mt-unsafe): set before the console starts any thread
    setenv("HOME", root.c_str(), 1);
    setenv("XDG_RUNTIME_DIR", root.c_str(), 1);
    // NOLINTEND(concurrency-mt-unsafe)
    std::ofstream(root / ".pndsim_console_token").flush();
    pndconsole::host::SetInterpreter(
        [](const pndconsole::host::EventSink&) { return std::make_unique<EchoSession>(); });
    const int opened = pndconsole::host::Start("auto");
    static std::filesystem::path folder;
    folder = root;
    std::atexit([] { std::filesystem::remove_all(folder); });
    return opened;
  }();
  return port;
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Argument: 0 the line mode, 1 the JSON mode (the request read and the reply written as JSON at both ends).
void BM_ConsoleRoundTrip(benchmark::State& state) {
  const auto mode = state.range(0) == 0 ? pndconsole::Mode::Line : pndconsole::Mode::Json;
  state.SetLabel(mode == pndconsole::Mode::Line ? "line mode" : "JSON mode");
  std::string error;
  const auto connection = pndconsole::Connection::Open(OpenConsole(), &error, {}, mode);
  if (!connection) {
    state.SkipWithError(error.c_str());
    return;
  }
  std::vector<double> micros;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const auto reply = connection->Execute("echo round trip", {}, &error);
    micros.push_back(
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    if (!reply || !reply->ok) {
      state.SkipWithError("command failed");
      break;
    }
  }
  std::sort(micros.begin(), micros.end());
  state.counters["median_us"] = micros[micros.size() / 2];
  state.counters["p99_us"] = micros[micros.size() * 99 / 100];
}
BENCHMARK(BM_ConsoleRoundTrip)->Arg(0)->Arg(1)->Iterations(bench::Workload(20000, 100))->UseRealTime();

// The console's threads sit in poll with no time-out, so an idle console should cost no processor time.
// It idles for a second (a tenth in a brief run).
void BM_ConsoleIdleCost(benchmark::State& state) {
  std::string error;
  const auto connection = pndconsole::Connection::Open(OpenConsole(), &error);
  if (!connection) {
    state.SkipWithError(error.c_str());
    return;
  }
  using Seconds = std::chrono::duration<double>;
  const Seconds idle = bench::Workload(Seconds(1.0), Seconds(0.1));
  for (auto _ : state) {
    const double before = CpuSeconds();
    std::this_thread::sleep_for(idle);
    state.counters["cpu_us_per_idle_s"] = (CpuSeconds() - before) * 1e6 / idle.count();
  }
}
BENCHMARK(BM_ConsoleIdleCost)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

// The JSON mode's figure: the round trip of one command over the loopback (median and 99th percentile),
// the request read and the reply written as JSON at both ends, against the line mode's in
// console_bench.cpp (target: a median under 200 µs).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "console_client.h"
#include "host.h"

namespace {

class EchoSession : public pndconsole::host::Session {
 public:
  pndconsole::host::Reply Execute(std::string_view line) override { return {true, std::string(line), {}}; }
};

// Opens the console in a private home and runtime folder, with no token, for the process's life.
int OpenConsole() {
  static const int port = [] {
    char pattern[] = "/tmp/pndsim-console-json-bench-XXXXXX";
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

void BM_ConsoleJsonRoundTrip(benchmark::State& state) {
  std::string error;
  const auto connection = pndconsole::Connection::Open(OpenConsole(), &error, {}, pndconsole::Mode::Json);
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
    if (!reply || !reply->ok) state.SkipWithError("command failed");
  }
  std::sort(micros.begin(), micros.end());
  state.counters["median_us"] = micros[micros.size() / 2];
  state.counters["p99_us"] = micros[micros.size() * 99 / 100];
}
BENCHMARK(BM_ConsoleJsonRoundTrip)->Iterations(20000)->UseRealTime();

}  // namespace

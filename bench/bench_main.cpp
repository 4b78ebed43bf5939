// The main of every benchmark: runs the benchmarks the command line selects, as Google Benchmark's own
// main does, and exits with 1 when one of them reported an error (SkipWithError: a failed call, a lost
// event, a figure out of bounds) or when none ran, so that a broken benchmark fails the smoke run of
// .ci/run instead of printing a figure that looks fine. A brief run (brief.h) gives the benchmarks without
// a fixed workload the shortest run unless --benchmark_min_time says otherwise.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "brief.h"

namespace {

// Whether a run ended in an error; Google Benchmark 1.8 replaced the flag by a kind of skip.
template <class Run>
bool Failed(const Run& run) {
  if constexpr (requires { run.error_occurred; }) {
    return run.error_occurred;
  } else {
    return run.skipped == decltype(run.skipped)::SkippedWithError;
  }
}

// A reporter that shows the runs as `Shown` does and counts those that ended in an error.
template <class Shown>
class Watching final : public Shown {
 public:
  using Shown::Shown;

  void ReportRuns(const std::vector<benchmark::BenchmarkReporter::Run>& runs) override {
    for (const auto& run : runs) {
      if (Failed(run)) ++failures_;
    }
    Shown::ReportRuns(runs);
  }

  int failures() const { return failures_; }

 private:
  int failures_ = 0;
};

// The value of `--NAME=VALUE` among the arguments, or `fallback`.
std::string_view Option(const std::vector<char*>& arguments, std::string_view name,
                        std::string_view fallback) {
  for (const char* argument : arguments) {
    const std::string_view text = argument;
    if (text.size() > name.size() + 3 && text.substr(0, 2) == "--" && text.substr(2, name.size()) == name &&
        text[name.size() + 2] == '=') {
      return text.substr(name.size() + 3);
    }
  }
  return fallback;
}

template <class Reporter>
int RunAll(Reporter& reporter) {
  const std::size_t ran = benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  if (ran == 0) {
    std::fprintf(stderr, "no benchmark matched the filter\n");
    return 1;
  }
  if (reporter.failures() != 0) {
    std::fprintf(stderr, "%d benchmark run(s) reported an error\n", reporter.failures());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<char*> arguments(argv, argv + argc);
  static char briefMinTime[] = "--benchmark_min_time=0.01";
  if (bench::Brief() && Option(arguments, "benchmark_min_time", "").empty()) {
    arguments.push_back(briefMinTime);
  }
  const std::string format(Option(arguments, "benchmark_format", "console"));
  int count = static_cast<int>(arguments.size());
  arguments.push_back(nullptr);
  benchmark::Initialize(&count, arguments.data());
  if (benchmark::ReportUnrecognizedArguments(count, arguments.data())) return 1;

  if (format == "json") {
    Watching<benchmark::JSONReporter> reporter;
    return RunAll(reporter);
  }
  if (format != "console") {
    std::fprintf(stderr, "--benchmark_format: console or json (for csv, --benchmark_out_format=csv)\n");
    return 1;
  }
  Watching<benchmark::ConsoleReporter> reporter(isatty(STDOUT_FILENO) != 0
                                                    ? benchmark::ConsoleReporter::OO_Color
                                                    : benchmark::ConsoleReporter::OO_None);
  return RunAll(reporter);
}

// How much work a benchmark does: its full workload, or a small one when PNDHAL_BENCH_BRIEF is set in the
// environment (to anything but 0). The brief run is the smoke run of .ci/run: it checks that every
// benchmark still runs, with no error and no lost event; its figures say nothing about speed.
#pragma once

#include <cstdlib>
#include <string_view>

namespace bench {

/// Whether this run is brief. Read once, so that benchmarks registered before main() see the same answer.
inline bool Brief() noexcept {
  static const bool brief = [] {
    const char* value = std::getenv("PNDHAL_BENCH_BRIEF");
    return value != nullptr && *value != '\0' && std::string_view(value) != "0";
  }();
  return brief;
}

/// `full`, or `brief` in a brief run.
template <class T>
T Workload(T full, T brief) noexcept {
  return Brief() ? brief : full;
}

}  // namespace bench

// Memory of a device kept busy for a simulated week: ten million device events through the control API and
// the platform calls (backlight writes, battery changes, requests to the telephone program, programs
// started), every record of what happened at its default capacity. The process's resident memory after
// the week must be within 8 MB of what it was after the first thousand events; the benchmark fails when it
// is not, or when a program does not start, and reports the figures as counters (a few seconds; a brief
// run keeps the device busy for twenty thousand events).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "ce/kernel.h"
#include "ce/process.h"
#include "ce/window.h"
#include "pndsim/pndsim.h"

#include "brief.h"

namespace {

const long kWeekEvents = bench::Workload(10'000'000L, 20'000L);
constexpr long kFirstEvents = 1000;
constexpr double kAllowedGrowthMb = 8;
constexpr const wchar_t* kProgram = L"\\Apps\\busy.exe";

double ResidentMb() {
  long pages = 0;
  long resident = 0;
  if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(statm);
  }
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// Starts the program and waits until it ends; false when it did not start.
bool StartProgram(long event) {
  std::wstring commandLine = std::to_wstring(event);
  PROCESS_INFORMATION information{};
  if (CreateProcessW(kProgram, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr,
                     &information) == FALSE) {
    return false;
  }
  WaitForSingleObject(information.hProcess, INFINITE);
  CloseHandle(information.hProcess);
  CloseHandle(information.hThread);
  return true;
}

// One device event of the busy week's mix: mostly backlight writes, a battery change in sixteen, a request
// to the telephone program in a thousand, a program started in ten thousand. False when the program did
// not start.
bool DeviceEvent(long event, HWND telephone, UINT request) {
  if (event % 10000 == 2) {
    return StartProgram(event);
  }
  if (event % 1000 == 1) {
    SendMessageW(telephone, request, static_cast<WPARAM>(event), 0);
  } else if (event % 16 == 0) {
    pndsim::SetBattery(static_cast<std::uint8_t>(event % 101), 0x01);
  } else {
    pndsim::WriteBacklight(static_cast<unsigned>(event % 100), "ioctl");
  }
  return true;
}

void BM_BusyWeekMemory(benchmark::State& state) {
  pndsim::Reset();
  if (!pndsim::InstallProgram("\\Apps\\busy.exe", [](const std::string&) { return 0u; })) {
    state.SkipWithError("the program could not be installed");
    return;
  }
  HWND telephone = pndsim::StartTelephone() ? FindWindowW(nullptr, L"ORX_TELBRIDGE") : nullptr;
  if (telephone == nullptr) {
    state.SkipWithError("the telephone program did not start");
    return;
  }
  const UINT request = RegisterWindowMessageW(L"WM_ORXBT_INMSG_CHANGELANG");
  for (auto _ : state) {
    long event = 0;
    long notStarted = 0;
    for (; event < kFirstEvents; ++event) notStarted += DeviceEvent(event, telephone, request) ? 0 : 1;
    const double first = ResidentMb();
    for (; event < kWeekEvents; ++event) notStarted += DeviceEvent(event, telephone, request) ? 0 : 1;
    const double week = ResidentMb();
    state.counters["rss_first_mb"] = first;
    state.counters["rss_week_mb"] = week;
    state.counters["rss_growth_mb"] = week - first;
    state.counters["trace_dropped"] = static_cast<double>(pndsim::TraceStatus().dropped);
    if (week - first > kAllowedGrowthMb) {
      char message[96];
      std::snprintf(message, sizeof message,
                    "resident memory grew by %.1f MB over the week (%.0f MB allowed)", week - first,
                    kAllowedGrowthMb);
      state.SkipWithError(message);
    } else if (notStarted != 0) {
      state.SkipWithError("a program did not start");
    }
  }
  pndsim::Reset();
}
BENCHMARK(BM_BusyWeekMemory)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

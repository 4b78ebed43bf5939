// The date-time value against the C library, side by side in one run: second count to fields (gmtime_r),
// fields to second count (timegm), formatting (wcsftime), and how formatting scales with the number of
// tokens in the format text. Each comparison first checks that both sides give the same results over the
// sample, and fails when they do not: a faster answer that is wrong is no figure.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <ctime>
#include <cwchar>
#include <random>
#include <string>
#include <vector>

#include "pndhal/navtime.h"
#include "pndhal/zu_string.h"

namespace {

constexpr const wchar_t* kDateFormat = L"%d.%m.%Y %H:%M:%S";
constexpr std::size_t kSampleSize = 4096;  // a power of two, cycled through with a mask
constexpr std::uint32_t kLastFourYearRuleSecond = 4107542399u;

const std::vector<std::uint32_t>& Counts() {
  static const std::vector<std::uint32_t> counts = [] {
    std::mt19937 random(7);
    std::uniform_int_distribution<std::uint32_t> pick(0, kLastFourYearRuleSecond);
    std::vector<std::uint32_t> values(kSampleSize);
    for (std::uint32_t& value : values) {
      value = pick(random);
    }
    return values;
  }();
  return counts;
}

const std::vector<tm>& FieldSamples() {
  static const std::vector<tm> fields = [] {
    std::vector<tm> values;
    for (std::uint32_t count : Counts()) {
      const std::time_t seconds = count;
      tm f{};
      gmtime_r(&seconds, &f);
      values.push_back(f);
    }
    return values;
  }();
  return fields;
}

bool SameFields(const tm& a, const tm& b) {
  return a.tm_year == b.tm_year && a.tm_mon == b.tm_mon && a.tm_mday == b.tm_mday && a.tm_hour == b.tm_hour &&
         a.tm_min == b.tm_min && a.tm_sec == b.tm_sec && a.tm_wday == b.tm_wday && a.tm_yday == b.tm_yday;
}

// Whether CNavTime and the C library agree on every sample: the fields of each count, the count of each
// field set, and the formatted text.
bool AgreesWithCLibrary(benchmark::State& state) {
  static const char* const disagreement = []() -> const char* {
    const CNavTime converter;
    for (std::size_t i = 0; i < kSampleSize; ++i) {
      tm fields = FieldSamples()[i];
      if (!SameFields(converter.Gmnavtime(Counts()[i]), fields)) return "Gmnavtime and gmtime_r disagree";
      if (converter.Mknavtime(fields) != static_cast<unsigned long>(timegm(&fields))) {
        return "Mknavtime and timegm disagree";
      }
      wchar_t ours[64];
      wchar_t theirs[64];
      CNavTime(static_cast<long>(Counts()[i])).Format(ours, 64, kDateFormat);
      std::wcsftime(theirs, 64, kDateFormat, &fields);
      if (std::wcscmp(ours, theirs) != 0) return "Format and wcsftime disagree";
    }
    return nullptr;
  }();
  if (disagreement != nullptr) state.SkipWithError(disagreement);
  return disagreement == nullptr;
}

void BM_CountToFields_CNavTime(benchmark::State& state) {
  if (!AgreesWithCLibrary(state)) return;
  const CNavTime converter;
  const std::vector<std::uint32_t>& counts = Counts();
  std::size_t i = 0;
  for (auto _ : state) {
    const unsigned long count = counts[i++ & (kSampleSize - 1)];
    tm fields = converter.Gmnavtime(count);
    benchmark::DoNotOptimize(fields);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CountToFields_CNavTime);

void BM_CountToFields_gmtime_r(benchmark::State& state) {
  if (!AgreesWithCLibrary(state)) return;
  const std::vector<std::uint32_t>& counts = Counts();
  std::size_t i = 0;
  for (auto _ : state) {
    const std::time_t count = counts[i++ & (kSampleSize - 1)];
    tm fields;
    gmtime_r(&count, &fields);
    benchmark::DoNotOptimize(fields);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CountToFields_gmtime_r);

// Mknavtime reads the fields where they are; timegm normalises its argument in place, so it gets a copy.
void BM_FieldsToCount_CNavTime(benchmark::State& state) {
  if (!AgreesWithCLibrary(state)) return;
  const CNavTime converter;
  const std::vector<tm>& samples = FieldSamples();
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(converter.Mknavtime(samples[i++ & (kSampleSize - 1)]));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FieldsToCount_CNavTime);

void BM_FieldsToCount_timegm(benchmark::State& state) {
  if (!AgreesWithCLibrary(state)) return;
  const std::vector<tm>& samples = FieldSamples();
  std::size_t i = 0;
  for (auto _ : state) {
    tm fields = samples[i++ & (kSampleSize - 1)];
    benchmark::DoNotOptimize(timegm(&fields));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FieldsToCount_timegm);

void BM_Format_CNavTime(benchmark::State& state) {
  if (!AgreesWithCLibrary(state)) return;
  const std::vector<std::uint32_t>& counts = Counts();
  std::vector<CNavTime> times;
  times.reserve(counts.size());
  for (std::uint32_t count : counts) {
    times.emplace_back(static_cast<long>(count));
  }
  wchar_t buffer[64];
  std::size_t i = 0;
  for (auto _ : state) {
    times[i++ & (kSampleSize - 1)].Format(buffer, 64, kDateFormat);
    benchmark::DoNotOptimize(buffer);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Format_CNavTime);

void BM_Format_wcsftime(benchmark::State& state) {
  if (!AgreesWithCLibrary(state)) return;
  const std::vector<tm>& samples = FieldSamples();
  wchar_t buffer[64];
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::wcsftime(buffer, 64, kDateFormat, &samples[i++ & (kSampleSize - 1)]));
    benchmark::DoNotOptimize(buffer);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Format_wcsftime);

// A format text of state.range(0) tokens: every token of the table in turn, with a separator after each,
// and a "%%p" now and then for the cascading case.
void BM_FormatTokens_CNavTime(benchmark::State& state) {
  static constexpr const wchar_t* kTokens[] = {L"%H", L"%h", L"%M", L"%S", L"%s", L"%p", L"%d",
                                               L"%j", L"%m", L"%w", L"%Y", L"%y", L"%%p"};
  std::wstring text;
  for (std::int64_t n = 0; n < state.range(0); ++n) {
    text += kTokens[n % std::size(kTokens)];
    text += L' ';
  }
  const String::StringProxy<String::ZuStringImpl> format(text.c_str(), text.size());
  String::StringProxy<String::ZuStringImpl> output;
  CNavTime time(1205589909L);
  for (auto _ : state) {
    time.Format(output, format);
    benchmark::DoNotOptimize(output.c_str());
  }
  if (output.length() < text.size() / 2) state.SkipWithError("Format gave less text than the tokens ask for");
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_FormatTokens_CNavTime)->Arg(1000)->Arg(10000)->Arg(100000)->Complexity(benchmark::oN);

}  // namespace

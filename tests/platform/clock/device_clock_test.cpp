// The device clock: host UTC plus an offset that the time setters change, running on device time (the
// time scale), pinned instants, field validation, fault injection and reset; the host clock is never
// touched.
#include <ce/kernel.h>
#include <ce/time.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "sim_guard.h"
#include "zone_test_support.h"

namespace {

using namespace std::chrono_literals;
using std::chrono::system_clock;
using zonetest::AsUtc;
using zonetest::MakeTime;
using zonetest::Utc;

SYSTEMTIME SystemTime() {
  SYSTEMTIME t{};
  GetSystemTime(&t);
  return t;
}

TEST(DeviceClock, RunsOnTheHostClockAfterReset) {
  pndtest::SimGuard guard;
  EXPECT_FALSE(pndsim::ClockPinned());
  const auto before = std::chrono::floor<std::chrono::milliseconds>(system_clock::now());
  const auto device = AsUtc(SystemTime());
  const auto after = system_clock::now();
  EXPECT_GE(device, before);
  EXPECT_LE(device, after);
}

// The clock and the tick count run on one device time: a Sleep of two minutes at a time scale of 1000 moves
// the running clock at least two minutes and no further than the tick count read around it moved, whether
// the clock runs from the host's time or from a time set; a pinned clock does not move.
TEST(DeviceClock, RunsOnDeviceTimeAtTheTimeScale) {
  struct Case {
    const char* what;
    void (*prepare)();
    bool moves;
  } cases[] = {
      {"host time", [] {}, true},
      {"time set",
       [] {
         const SYSTEMTIME set = MakeTime(2009, 6, 15, 12, 0, 0, 250);
         ASSERT_TRUE(SetSystemTime(&set));
       },
       true},
      {"unpinned",
       [] {
         ASSERT_TRUE(pndsim::PinClock(Utc(2031, 1, 1)));
         pndsim::UnpinClock();
       },
       true},
      {"pinned", [] { ASSERT_TRUE(pndsim::PinClock(Utc(2031, 1, 1))); }, false},
  };
  constexpr DWORD kWait = 120'000;
  for (const Case& c : cases) {
    pndtest::SimGuard guard(1000);
    c.prepare();
    const DWORD ticksBefore = GetTickCount();
    const auto before = pndsim::DeviceTime();
    Sleep(kWait);
    const auto after = pndsim::DeviceTime();
    const DWORD ticks = GetTickCount() - ticksBefore;
    if (c.moves) {
      EXPECT_GE(after - before, std::chrono::milliseconds(kWait)) << c.what;
      EXPECT_LE(after - before, std::chrono::milliseconds(ticks + 1)) << c.what;
    } else {
      EXPECT_EQ(after, before) << c.what;
    }
  }
}

TEST(DeviceClock, PinnedClockStandsStillAndReportsEveryField) {
  pndtest::SimGuard guard;
  ASSERT_TRUE(pndsim::PinClock(Utc(2026, 3, 29, 1, 2, 3) + 456ms));
  EXPECT_TRUE(pndsim::ClockPinned());
  const SYSTEMTIME first = SystemTime();
  EXPECT_EQ(first.wYear, 2026);
  EXPECT_EQ(first.wMonth, 3);
  EXPECT_EQ(first.wDay, 29);
  EXPECT_EQ(first.wDayOfWeek, 0) << "2026-03-29 is a Sunday";
  EXPECT_EQ(first.wHour, 1);
  EXPECT_EQ(first.wMinute, 2);
  EXPECT_EQ(first.wSecond, 3);
  EXPECT_EQ(first.wMilliseconds, 456) << "the clock has millisecond resolution";
  const SYSTEMTIME second = SystemTime();
  EXPECT_EQ(AsUtc(first), AsUtc(second));
  EXPECT_EQ(pndsim::DeviceTime(), Utc(2026, 3, 29, 1, 2, 3) + 456ms);
}

TEST(DeviceClock, DayOfWeekFollowsTheCalendarAcrossCenturies) {
  pndtest::SimGuard guard;
  struct Case {
    zonetest::Instant instant;
    WORD dayOfWeek;
  } cases[] = {
      {Utc(1970, 1, 1), 4}, {Utc(2000, 2, 29), 2}, {Utc(1969, 12, 31, 23, 59, 59), 3},
      {Utc(1601, 1, 1), 1}, {Utc(2100, 3, 1), 1},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(pndsim::PinClock(c.instant));
    const SYSTEMTIME t = SystemTime();
    EXPECT_EQ(AsUtc(t), c.instant);
    EXPECT_EQ(t.wDayOfWeek, c.dayOfWeek) << t.wYear << '-' << t.wMonth << '-' << t.wDay;
  }
}

TEST(DeviceClock, InstantsBeyondTheRecordsRangeCannotBePinned) {
  pndtest::SimGuard guard;
  ASSERT_TRUE(pndsim::PinClock(Utc(2020, 1, 1)));
  EXPECT_FALSE(pndsim::PinClock(Utc(1600, 12, 31, 23, 59, 59)));
  EXPECT_EQ(pndsim::DeviceTime(), Utc(2020, 1, 1));
}

TEST(DeviceClock, SetSystemTimeMovesTheDeviceClockAndLeavesTheHostClockAlone) {
  pndtest::SimGuard guard;
  const SYSTEMTIME target = MakeTime(2009, 6, 15, 12, 0, 0, 250);
  const auto hostBefore = system_clock::now();
  ASSERT_TRUE(SetSystemTime(&target));
  const auto device = pndsim::DeviceTime();
  const auto hostAfter = system_clock::now();

  EXPECT_GE(device, AsUtc(target));
  EXPECT_LE(device - AsUtc(target), hostAfter - hostBefore + 1ms)
      << "the device clock runs on from the new time";
  EXPECT_GE(hostAfter, hostBefore) << "the host clock was not set back to 2009";
  EXPECT_LT(hostAfter - hostBefore, 10s);

  const SYSTEMTIME later = SystemTime();
  EXPECT_EQ(later.wYear, 2009);
  const auto trace = pndsim::Trace();
  ASSERT_FALSE(trace.empty());
  EXPECT_EQ(trace.back().kind, "clock.set");
  EXPECT_EQ(trace.back().detail, "2009-06-15 12:00:00.250 UTC");
}

TEST(DeviceClock, SetSystemTimeOnAPinnedClockMovesThePinnedInstant) {
  pndtest::SimGuard guard;
  ASSERT_TRUE(pndsim::PinClock(Utc(2026, 1, 1)));
  const SYSTEMTIME target = MakeTime(2026, 7, 4, 9, 30);
  ASSERT_TRUE(SetSystemTime(&target));
  EXPECT_TRUE(pndsim::ClockPinned());
  EXPECT_EQ(pndsim::DeviceTime(), AsUtc(target));
}

TEST(DeviceClock, UnpinningRunsOnFromThePinnedInstant) {
  pndtest::SimGuard guard;
  ASSERT_TRUE(pndsim::PinClock(Utc(2011, 5, 5, 5, 5, 5)));
  pndsim::UnpinClock();
  EXPECT_FALSE(pndsim::ClockPinned());
  const auto device = pndsim::DeviceTime();
  EXPECT_GE(device, Utc(2011, 5, 5, 5, 5, 5));
  EXPECT_LT(device, Utc(2011, 5, 5, 5, 5, 5) + 10s);
}

TEST(DeviceClock, ResetUnpinsAndDropsTheOffset) {
  pndtest::SimGuard guard;
  const SYSTEMTIME past = MakeTime(2001, 1, 1);
  ASSERT_TRUE(SetSystemTime(&past));
  ASSERT_TRUE(pndsim::PinClock(Utc(2002, 2, 2)));
  pndsim::Reset();
  EXPECT_FALSE(pndsim::ClockPinned());
  const auto host = system_clock::now();
  const auto device = pndsim::DeviceTime();
  EXPECT_LT(std::chrono::abs(device - host), 10s);
}

TEST(DeviceClock, SetSystemTimeRejectsInvalidFieldsAndKeepsTheClock) {
  pndtest::SimGuard guard;
  ASSERT_TRUE(pndsim::PinClock(Utc(2026, 1, 1)));
  const SYSTEMTIME invalid[] = {
      MakeTime(2026, 13, 1),       MakeTime(2026, 0, 1),           MakeTime(2026, 4, 31),
      MakeTime(2025, 2, 29),       MakeTime(2026, 1, 0),           MakeTime(2026, 1, 1, 24),
      MakeTime(2026, 1, 1, 0, 60), MakeTime(2026, 1, 1, 0, 0, 60), MakeTime(2026, 1, 1, 0, 0, 0, 1000),
      MakeTime(1600, 12, 31),      MakeTime(30828, 1, 1),
  };
  for (const SYSTEMTIME& t : invalid) {
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(SetSystemTime(&t)) << t.wYear << '-' << t.wMonth << '-' << t.wDay << ' ' << t.wHour;
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(SetLocalTime(&t));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }
  EXPECT_FALSE(SetSystemTime(nullptr));
  EXPECT_EQ(pndsim::DeviceTime(), Utc(2026, 1, 1));

  SYSTEMTIME leapDay = MakeTime(2024, 2, 29, 23, 59, 59, 999);
  leapDay.wDayOfWeek = 6;  // wrong (it was a Thursday) and ignored
  EXPECT_TRUE(SetSystemTime(&leapDay));
  EXPECT_EQ(SystemTime().wDayOfWeek, 4);
}

TEST(DeviceClock, InjectedFailuresFailTheSettersOnce) {
  pndtest::SimGuard guard;
  ASSERT_TRUE(pndsim::PinClock(Utc(2026, 1, 1)));
  const SYSTEMTIME target = MakeTime(2026, 2, 2);
  pndsim::FailNext(pndsim::Call::SetSystemTime);
  EXPECT_FALSE(SetSystemTime(&target));
  EXPECT_EQ(pndsim::DeviceTime(), Utc(2026, 1, 1));
  pndsim::FailNext(pndsim::Call::SetLocalTime);
  EXPECT_FALSE(SetLocalTime(&target));
  EXPECT_EQ(pndsim::DeviceTime(), Utc(2026, 1, 1));
  EXPECT_TRUE(SetSystemTime(&target));
  EXPECT_EQ(pndsim::DeviceTime(), Utc(2026, 2, 2));
}

TEST(DeviceClock, ConcurrentReadersAndSettersSeeWholeTimes) {
  pndtest::SimGuard guard;
  ASSERT_TRUE(pndsim::SetTimeZoneByName("CET-1CEST,M3.5.0,M10.5.0/3"));
  std::atomic<bool> stop{false};
  std::atomic<int> bad{0};
  std::vector<std::thread> readers;
  readers.reserve(3);
  for (int i = 0; i < 3; ++i) {
    readers.emplace_back([&] {
      while (!stop) {
        SYSTEMTIME utc{};
        SYSTEMTIME local{};
        GetSystemTime(&utc);
        GetLocalTime(&local);
        TIME_ZONE_INFORMATION zone{};
        const DWORD id = GetTimeZoneInformation(&zone);
        if (utc.wYear < 2000 || local.wMonth < 1 || local.wMonth > 12 || id == TIME_ZONE_ID_INVALID) {
          ++bad;
        }
      }
    });
  }
  for (int i = 0; i < 200; ++i) {
    const SYSTEMTIME t = MakeTime(2010 + i % 20, 1 + i % 12, 1 + i % 28, i % 24);
    EXPECT_TRUE(i % 2 == 0 ? SetSystemTime(&t) : SetLocalTime(&t));
    if (i % 50 == 0) {
      pndsim::PinClock(Utc(2020, 1, 1));
      pndsim::UnpinClock();
    }
    if (i % 10 == 0) {
      EXPECT_TRUE(pndsim::SetTimeZoneByName(i % 20 == 0 ? "AEST-10AEDT,M10.1.0,M4.1.0/3" : "JST-9"));
    }
  }
  stop = true;
  for (auto& reader : readers) {
    reader.join();
  }
  EXPECT_EQ(bad.load(), 0);
}

}  // namespace

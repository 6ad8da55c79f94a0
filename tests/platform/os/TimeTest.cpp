#include "platform/os/Time.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <ctime>
#include <limits>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using namespace platform::os;

constexpr double kMsPerDay = 86400000.0;

// Date and time composed as the day count keeps them: before 1899-12-30 the
// time of day follows the sign.
TDateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  const TDateTime date = EncodeDate(y, mo, d);
  const TDateTime time = EncodeTime(h, mi, s, ms);
  return date < 0 ? date - time : date + time;
}

FILETIME MakeFileTime(uint64_t ticks) {
  return FILETIME{static_cast<uint32_t>(ticks), static_cast<uint32_t>(ticks >> 32)};
}

uint64_t Ticks(const FILETIME& ft) {
  return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

TEST(Tick, DifferenceIsTakenModulo2To32) {
  EXPECT_EQ(TickDiff(5, 0xFFFFFFFBu), 10u);
  EXPECT_EQ(TickDiff(0, 0xFFFFFFFFu), 1u);
  EXPECT_EQ(TickDiff(1000, 400), 600u);
  EXPECT_EQ(TickDiff(7, 7), 0u);
  // A tick taken just before the wrap is still "51 ms ago" just after it.
  EXPECT_GT(TickDiff(20, 0xFFFFFFFFu - 30), 50u);
}

TEST(Tick, PollingLoopCrossesTheWrap) {
  TestClock clock(TestClock::Mode::AdvanceOnSleep, 0xFFFFFFFFu - 120);
  uint32_t start = GetTickCount();
  int periods = 0;
  int sleeps = 0;
  while (periods < 5 && sleeps < 10000) {  // the tick thread's loop
    Sleep(1);
    ++sleeps;
    if (TickDiff(GetTickCount(), start) > 50) {
      ++periods;
      start = GetTickCount();
    }
  }
  EXPECT_EQ(periods, 5);
  EXPECT_EQ(sleeps, 5 * 51);
  EXPECT_LT(GetTickCount(), 1000u);  // wrapped
}

TEST(Tick, RealClockAdvancesWithSleep) {
  const uint32_t before = GetTickCount();
  Sleep(30);
  EXPECT_GE(TickDiff(GetTickCount(), before), 29u);
}

TEST(Calendar, KnownDayNumbers) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
  EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
  EXPECT_EQ(EncodeDate(2024, 1, 1), 45292.0);
  EXPECT_EQ(EncodeDate(1, 1, 1), -693593.0);
  EXPECT_EQ(EncodeDate(9999, 12, 31), 2958465.0);
}

TEST(Calendar, LeapYearsAndRefusedParts) {
  TDateTime t = 123.0;
  EXPECT_TRUE(TryEncodeDate(2024, 2, 29, t));
  EXPECT_TRUE(TryEncodeDate(2000, 2, 29, t));
  t = 123.0;
  EXPECT_FALSE(TryEncodeDate(2023, 2, 29, t));
  EXPECT_FALSE(TryEncodeDate(1900, 2, 29, t));
  EXPECT_FALSE(TryEncodeDate(2024, 4, 31, t));
  EXPECT_FALSE(TryEncodeDate(2024, 13, 1, t));
  EXPECT_FALSE(TryEncodeDate(2024, 0, 1, t));
  EXPECT_FALSE(TryEncodeDate(2024, 1, 0, t));
  EXPECT_FALSE(TryEncodeDate(0, 1, 1, t));
  EXPECT_FALSE(TryEncodeDate(10000, 1, 1, t));
  EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, t));
  EXPECT_FALSE(TryEncodeTime(0, 60, 0, 0, t));
  EXPECT_FALSE(TryEncodeTime(0, 0, 60, 0, t));
  EXPECT_FALSE(TryEncodeTime(0, 0, 0, 1000, t));
  EXPECT_FALSE(TryEncodeTime(-1, 0, 0, 0, t));
  EXPECT_EQ(t, 123.0);
  EXPECT_THROW(EncodeDate(2023, 2, 29), std::invalid_argument);
  EXPECT_THROW(EncodeTime(23, 59, 59, 1000), std::invalid_argument);
}

TEST(Calendar, EveryDayDecodesToItself) {
  int y = 0, m = 0, d = 0;
  int expectY = 1, expectM = 1, expectD = 1;
  for (TDateTime day = -693593; day <= 2958465; day += 1) {
    ASSERT_TRUE(DecodeDate(day, y, m, d)) << day;
    ASSERT_EQ(y, expectY) << day;
    ASSERT_EQ(m, expectM) << day;
    ASSERT_EQ(d, expectD) << day;
    TDateTime next = 0;
    if (!TryEncodeDate(expectY, expectM, expectD + 1, next)) {
      expectD = 1;
      if (++expectM > 12) {
        expectM = 1;
        ++expectY;
      }
    } else {
      ++expectD;
    }
  }
  EXPECT_EQ(expectY, 10000);
}

TEST(Calendar, TimeOfDayRoundTripsToTheMillisecond) {
  int h, mi, s, ms;
  ASSERT_TRUE(DecodeTime(At(2024, 3, 5, 23, 59, 59, 999), h, mi, s, ms));
  EXPECT_EQ(h * 10000000 + mi * 100000 + s * 1000 + ms, 235959999);
  for (int t = 0; t < 86400000; t += 86400000 / 997 + 13) {
    ASSERT_TRUE(DecodeTime(2958465.0 + t / kMsPerDay, h, mi, s, ms));
    ASSERT_EQ(((h * 60 + mi) * 60 + s) * 1000 + ms, t);
  }
}

TEST(Calendar, NegativeValuesKeepTheTimeAfterTheSign) {
  int y, mo, d, h, mi, s, ms;
  ASSERT_TRUE(DecodeDate(-1.25, y, mo, d));
  ASSERT_TRUE(DecodeTime(-1.25, h, mi, s, ms));
  EXPECT_EQ(y * 10000 + mo * 100 + d, 18991229);
  EXPECT_EQ(h, 6);
  EXPECT_EQ(FormatDateTime("dd.mm.yyyy hh:nn", At(1601, 1, 1, 12)), "01.01.1601 12:00");
}

TEST(Calendar, RoundingUpToMidnightMovesToTheNextDay) {
  const TDateTime almost = EncodeDate(2023, 12, 31) + (kMsPerDay - 0.2) / kMsPerDay;
  EXPECT_EQ(FormatDateTime("dd.mm.yyyy hh:nn:ss.zzz", almost), "01.01.2024 00:00:00.000");
}

TEST(Calendar, OutOfRangeValuesAreRefused) {
  int y = 7, m = 7, d = 7;
  EXPECT_FALSE(DecodeDate(std::nan(""), y, m, d));
  EXPECT_EQ(y + m + d, 0);
  EXPECT_FALSE(DecodeDate(std::numeric_limits<double>::infinity(), y, m, d));
  EXPECT_FALSE(DecodeDate(2958466.0, y, m, d));
  EXPECT_FALSE(DecodeDate(-693594.0, y, m, d));
  EXPECT_FALSE(DecodeDate(1e300, y, m, d));
  EXPECT_TRUE(DecodeDate(-693593.5, y, m, d));
  EXPECT_EQ(FormatDateTime("dd.mm.yyyy", std::nan("")), "");
}

TEST(Calendar, MillisecondsBetweenAcrossMidnightAndTheZeroDay) {
  EXPECT_EQ(MilliSecondsBetween(At(2024, 1, 1, 0, 0, 0, 5), At(2023, 12, 31, 23, 59, 59, 995)), 10);
  EXPECT_EQ(MilliSecondsBetween(At(2023, 12, 31, 23, 59, 59, 995), At(2024, 1, 1, 0, 0, 0, 5)), 10);
  // 1899-12-29 23:00 (-1 - 23/24) to 1899-12-30 01:00 is two hours.
  EXPECT_EQ(MilliSecondsBetween(At(1899, 12, 29, 23), At(1899, 12, 30, 1)), 7200000);
  EXPECT_EQ(MilliSecondsBetween(0, 0), 0);
  EXPECT_EQ(MilliSecondsBetween(std::nan(""), 0), std::numeric_limits<int64_t>::max());
}

TEST(Format, DefaultAndStatusDialogForms) {
  const TDateTime t = At(2024, 3, 5, 7, 8, 9, 12);
  EXPECT_EQ(DateTimeToStr(t), "05.03.2024 07:08:09");
  EXPECT_EQ(FormatDateTime("dd.mm.yyyy hh:nn:ss", t), "05.03.2024 07:08:09");
  EXPECT_EQ(FormatDateTime("dd-mm-yyyy hh:nn:ss:zzz", t), "05-03-2024 07:08:09:012");
  EXPECT_EQ(DateTimeToStr(EncodeDate(2024, 1, 1)), "01.01.2024 00:00:00");
}

TEST(Format, ShortFormsLiteralsAndCase) {
  const TDateTime t = At(2009, 3, 5, 7, 8, 9, 12);
  EXPECT_EQ(FormatDateTime("d/m/yy h:n:s.z", t), "5.3.09 7:8:9.12");
  EXPECT_EQ(FormatDateTime("DD.MM.YYYY HH:NN:SS", t), "05.03.2009 07:08:09");
  EXPECT_EQ(FormatDateTime("'day' d \"at\" hh", t), "day 5 at 07");
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd[hh]", t), "2009-03-05[07]");
  EXPECT_EQ(FormatDateTime("yyyy", EncodeDate(12, 1, 1)), "0012");
  EXPECT_EQ(FormatDateTime("zzz", At(2009, 1, 1, 0, 0, 0, 7)), "007");
  EXPECT_EQ(FormatDateTime("", t), "");
  EXPECT_EQ(FormatDateTime("'unclosed", t), "unclosed");
}

TEST(Kernel, DayOrdinalAndMillisecondsSinceMidnight) {
  EXPECT_EQ(DateTimeToKernel(EncodeDate(2024, 1, 1)).Date, 738886);
  EXPECT_EQ(DateTimeToKernel(EncodeDate(1, 1, 1)).Date, 1);
  EXPECT_EQ(DateTimeToKernel(EncodeDate(1899, 12, 30)).Date, 693594);
  const KernelDateTime k = DateTimeToKernel(At(2024, 1, 1, 12, 34, 56, 789));
  EXPECT_EQ(k.Date, 738886);
  EXPECT_EQ(k.Time, 45296789u);
  const KernelDateTime invalid = DateTimeToKernel(std::nan(""));
  EXPECT_EQ(invalid.Date, 0);
  EXPECT_EQ(invalid.Time, 0u);
}

TEST(Kernel, PairConvertsBack) {
  TDateTime t = 0;
  ASSERT_TRUE(KernelToDateTime({45296789u, 738886}, t));
  EXPECT_EQ(FormatDateTime("dd.mm.yyyy hh:nn:ss.zzz", t), "01.01.2024 12:34:56.789");
  ASSERT_TRUE(KernelToDateTime({3600000u, 693593}, t));
  EXPECT_DOUBLE_EQ(t, -1 - 1.0 / 24);
  t = 5;
  EXPECT_FALSE(KernelToDateTime({0, 0}, t));
  EXPECT_FALSE(KernelToDateTime({86400000u, 738886}, t));
  EXPECT_FALSE(KernelToDateTime({0, 3652060}, t));
  EXPECT_EQ(t, 5);
}

TEST(FileTime, KnownMoments) {
  TDateTime t = 0;
  ASSERT_TRUE(FileTimeToDateTime(MakeFileTime(0), t));
  EXPECT_EQ(t, EncodeDate(1601, 1, 1));
  // 2024-01-01 00:00 in 100 ns units since 1601.
  ASSERT_TRUE(FileTimeToDateTime(MakeFileTime(133485408000000000ull), t));
  EXPECT_EQ(t, 45292.0);
  // Sub-millisecond parts are dropped, not rounded.
  ASSERT_TRUE(FileTimeToDateTime(MakeFileTime(133485408000000000ull + 12349999), t));
  EXPECT_EQ(FormatDateTime("dd-mm-yyyy hh:nn:ss:zzz", t), "01-01-2024 00:00:01:234");
}

TEST(FileTime, RoundTrip) {
  FILETIME ft{};
  ASSERT_TRUE(DateTimeToFileTime(At(2024, 1, 1, 0, 0, 1, 234), ft));
  EXPECT_EQ(Ticks(ft), 133485408012340000ull);
  TDateTime t = 0;
  ASSERT_TRUE(FileTimeToDateTime(ft, t));
  EXPECT_EQ(DateTimeToKernel(t).Time, 1234u);
  ASSERT_TRUE(DateTimeToFileTime(EncodeDate(1601, 1, 1), ft));
  EXPECT_EQ(Ticks(ft), 0u);
}

TEST(FileTime, OutOfRangeFails) {
  TDateTime t = 42;
  const TDateTime last = At(9999, 12, 31, 23, 59, 59, 999);
  FILETIME ft{};
  ASSERT_TRUE(DateTimeToFileTime(last, ft));
  EXPECT_TRUE(FileTimeToDateTime(MakeFileTime(Ticks(ft) + 9999), t));
  t = 42;
  EXPECT_FALSE(FileTimeToDateTime(MakeFileTime(Ticks(ft) + 10000), t));  // year 10000
  EXPECT_FALSE(FileTimeToDateTime(MakeFileTime(0x8000000000000000ull), t));
  EXPECT_FALSE(FileTimeToDateTime(MakeFileTime(~0ull), t));
  EXPECT_EQ(t, 42);

  ft = MakeFileTime(77);
  EXPECT_FALSE(DateTimeToFileTime(At(1600, 12, 31, 12), ft));  // negative result
  EXPECT_FALSE(DateTimeToFileTime(std::nan(""), ft));
  EXPECT_FALSE(DateTimeToFileTime(3.0e6, ft));
  EXPECT_EQ(Ticks(ft), 77u);
}

// Whole seconds of the precise real-time clock. time() reads a coarse clock
// that may still show the last second when the precise one has passed it.
time_t RealSeconds() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return now.tv_sec;
}

TEST(FileTime, SystemTimeIsUtcNow) {
  const time_t before = RealSeconds();
  const uint64_t ticks = Ticks(GetSystemTimeAsFileTime());
  const time_t after = RealSeconds();
  constexpr uint64_t k1970 = 116444736000000000ull;  // 1970-01-01 in FILETIME units
  EXPECT_GE(ticks, k1970 + static_cast<uint64_t>(before) * 10000000u);
  EXPECT_LT(ticks, k1970 + (static_cast<uint64_t>(after) + 1) * 10000000u);
  TestClock clock(TestClock::Mode::Manual, 0, At(2024, 1, 1, 0, 0, 1, 234));
  EXPECT_EQ(Ticks(GetSystemTimeAsFileTime()), 133485408012340000ull);
}

TEST(Now, FollowsTheLocalClock) {
  const time_t before = RealSeconds();
  const TDateTime now = Now();
  const time_t after = RealSeconds();
  tm a{}, b{};
  localtime_r(&before, &a);
  localtime_r(&after, &b);
  const TDateTime low = At(a.tm_year + 1900, a.tm_mon + 1, a.tm_mday, a.tm_hour, a.tm_min,
                           a.tm_sec > 59 ? 59 : a.tm_sec);
  const TDateTime high = At(b.tm_year + 1900, b.tm_mon + 1, b.tm_mday, b.tm_hour, b.tm_min,
                            b.tm_sec > 59 ? 59 : b.tm_sec) + 1.0 / 86400;
  EXPECT_GE(now, low);
  EXPECT_LT(now, high);
}

TEST(TestClockTest, SleepAdvancesBothClocksWithoutWaiting) {
  const auto realStart = std::chrono::steady_clock::now();
  TestClock clock(TestClock::Mode::AdvanceOnSleep, 1000, At(2024, 1, 1, 23, 59, 59));
  EXPECT_EQ(GetTickCount(), 1000u);
  EXPECT_EQ(Now(), At(2024, 1, 1, 23, 59, 59));
  Sleep(3000);
  Sleep(3000);
  EXPECT_EQ(GetTickCount(), 7000u);
  EXPECT_EQ(DateTimeToStr(Now()), "02.01.2024 00:00:05");
  // An hour of fake sleep takes no real minute (a real sleep would).
  Sleep(3600000);
  EXPECT_EQ(GetTickCount(), 3607000u);
  EXPECT_LT(std::chrono::steady_clock::now() - realStart, std::chrono::seconds(60));
}

TEST(TestClockTest, ManualModeMovesOnlyWhenTold) {
  TestClock clock(TestClock::Mode::Manual, 0xFFFFFFFFu);
  Sleep(500);
  EXPECT_EQ(GetTickCount(), 0xFFFFFFFFu);
  clock.Advance(3001);
  EXPECT_EQ(GetTickCount(), 3000u);
  EXPECT_EQ(DateTimeToKernel(Now()).Time, 3001u);
  clock.SetTick(17);
  clock.SetNow(EncodeDate(2030, 6, 1));
  EXPECT_EQ(GetTickCount(), 17u);
  EXPECT_EQ(Now(), EncodeDate(2030, 6, 1));
  EXPECT_THROW(clock.SetNow(std::nan("")), std::invalid_argument);
}

TEST(TestClockTest, KernelNowIsTheKernelPairOfNow) {
  TestClock clock(TestClock::Mode::Manual);
  const TDateTime moments[] = {EncodeDate(2026, 12, 9) + EncodeTime(23, 59, 59, 999), EncodeDate(2024, 1, 1),
                               EncodeDate(1850, 3, 1) + EncodeTime(6, 0, 0, 1), EncodeDate(1, 1, 1),
                               EncodeDate(9999, 12, 31) + EncodeTime(12, 0, 0, 0)};
  for (const TDateTime moment : moments) {
    clock.SetNow(moment);
    const KernelDateTime fast = KernelNow(), slow = DateTimeToKernel(Now());
    EXPECT_EQ(fast.Time, slow.Time) << moment;
    EXPECT_EQ(fast.Date, slow.Date) << moment;
  }
  EXPECT_EQ(KernelNow().Time, 43200000u);
}

TEST(TestClockTest, OneAtATimeAndRealClocksReturn) {
  {
    TestClock clock(TestClock::Mode::Manual, 5, EncodeDate(1990, 1, 1));
    EXPECT_THROW(TestClock second, std::logic_error);
    EXPECT_EQ(GetTickCount(), 5u);  // the failed second one changed nothing
  }
  EXPECT_GT(Now(), EncodeDate(2020, 1, 1));
  TestClock again;  // allowed once the first is gone
  EXPECT_EQ(GetTickCount(), 0u);
  EXPECT_THROW(TestClock(TestClock::Mode::Manual, 0, std::nan("")), std::invalid_argument);
}

TEST(TestClockTest, SleepsFromManyThreadsAddUp) {
  TestClock clock;
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i)
    threads.emplace_back([] {
      for (int k = 0; k < 1000; ++k) Sleep(1);
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(GetTickCount(), 4000u);
  EXPECT_EQ(DateTimeToKernel(Now()).Time, 4000u);
}

}  // namespace

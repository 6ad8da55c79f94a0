#include "platform/os/Time.h"

#include <atomic>
#include <cerrno>
#include <cmath>
#include <ctime>
#include <limits>
#include <stdexcept>
#include <thread>

namespace platform::os {

namespace {

// A moment is milliseconds since the start of day ordinal 0, so that day
// ordinal N begins at N * kMsPerDay. Integer arithmetic keeps the test
// clock and the FILETIME conversion exact.
constexpr int64_t kMsPerDay = 86400000;
constexpr int32_t kOrdinalOfDayZero = 693594;   // 1899-12-30
constexpr int32_t kOrdinalOf1601 = 584389;      // 1601-01-01
constexpr int32_t kMaxOrdinal = 3652059;        // 9999-12-31

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool ValidDate(int year, int month, int day) {
  return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
         day <= DaysInMonth(year, month);
}

int32_t OrdinalFromDate(int year, int month, int day) {
  const int32_t y = year - 1;
  int32_t ordinal = y * 365 + y / 4 - y / 100 + y / 400;
  for (int m = 1; m < month; ++m) ordinal += DaysInMonth(year, m);
  return ordinal + day;
}

void DateFromOrdinal(int32_t ordinal, int& year, int& month, int& day) {
  int32_t n = ordinal - 1;
  const int32_t n400 = n / 146097;
  n %= 146097;
  const int32_t n100 = n / 36524;
  n %= 36524;
  const int32_t n4 = n / 1461;
  n %= 1461;
  const int32_t n1 = n / 365;
  n %= 365;
  year = n400 * 400 + n100 * 100 + n4 * 4 + n1;
  if (n100 == 4 || n1 == 4) {  // the last day of a leap cycle
    month = 12;
    day = 31;
    return;
  }
  ++year;
  month = 1;
  while (n >= DaysInMonth(year, month)) {
    n -= DaysInMonth(year, month);
    ++month;
  }
  day = n + 1;
}

// Splits a TDateTime into a moment; false for NaN or outside the valid dates.
bool MomentFromDateTime(TDateTime value, int64_t& moment) {
  if (!std::isfinite(value) || std::fabs(value) > 3.0e6) return false;
  const double whole = std::trunc(value);
  int64_t ordinal = static_cast<int64_t>(whole) + kOrdinalOfDayZero;
  int64_t ms = std::llround(std::fabs(value - whole) * kMsPerDay);
  if (ms >= kMsPerDay) {  // rounded up to the next midnight
    ms -= kMsPerDay;
    ++ordinal;
  }
  if (ordinal < 1 || ordinal > kMaxOrdinal) return false;
  moment = ordinal * kMsPerDay + ms;
  return true;
}

TDateTime DateTimeFromMoment(int64_t moment) {
  const int64_t day = moment / kMsPerDay - kOrdinalOfDayZero;
  const double fraction = static_cast<double>(moment % kMsPerDay) / kMsPerDay;
  return day >= 0 ? static_cast<double>(day) + fraction
                  : static_cast<double>(day) - fraction;
}

// The test clock; `active` is set last on start and cleared first on end,
// `owned` marks that a TestClock exists.
struct FakeClock {
  std::atomic<bool> owned{false};
  std::atomic<bool> active{false};
  std::atomic<bool> advanceOnSleep{true};
  std::atomic<uint32_t> tick{0};
  std::atomic<int64_t> moment{0};
};
FakeClock g_fake;

uint32_t RealTickCount() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  const uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u +
                      static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

// The local moment of a whole second; the time zone can only change at a
// whole second, so each thread converts a second once (localtime_r takes
// the process's time-zone lock).
int64_t LocalSecondMoment(time_t second) {
  thread_local time_t cachedSecond = -1;
  thread_local int64_t cachedMoment = 0;
  if (second != cachedSecond) {
    tm local{};
    localtime_r(&second, &local);
    const int sec = local.tm_sec > 59 ? 59 : local.tm_sec;  // leap second
    const int64_t ordinal = OrdinalFromDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    cachedMoment = ordinal * kMsPerDay + (local.tm_hour * 3600 + local.tm_min * 60 + sec) * 1000LL;
    cachedSecond = second;
  }
  return cachedMoment;
}

int64_t RealLocalMoment() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return LocalSecondMoment(ts.tv_sec) + ts.tv_nsec / 1000000;
}

void RealSleep(uint32_t ms) {
  if (ms == 0) {
    std::this_thread::yield();
    return;
  }
  timespec remaining{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
}

void Pad(std::string& out, int64_t number, int width) {
  std::string digits = std::to_string(number);
  if (static_cast<int>(digits.size()) < width) out.append(width - digits.size(), '0');
  out += digits;
}

size_t RunLength(std::string_view format, size_t at) {
  const char c = static_cast<char>(format[at] | 0x20);
  size_t end = at;
  while (end < format.size() && static_cast<char>(format[end] | 0x20) == c) ++end;
  return end - at;
}

// The kernel's pair of a moment; {0, 0} for a day outside 1 .. 9999-12-31.
KernelDateTime KernelFromMoment(int64_t moment) {
  const int64_t ordinal = moment / kMsPerDay;
  if (moment < 0 || ordinal < 1 || ordinal > kMaxOrdinal) return KernelDateTime{0, 0};
  return KernelDateTime{static_cast<uint32_t>(moment % kMsPerDay), static_cast<int32_t>(ordinal)};
}

// The local moment now: the test clock's while one runs.
int64_t NowMoment() { return g_fake.active.load() ? g_fake.moment.load() : RealLocalMoment(); }

}  // namespace

uint32_t GetTickCount() {
  if (g_fake.active.load()) return g_fake.tick.load();
  return RealTickCount();
}

void Sleep(uint32_t ms) {
  if (g_fake.active.load()) {
    if (g_fake.advanceOnSleep.load()) {
      g_fake.tick.fetch_add(ms);
      g_fake.moment.fetch_add(ms);
      std::this_thread::yield();
    } else {
      RealSleep(ms == 0 ? 0 : 1);
    }
    return;
  }
  RealSleep(ms);
}

TDateTime Now() { return DateTimeFromMoment(NowMoment()); }

bool TryEncodeDate(int year, int month, int day, TDateTime& result) {
  if (!ValidDate(year, month, day)) return false;
  result = static_cast<double>(OrdinalFromDate(year, month, day) - kOrdinalOfDayZero);
  return true;
}

bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& result) {
  if (hour < 0 || hour > 23 || min < 0 || min > 59 || sec < 0 || sec > 59 || msec < 0 ||
      msec > 999)
    return false;
  result = static_cast<double>(((hour * 60 + min) * 60 + sec) * 1000 + msec) / kMsPerDay;
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime result = 0;
  if (!TryEncodeDate(year, month, day, result))
    throw std::invalid_argument("date out of range: " + std::to_string(year) + "-" +
                                std::to_string(month) + "-" + std::to_string(day));
  return result;
}

TDateTime EncodeTime(int hour, int min, int sec, int msec) {
  TDateTime result = 0;
  if (!TryEncodeTime(hour, min, sec, msec, result))
    throw std::invalid_argument("time out of range: " + std::to_string(hour) + ":" +
                                std::to_string(min) + ":" + std::to_string(sec) + "." +
                                std::to_string(msec));
  return result;
}

bool DecodeDate(TDateTime value, int& year, int& month, int& day) {
  int64_t moment = 0;
  year = month = day = 0;
  if (!MomentFromDateTime(value, moment)) return false;
  DateFromOrdinal(static_cast<int32_t>(moment / kMsPerDay), year, month, day);
  return true;
}

bool DecodeTime(TDateTime value, int& hour, int& min, int& sec, int& msec) {
  int64_t moment = 0;
  hour = min = sec = msec = 0;
  if (!MomentFromDateTime(value, moment)) return false;
  const int64_t ms = moment % kMsPerDay;
  hour = static_cast<int>(ms / 3600000);
  min = static_cast<int>(ms / 60000 % 60);
  sec = static_cast<int>(ms / 1000 % 60);
  msec = static_cast<int>(ms % 1000);
  return true;
}

int64_t MilliSecondsBetween(TDateTime a, TDateTime b) {
  int64_t ma = 0, mb = 0;
  if (!MomentFromDateTime(a, ma) || !MomentFromDateTime(b, mb))
    return std::numeric_limits<int64_t>::max();
  return ma > mb ? ma - mb : mb - ma;
}

std::string FormatDateTime(std::string_view format, TDateTime value) {
  int year, month, day, hour, min, sec, msec;
  if (!DecodeDate(value, year, month, day) || !DecodeTime(value, hour, min, sec, msec))
    return std::string();
  std::string out;
  size_t i = 0;
  while (i < format.size()) {
    const char c = format[i];
    if (c == '\'' || c == '"') {  // quoted literal text, up to the closing quote
      size_t close = format.find(c, i + 1);
      if (close == std::string_view::npos) close = format.size();
      out.append(format.substr(i + 1, close - i - 1));
      i = close + 1;
      continue;
    }
    const size_t run = RunLength(format, i);
    size_t used = run >= 2 ? 2 : 1;
    switch (c | 0x20) {
      case 'd': Pad(out, day, static_cast<int>(used)); break;
      case 'm': Pad(out, month, static_cast<int>(used)); break;
      case 'h': Pad(out, hour, static_cast<int>(used)); break;
      case 'n': Pad(out, min, static_cast<int>(used)); break;
      case 's': Pad(out, sec, static_cast<int>(used)); break;
      case 'y':
        used = run >= 4 ? 4 : used;
        if (used == 4) Pad(out, year, 4);
        else Pad(out, year % 100, 2);
        break;
      case 'z':
        used = run >= 3 ? 3 : 1;
        Pad(out, msec, used == 3 ? 3 : 1);
        break;
      default:
        used = 1;
        out += c == '/' ? '.' : c;
        break;
    }
    i += used;
  }
  return out;
}

std::string DateTimeToStr(TDateTime value) {
  return FormatDateTime("dd.mm.yyyy hh:nn:ss", value);
}

KernelDateTime DateTimeToKernel(TDateTime value) {
  int64_t moment = 0;
  return MomentFromDateTime(value, moment) ? KernelFromMoment(moment) : KernelDateTime{0, 0};
}

KernelDateTime KernelNow() { return KernelFromMoment(NowMoment()); }

bool KernelToDateTime(const KernelDateTime& kernel, TDateTime& result) {
  if (kernel.Date < 1 || kernel.Date > kMaxOrdinal || kernel.Time >= kMsPerDay) return false;
  result = DateTimeFromMoment(static_cast<int64_t>(kernel.Date) * kMsPerDay + kernel.Time);
  return true;
}

FILETIME GetSystemTimeAsFileTime() {
  uint64_t ticks = 0;
  if (g_fake.active.load()) {
    const int64_t since1601 =
        g_fake.moment.load() - static_cast<int64_t>(kOrdinalOf1601) * kMsPerDay;
    ticks = since1601 > 0 ? static_cast<uint64_t>(since1601) * 10000u : 0;
  } else {
    constexpr uint64_t kSeconds1601To1970 = 11644473600u;
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    ticks = (static_cast<uint64_t>(ts.tv_sec) + kSeconds1601To1970) * 10000000u +
            static_cast<uint64_t>(ts.tv_nsec) / 100u;
  }
  return FILETIME{static_cast<uint32_t>(ticks), static_cast<uint32_t>(ticks >> 32)};
}

bool FileTimeToDateTime(const FILETIME& ft, TDateTime& result) {
  const uint64_t ticks =
      (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  const uint64_t ms = ticks / 10000u;
  const uint64_t base = static_cast<uint64_t>(kOrdinalOf1601) * kMsPerDay;
  const uint64_t last = static_cast<uint64_t>(kMaxOrdinal + 1) * kMsPerDay - 1;
  if (ms > last - base) return false;
  result = DateTimeFromMoment(static_cast<int64_t>(base + ms));
  return true;
}

bool DateTimeToFileTime(TDateTime value, FILETIME& ft) {
  int64_t moment = 0;
  if (!MomentFromDateTime(value, moment)) return false;
  const int64_t since1601 = moment - static_cast<int64_t>(kOrdinalOf1601) * kMsPerDay;
  if (since1601 < 0) return false;
  const uint64_t ticks = static_cast<uint64_t>(since1601) * 10000u;
  ft.dwLowDateTime = static_cast<uint32_t>(ticks);
  ft.dwHighDateTime = static_cast<uint32_t>(ticks >> 32);
  return true;
}

TestClock::TestClock(Mode mode, uint32_t startTick, TDateTime startNow) {
  int64_t moment = 0;
  if (!MomentFromDateTime(startNow, moment))
    throw std::invalid_argument("TestClock: start time out of range");
  if (g_fake.owned.exchange(true)) throw std::logic_error("TestClock: one is already alive");
  g_fake.advanceOnSleep.store(mode == Mode::AdvanceOnSleep);
  g_fake.tick.store(startTick);
  g_fake.moment.store(moment);
  g_fake.active.store(true);
}

TestClock::~TestClock() {
  g_fake.active.store(false);
  g_fake.owned.store(false);
}

void TestClock::Advance(uint32_t ms) {
  g_fake.tick.fetch_add(ms);
  g_fake.moment.fetch_add(ms);
}

void TestClock::SetTick(uint32_t tick) { g_fake.tick.store(tick); }

void TestClock::SetNow(TDateTime now) {
  int64_t moment = 0;
  if (!MomentFromDateTime(now, moment))
    throw std::invalid_argument("TestClock: time out of range");
  g_fake.moment.store(moment);
}

}  // namespace platform::os

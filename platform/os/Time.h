#pragma once
// Clocks and calendar arithmetic.
//
// GetTickCount is a 32-bit millisecond counter that wraps after 49.7 days;
// every elapsed-time test subtracts with TickDiff. TDateTime is local time
// as a day count since 1899-12-30 with the time of day as the fraction; a
// negative value keeps its time of day as a positive fraction after the
// sign (-1.25 is 1899-12-29 06:00). Valid dates run from 0001-01-01 to
// 9999-12-31. Every function here may be called from any thread.

#include <cstdint>
#include <string>
#include <string_view>

namespace platform::os {

using TDateTime = double;

// Milliseconds of a monotonic clock, truncated to 32 bits (or the test
// clock's tick while a TestClock is alive).
uint32_t GetTickCount();

// later - earlier modulo 2^32: the elapsed milliseconds even across a wrap.
constexpr uint32_t TickDiff(uint32_t later, uint32_t earlier) {
  return static_cast<uint32_t>(later - earlier);
}

// Sleeps ms milliseconds (0 gives up the rest of the time slice). While a
// TestClock is alive it follows the clock's mode instead (see TestClock).
void Sleep(uint32_t ms);

// The current local date and time (or the test clock's), millisecond
// resolution.
TDateTime Now();

// Calendar encoding. The Try forms answer false for a part out of range
// (year 1..9999, month 1..12, day within the month; hour 0..23, minute and
// second 0..59, ms 0..999) and leave result untouched. EncodeDate and
// EncodeTime throw std::invalid_argument on such parts.
bool TryEncodeDate(int year, int month, int day, TDateTime& result);
bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& result);
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int min, int sec, int msec);

// Calendar decoding, time rounded to the millisecond. Answers false (parts
// set to 0) for NaN or a value outside 0001-01-01 .. 9999-12-31.
bool DecodeDate(TDateTime value, int& year, int& month, int& day);
bool DecodeTime(TDateTime value, int& hour, int& min, int& sec, int& msec);

// Whole milliseconds between two moments, each taken to the millisecond;
// never negative. INT64_MAX when either is a value DecodeDate refuses, so
// that a time-out test on a broken time stamp expires.
int64_t MilliSecondsBetween(TDateTime a, TDateTime b);

// Text of value by format. Letters (either case): d dd day, m mm month,
// yy yyyy year, h hh hour, n nn minute, s ss second, z zzz milliseconds,
// "/" the date separator "." and ":" the time separator; text in single or
// double quotes and every other character is copied as it stands. A value
// that DecodeDate refuses gives "".
std::string FormatDateTime(std::string_view format, TDateTime value);

// "dd.mm.yyyy hh:nn:ss", the system's default date-time text.
std::string DateTimeToStr(TDateTime value);

// The kernel's pair: milliseconds since local midnight and the day ordinal
// with 0001-01-01 = 1 (2024-01-01 = 738886).
struct KernelDateTime {
  uint32_t Time;  // ms since midnight, 0 .. 86399999
  int32_t Date;   // day ordinal; 0 means "no valid date"
};
static_assert(sizeof(KernelDateTime) == 8);

// {0, 0} for a value DecodeDate refuses.
KernelDateTime DateTimeToKernel(TDateTime value);
// DateTimeToKernel(Now()), the same pair, without the way through a
// TDateTime: the driver stamps every value it passes on.
KernelDateTime KernelNow();
// False for Date outside 1 .. ordinal(9999-12-31) or Time >= 86400000.
bool KernelToDateTime(const KernelDateTime& kernel, TDateTime& result);

// 100-ns intervals since 1601-01-01, taken as they stand (no time zone
// conversion either way).
struct FILETIME {
  uint32_t dwLowDateTime;
  uint32_t dwHighDateTime;
};
static_assert(sizeof(FILETIME) == 8);

// The current UTC time as FILETIME (100 ns resolution). While a TestClock
// is alive: the test clock's time taken as it stands (no zone offset).
FILETIME GetSystemTimeAsFileTime();

// False when the moment lies after 9999-12-31 23:59:59.999; result then
// untouched. Sub-millisecond parts are dropped.
bool FileTimeToDateTime(const FILETIME& ft, TDateTime& result);
// False for NaN, a value outside the valid dates, or a moment before
// 1601-01-01 (a negative FILETIME); ft then untouched.
bool DateTimeToFileTime(TDateTime value, FILETIME& ft);

// Replaces both clocks of the current process while alive, so that tests of
// long time-outs run fast. At most one may exist at a time (a second one
// throws std::logic_error). Every operation is thread-safe.
//
// Mode::AdvanceOnSleep: Sleep(ms) moves both clocks forward by ms and only
//   yields, so a loop that polls with Sleep sees its time-out at once.
// Mode::Manual: the clocks move only through Advance/SetTick/SetNow;
//   Sleep(ms) really sleeps at most 1 ms so pollers do not spin.
// Real waits with a bound (TThread::WaitFor, waits on events and queues)
// keep using real time: they are safety bounds, not the system's clocks.
class TestClock {
 public:
  enum class Mode { AdvanceOnSleep, Manual };

  // Starts at the given tick and local time (default 2024-01-01 00:00).
  explicit TestClock(Mode mode = Mode::AdvanceOnSleep, uint32_t startTick = 0,
                     TDateTime startNow = 45292.0);
  ~TestClock();
  TestClock(const TestClock&) = delete;
  TestClock& operator=(const TestClock&) = delete;

  // Moves the tick (modulo 2^32) and the local time forward by ms.
  void Advance(uint32_t ms);
  void SetTick(uint32_t tick);
  // Throws std::invalid_argument for a value DecodeDate refuses.
  void SetNow(TDateTime now);
};

}  // namespace platform::os

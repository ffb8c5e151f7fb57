#include "platform/sim/device_clock.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/sim/device.h"
#include "platform/user.h"

namespace sim {

namespace {

// Days from 1601-01-01 for a civil date (proleptic Gregorian); a day past the month's end
// runs on into the next month.
int64_t DaysFrom1601(int y, int m, int d) {
  y -= m <= 2;
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yoe = y - era * 400;
  int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  int64_t daysFrom1970 = era * 146097 + doe - 719468;
  return daysFrom1970 + 134774;
}

bool IsLeap(int y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return kDays[m - 1] + (m == 2 && IsLeap(y) ? 1 : 0);
}

int64_t Minutes(int64_t n) {
  return n * kFileTicksPerMinute;
}

// When a zone record's transition date falls in `year`, as local time; false when it does not.
bool TransitionIn(const SYSTEMTIME& rule, int year, int64_t* at) {
  if (rule.wMonth < 1 || rule.wMonth > 12 || rule.wHour > 23 || rule.wMinute > 59) return false;
  if (rule.wYear != 0) {
    if (rule.wYear != year || !IsValidSystemTime(rule)) return false;
    *at = FileTicksOf(rule);
    return true;
  }
  if (rule.wDay < 1 || rule.wDay > 5 || rule.wDayOfWeek > 6) return false;
  int first = static_cast<int>((DaysFrom1601(year, rule.wMonth, 1) + 1) % 7);
  int day = 1 + (rule.wDayOfWeek - first + 7) % 7 + (rule.wDay - 1) * 7;
  while (day > DaysInMonth(year, rule.wMonth)) day -= 7;  // week 5 is the month's last
  SYSTEMTIME st = rule;
  st.wYear = static_cast<WORD>(year);
  st.wDay = static_cast<WORD>(day);
  *at = FileTicksOf(st);
  return true;
}

void PutName(WCHAR (&out)[32], const std::string& name) {
  size_t n = std::min(name.size(), std::size(out) - 1);
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<WCHAR>(name[i]);
}

std::string Stamp(const SYSTEMTIME& st) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u", st.wYear, st.wMonth, st.wDay,
                st.wHour, st.wMinute, st.wSecond);
  return buf;
}

}  // namespace

int64_t FileTicksOf(const SYSTEMTIME& st) {
  int64_t days = DaysFrom1601(st.wYear, st.wMonth, st.wDay);
  int64_t ms = days * 86400000 + st.wHour * 3600000ll + st.wMinute * 60000ll + st.wSecond * 1000ll +
               st.wMilliseconds;
  return ms * kFileTicksPerMs;
}

SYSTEMTIME SystemTimeOf(int64_t fileTicks) {
  uint64_t ms = static_cast<uint64_t>(std::max<int64_t>(fileTicks, 0)) / kFileTicksPerMs;
  int64_t days = static_cast<int64_t>(ms / 86400000ull);
  uint64_t rem = ms % 86400000ull;
  int64_t z = days - 134774 + 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t y = yoe + era * 400;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int64_t d = doy - (153 * mp + 2) / 5 + 1;
  int64_t m = mp < 10 ? mp + 3 : mp - 9;
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(y + (m <= 2));
  st.wMonth = static_cast<WORD>(m);
  st.wDay = static_cast<WORD>(d);
  st.wDayOfWeek = static_cast<WORD>((days + 1) % 7);  // 1601-01-01 was a Monday
  st.wHour = static_cast<WORD>(rem / 3600000);
  st.wMinute = static_cast<WORD>(rem / 60000 % 60);
  st.wSecond = static_cast<WORD>(rem / 1000 % 60);
  st.wMilliseconds = static_cast<WORD>(rem % 1000);
  return st;
}

bool IsValidSystemTime(const SYSTEMTIME& st) {
  return st.wYear >= 1601 && st.wMonth >= 1 && st.wMonth <= 12 && st.wDay >= 1 &&
         st.wDay <= DaysInMonth(st.wYear, st.wMonth) && st.wHour <= 23 && st.wMinute <= 59 &&
         st.wSecond <= 59 && st.wMilliseconds <= 999;
}

TIME_ZONE_INFORMATION TimeZone::Information(WORD year) const {
  TIME_ZONE_INFORMATION tz{};
  tz.Bias = bias;
  LONG offset = -bias;
  char name[16];
  std::snprintf(name, sizeof name, "UTC%c%02d:%02d", offset < 0 ? '-' : '+', std::abs(offset) / 60,
                std::abs(offset) % 60);
  PutName(tz.StandardName, name);
  if (!daylight) return tz;
  PutName(tz.DaylightName, std::string(name) + " daylight");
  auto in = [year](const YearMoment& m) {
    SYSTEMTIME st{year, m.month, 0, m.day, m.hour, m.minute, 0, 0};
    st.wDayOfWeek = SystemTimeOf(FileTicksOf(st)).wDayOfWeek;
    return st;
  };
  tz.DaylightDate = in(daylightStart);
  tz.StandardDate = in(daylightEnd);
  tz.DaylightBias = -60;
  return tz;
}

int64_t LocalOf(const TIME_ZONE_INFORMATION& tz, int64_t utc, bool* daylight) {
  const int64_t standardShift = Minutes(int64_t{tz.Bias} + tz.StandardBias);
  const int64_t daylightShift = Minutes(int64_t{tz.Bias} + tz.DaylightBias);
  bool dst = false;
  int year = SystemTimeOf(utc - Minutes(tz.Bias)).wYear;
  int64_t start = 0, end = 0;
  if (tz.DaylightDate.wMonth != 0 && tz.StandardDate.wMonth != 0 &&
      TransitionIn(tz.DaylightDate, year, &start) && TransitionIn(tz.StandardDate, year, &end)) {
    // Daylight saving starts at a reading of standard time and ends at one of daylight time.
    int64_t from = start + standardShift;
    int64_t to = end + daylightShift;
    // Starting later in the year than it ends: it spans the new year (southern summers).
    dst = from < to ? utc >= from && utc < to : utc >= from || utc < to;
  }
  if (daylight) *daylight = dst;
  return utc - (dst ? daylightShift : standardShift);
}

void DeviceClock::SetLocalAt(uint64_t tick, const SYSTEMTIME& local) {
  int64_t base = UtcOfLocal(FileTicksOf(localStart_));
  shift_ = UtcOfLocal(FileTicksOf(local)) - base - static_cast<int64_t>(tick) * kFileTicksPerMs;
  lastTick_ = kNoTick;
}

TIME_ZONE_INFORMATION DeviceClock::Information(int64_t utc) const {
  WORD year = SystemTimeOf(utc - Minutes(zone_.bias)).wYear;
  if (year != cachedYear_) {
    cached_ = zone_.Information(year);
    cachedYear_ = year;
  }
  return cached_;
}

int64_t DeviceClock::UtcAt(uint64_t tick) const {
  int64_t utc =
      UtcOfLocal(FileTicksOf(localStart_)) + shift_ + static_cast<int64_t>(tick) * kFileTicksPerMs;
  return std::max<int64_t>(utc, 0);
}

int64_t DeviceClock::LocalAt(uint64_t tick, bool* daylight) const {
  if (tick != lastTick_) {
    int64_t utc = UtcAt(tick);
    lastLocal_ = std::max<int64_t>(LocalOf(Information(utc), utc, &lastDaylight_), 0);
    lastTick_ = tick;
  }
  if (daylight) *daylight = lastDaylight_;
  return lastLocal_;
}

int64_t DeviceClock::UtcOfLocal(int64_t local) const {
  int64_t standard = local + Minutes(zone_.bias);
  if (!zone_.daylight) return standard;
  bool dst = false;
  LocalOf(Information(standard), standard, &dst);
  if (!dst) return standard;
  int64_t daylight = standard - Minutes(60);
  LocalOf(Information(daylight), daylight, &dst);
  return dst ? daylight : standard;
}

int64_t DeviceClock::TickOfLocal(const SYSTEMTIME& local) const {
  int64_t base = UtcOfLocal(FileTicksOf(localStart_)) + shift_;
  int64_t ahead = UtcOfLocal(FileTicksOf(local)) - base;
  // A moment inside a millisecond is reached at the end of it.
  return ahead > 0 ? (ahead + kFileTicksPerMs - 1) / kFileTicksPerMs : ahead / kFileTicksPerMs;
}

void SetLocalTimeByUser(Device& dev, const SYSTEMTIME& local) {
  dev.clock().SetLocalAt(dev.Now(), local);
  dev.Note("clock set " + Stamp(SystemTimeOf(dev.clock().LocalAt(dev.Now()))) + " (UTC " +
           Stamp(SystemTimeOf(dev.clock().UtcAt(dev.Now()))) + ")");
  PostMessageW(HWND_BROADCAST, WM_TIMECHANGE, 0, 0);
  dev.notifications().Reschedule(dev);
}

}  // namespace sim

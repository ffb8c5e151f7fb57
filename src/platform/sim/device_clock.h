// The device's clock: one UTC time line driven by the virtual tick, and the time zone that turns
// it into local time. The phone keeps UTC and shows local time, so a zone or a clock the user
// sets changes what local time reads without touching the tick count.
#pragma once

#include <cstdint>

#include "platform/kernel.h"

namespace sim {

class Device;

// Moments as FILETIME counts them: 100-ns units since 1601-01-01.
constexpr int64_t kFileTicksPerMs = 10000;
constexpr int64_t kFileTicksPerMinute = 60 * 1000 * kFileTicksPerMs;
int64_t FileTicksOf(const SYSTEMTIME& st);   // the fields are taken as they are, unchecked
SYSTEMTIME SystemTimeOf(int64_t fileTicks);  // negative counts as 0
bool IsValidSystemTime(const SYSTEMTIME& st);

// A moment of every year, as daylight saving starts or ends on it.
struct YearMoment {
  WORD month = 0, day = 0, hour = 0, minute = 0;
};

// UTC = local + bias minutes; with daylight saving, one hour more from `daylightStart` (local
// standard time) to `daylightEnd` (local daylight time), every year on the same dates.
struct TimeZone {
  LONG bias = 0;
  bool daylight = false;
  YearMoment daylightStart, daylightEnd;

  // The zone as the platform's record for `year`: its daylight dates hold for that year.
  TIME_ZONE_INFORMATION Information(WORD year) const;
};

// Local time of a UTC moment under a zone record, and whether daylight saving applies to it.
int64_t LocalOf(const TIME_ZONE_INFORMATION& tz, int64_t utc, bool* daylight);

class DeviceClock {
 public:
  // The local time at tick 0 (`clock`); read under the zone, whichever of the two comes first.
  void SetLocalStart(const SYSTEMTIME& local) {
    localStart_ = local;
    lastTick_ = kNoTick;
  }
  void SetZone(const TimeZone& zone) {
    zone_ = zone;
    cachedYear_ = 0;
    lastTick_ = kNoTick;
  }
  // From `tick` on, local time reads `local` (the user sets the clock); ticks go on as before.
  void SetLocalAt(uint64_t tick, const SYSTEMTIME& local);

  const TimeZone& Zone() const { return zone_; }
  TIME_ZONE_INFORMATION Information(int64_t utc) const;
  int64_t UtcAt(uint64_t tick) const;
  int64_t LocalAt(uint64_t tick, bool* daylight = nullptr) const;
  // The UTC moment a local time names: standard time where both readings fit (the hour that
  // repeats when daylight saving ends), and standard time too for a reading the clock skips.
  int64_t UtcOfLocal(int64_t local) const;
  // The tick at which the clock reads (or read) `local`; before tick 0 it is negative.
  int64_t TickOfLocal(const SYSTEMTIME& local) const;

 private:
  SYSTEMTIME localStart_{2008, 1, 2, 1, 0, 0, 0, 0};
  TimeZone zone_;
  int64_t shift_ = 0;  // what setting the clock added to the UTC time line
  // Every reading of the local time needs the zone's record for the year; it changes only with
  // the zone or the year.
  mutable WORD cachedYear_ = 0;
  mutable TIME_ZONE_INFORMATION cached_{};
  // Programs read the local time many times within one tick (every log line does).
  static constexpr uint64_t kNoTick = UINT64_MAX;
  mutable uint64_t lastTick_ = kNoTick;
  mutable int64_t lastLocal_ = 0;
  mutable bool lastDaylight_ = false;
};

// The user sets the device's local time: the clock moves, every top-level window is told with
// WM_TIMECHANGE, and timed notifications due by the new time fire.
void SetLocalTimeByUser(Device& dev, const SYSTEMTIME& local);

}  // namespace sim

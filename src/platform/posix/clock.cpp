// System clock and time zone on POSIX systems (glibc and the like).
//
// The zone comes from TZ (a POSIX rule string such as "CET-1CEST,M3.5.0,M10.5.0/3"
// or a zone file name), or the system default when TZ is unset. tzset() is
// called on every query so that a changed TZ takes effect at once.
#include "platform/clock.h"

#include <ctime>

namespace vorlan::platform {

namespace {

// One week, the step of the search for the other half of a zone's rule.
constexpr time_t kWeekSeconds = 7 * 24 * 60 * 60;
// Enough weeks to see a whole year of rules from any starting point.
constexpr int kWeeksToSearch = 54;

// Minutes west of UTC (the Windows bias sign) of a UTC offset in seconds east.
int32_t biasMinutes(long secondsEast) { return static_cast<int32_t>(-secondsEast / 60); }

// Searches the year ahead for a moment whose daylight flag is `wantDaylight`;
// on success stores that moment's bias. The rules of a zone are the same every
// year for POSIX strings, and zone files repeat them in the same way.
bool findBias(time_t from, bool wantDaylight, int32_t* bias) {
  for (int week = 1; week <= kWeeksToSearch; ++week) {
    time_t probe = from + week * kWeekSeconds;
    struct tm fields {};
    if (localtime_r(&probe, &fields) == nullptr) return false;
    if ((fields.tm_isdst > 0) == wantDaylight) {
      *bias = biasMinutes(fields.tm_gmtoff);
      return true;
    }
  }
  return false;
}

}  // namespace

int64_t nowSeconds() { return static_cast<int64_t>(time(nullptr)); }

CalendarFields localFields(int64_t seconds) {
  tzset();
  time_t moment = static_cast<time_t>(seconds);
  struct tm fields {};
  if (localtime_r(&moment, &fields) == nullptr) {
    // Only a moment far outside the calendar's range gets here; show the
    // Unix epoch rather than random fields.
    return CalendarFields{1970, 1, 1, 0, 0, 0};
  }
  return CalendarFields{fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday,
                        fields.tm_hour,        fields.tm_min,     fields.tm_sec};
}

TimeZoneState currentTimeZone() {
  tzset();
  TimeZoneState state;
  time_t now = time(nullptr);
  struct tm fields {};
  if (now == static_cast<time_t>(-1) || localtime_r(&now, &fields) == nullptr) {
    return state;  // Failed
  }
  const int32_t inForce = biasMinutes(fields.tm_gmtoff);

  if (fields.tm_isdst > 0) {
    // Daylight time now: the standard bias is the other half of the rule,
    // or the zone's declared standard offset when daylight time never ends.
    state.kind = TimeZoneState::Daylight;
    int32_t standard = 0;
    if (!findBias(now, false, &standard)) standard = static_cast<int32_t>(timezone / 60);
    state.bias = standard;
    state.standardBias = 0;
    state.daylightBias = inForce - standard;
    return state;
  }

  // Standard time now, or a zone without daylight time in the year ahead.
  state.bias = inForce;
  state.standardBias = 0;
  int32_t summer = 0;
  if (daylight != 0 && findBias(now, true, &summer)) {
    state.kind = TimeZoneState::Standard;
    state.daylightBias = summer - inForce;
  } else {
    state.kind = TimeZoneState::Unknown;
    state.daylightBias = 0;
  }
  return state;
}

}  // namespace vorlan::platform

// System clock and time zone.
#pragma once

#include <cstdint>

namespace vorlan::platform {

// Seconds since 1970-01-01 00:00:00 UTC.
int64_t nowSeconds();

struct CalendarFields {
  int year, month, day, hour, minute, second;
};

// Local calendar fields of the given moment (seconds since 1970 UTC), in the
// time zone in force at the call (TZ read afresh). Month 1-12, day 1-31.
CalendarFields localFields(int64_t seconds);

// The time-zone information in force now, in the form Windows reports it:
// biases in minutes, UTC = local time + bias. `bias` is the standard bias of
// the zone; the offset in force is bias + daylightBias under Daylight,
// bias + standardBias under Standard and bias alone under Unknown (a zone
// without daylight time). Failed: the setting could not be read.
struct TimeZoneState {
  enum Kind { Unknown, Standard, Daylight, Failed } kind = Failed;
  int32_t bias = 0;
  int32_t standardBias = 0;
  int32_t daylightBias = 0;
};

// Reads the current time-zone setting afresh (TZ included).
TimeZoneState currentTimeZone();

}  // namespace vorlan::platform

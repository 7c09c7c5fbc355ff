// Replication timestamps: 100-nanosecond units since 0001-01-01 00:00:00 UTC
// on the proleptic Gregorian calendar, stored least significant byte first.
// Conversions to and from local wall-clock fields use the offset in force at
// the call, whatever the date of the value itself.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vorlan {

using ReplicationTimestamp = uint64_t;

constexpr uint64_t kTimestampUnitsPerSecond = 10000000ULL;
constexpr uint64_t kTimestampUnitsPerDay = 864000000000ULL;
// Value of 1970-01-01 00:00:00 UTC.
constexpr ReplicationTimestamp kTimestampUnixEpoch = 621355968000000000ULL;
// Obituaries older than this many units (30 days) are purged.
constexpr uint64_t kObituaryRetentionUnits = 25920000000000ULL;

// The text form is 27 characters for years up to 9999 and 28 beyond; a
// buffer of this size holds it with its terminator.
constexpr size_t kTimestampTextSize = 32;

// A timestamp as local wall-clock fields.
struct TimestampFields {
  int32_t year = 1;
  int32_t month = 1;    // 1-12
  int32_t day = 1;      // 1-31
  int32_t hour = 0;     // 0-23
  int32_t minute = 0;   // 0-59
  int32_t second = 0;   // 0-59
  uint32_t fraction = 0;  // 0-9,999,999 units of 100 ns
};

struct CalendarDate {
  int32_t year;
  int32_t month;
  int32_t day;
};

// Writes the text form "YYYY-MM-DD hh:mm:ss.fffffff" of the value in local
// time into `text` (at most `textSize` bytes, always terminated when textSize
// is not 0) and returns `text`.
const char* formatTimestamp(ReplicationTimestamp value, char* text, size_t textSize);

// The present moment in UTC, whole seconds.
ReplicationTimestamp currentTimestamp();

// The purge cutoff: `now` truncated to whole seconds, less 30 days (modulo
// 2^64).
ReplicationTimestamp obituaryCutoffAt(ReplicationTimestamp now);
// The purge cutoff of the present moment.
ReplicationTimestamp obituaryCutoff();

// Seconds to add to UTC to obtain local time, from the time-zone setting in
// force at the call; 0 when the setting cannot be read.
int32_t localOffset();

// The value as local fields, and back.
TimestampFields splitTimestamp(ReplicationTimestamp value);
ReplicationTimestamp composeTimestamp(const TimestampFields& fields);

// Calendar on day numbers, day 0 being 0001-01-01.
CalendarDate daysToDate(int32_t dayNumber);
int32_t daysBeforeYear(int32_t year);
int32_t dayOfYear(int32_t year, int32_t month, int32_t day);
bool isLeapYear(int32_t year);

}  // namespace vorlan

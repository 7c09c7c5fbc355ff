#include "replication/timestamp.h"

#include <cstdio>

#include "platform/clock.h"

namespace vorlan {

namespace {

constexpr int64_t kSecondsPerDay = 86400;
// Days in 400 Gregorian years: the calendar repeats after them.
constexpr int64_t kDaysPerCycle = 146097;

int64_t daysBeforeYearWide(int64_t year) {
  const int64_t y = year - 1;
  return 365 * y + y / 4 - y / 100 + y / 400;
}

int32_t monthLength(int32_t year, int32_t month) {
  static constexpr int32_t kLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2 && isLeapYear(year)) return 29;
  return kLengths[month - 1];
}

int64_t floorDivide(int64_t value, int64_t divisor) {
  int64_t quotient = value / divisor;
  if (value % divisor != 0 && value < 0) --quotient;
  return quotient;
}

}  // namespace

bool isLeapYear(int32_t year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int32_t daysBeforeYear(int32_t year) { return static_cast<int32_t>(daysBeforeYearWide(year)); }

int32_t dayOfYear(int32_t year, int32_t month, int32_t day) {
  int64_t total = day;
  for (int32_t m = 1; m < month && m <= 12; ++m) total += monthLength(year, m);
  return static_cast<int32_t>(total);
}

CalendarDate daysToDate(int32_t dayNumber) {
  // Days before 0001-01-01 (only reachable for tiny values shown west of
  // UTC) are moved forward by whole 400-year cycles and the year moved back,
  // which keeps the proleptic calendar: day -1 is 0000-12-31.
  int64_t days = dayNumber;
  int64_t yearShift = 0;
  if (days < 0) {
    const int64_t cycles = (-days + kDaysPerCycle - 1) / kDaysPerCycle;
    days += cycles * kDaysPerCycle;
    yearShift = cycles * 400;
  }

  // Dividing by 366 never overestimates the year.
  int64_t year = days / 366;
  if (year < 1) year = 1;
  int64_t rest = days - daysBeforeYearWide(year);
  while (rest >= 366) {
    ++year;
    rest = days - daysBeforeYearWide(year);
  }

  const int32_t calendarYear = static_cast<int32_t>(year);
  int32_t remaining = static_cast<int32_t>(rest) + 1;
  int32_t month = 1;
  while (month < 12 && remaining > monthLength(calendarYear, month)) {
    remaining -= monthLength(calendarYear, month);
    ++month;
  }
  CalendarDate date{calendarYear, month, remaining};
  if (remaining > 31) {  // day 366 of a common year
    date = CalendarDate{calendarYear + 1, 1, 1};
  }
  date.year = static_cast<int32_t>(date.year - yearShift);
  return date;
}

int32_t localOffset() {
  const platform::TimeZoneState zone = platform::currentTimeZone();
  int64_t bias = 0;
  switch (zone.kind) {
    case platform::TimeZoneState::Daylight:
      bias = int64_t{zone.bias} + zone.daylightBias;
      break;
    case platform::TimeZoneState::Standard:
      bias = int64_t{zone.bias} + zone.standardBias;
      break;
    case platform::TimeZoneState::Unknown:
      bias = zone.bias;
      break;
    case platform::TimeZoneState::Failed:
      bias = 0;
      break;
  }
  int64_t offset = -bias * 60;
  // No real zone is near these limits; keep a corrupt answer in range.
  if (offset > INT32_MAX) offset = INT32_MAX;
  if (offset < INT32_MIN) offset = INT32_MIN;
  return static_cast<int32_t>(offset);
}

TimestampFields splitTimestamp(ReplicationTimestamp value) {
  TimestampFields fields;
  fields.fraction = static_cast<uint32_t>(value % kTimestampUnitsPerSecond);
  const int64_t local = static_cast<int64_t>(value / kTimestampUnitsPerSecond) + localOffset();

  // Floor division equals the truncating one for every moment from
  // 0001-01-01 on, and keeps the fields in range before it.
  const int64_t days = floorDivide(local, kSecondsPerDay);
  const int64_t secondOfDay = local - days * kSecondsPerDay;
  fields.hour = static_cast<int32_t>(secondOfDay / 3600);
  fields.minute = static_cast<int32_t>(secondOfDay / 60 % 60);
  fields.second = static_cast<int32_t>(secondOfDay % 60);

  const CalendarDate date = daysToDate(static_cast<int32_t>(days));
  fields.year = date.year;
  fields.month = date.month;
  fields.day = date.day;
  return fields;
}

ReplicationTimestamp composeTimestamp(const TimestampFields& fields) {
  const int64_t dayNumber = daysBeforeYearWide(fields.year) +
                            dayOfYear(fields.year, fields.month, fields.day) - 1;
  const int64_t utcSeconds = dayNumber * kSecondsPerDay + int64_t{fields.hour} * 3600 +
                             int64_t{fields.minute} * 60 + fields.second - localOffset();
  // Modulo 2^64, like all timestamp arithmetic.
  return static_cast<uint64_t>(utcSeconds) * kTimestampUnitsPerSecond + fields.fraction;
}

const char* formatTimestamp(ReplicationTimestamp value, char* text, size_t textSize) {
  if (text == nullptr || textSize == 0) return text;
  const TimestampFields f = splitTimestamp(value);
  std::snprintf(text, textSize, "%4.4d-%2.2u-%2.2u %2.2u:%2.2u:%2.2u.%7.7u", f.year,
                static_cast<unsigned>(f.month), static_cast<unsigned>(f.day),
                static_cast<unsigned>(f.hour), static_cast<unsigned>(f.minute),
                static_cast<unsigned>(f.second), static_cast<unsigned>(f.fraction));
  return text;
}

ReplicationTimestamp currentTimestamp() {
  const platform::CalendarFields now = platform::localFields(platform::nowSeconds());
  TimestampFields fields;
  fields.year = now.year;
  fields.month = now.month;
  fields.day = now.day;
  fields.hour = now.hour;
  fields.minute = now.minute;
  fields.second = now.second;
  fields.fraction = 0;
  return composeTimestamp(fields);
}

ReplicationTimestamp obituaryCutoffAt(ReplicationTimestamp now) {
  const ReplicationTimestamp whole = now / kTimestampUnitsPerSecond * kTimestampUnitsPerSecond;
  return whole - kObituaryRetentionUnits;
}

ReplicationTimestamp obituaryCutoff() { return obituaryCutoffAt(currentTimestamp()); }

}  // namespace vorlan

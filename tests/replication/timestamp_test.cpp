// Replication timestamps: calendar, local offset, text form, present moment,
// purge cutoff and the -PARSE command.
#include "replication/timestamp.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/clock.h"
#include "replication/parse_command.h"

namespace vorlan {
namespace {

// Sets TZ for one test and puts the previous setting back afterwards.
class TimestampTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* previous = std::getenv("TZ");
    hadZone_ = previous != nullptr;
    if (hadZone_) savedZone_ = previous;
  }
  void TearDown() override {
    if (hadZone_) {
      setenv("TZ", savedZone_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  static void useZone(const char* zone) { setenv("TZ", zone, 1); }

  static std::string text(ReplicationTimestamp value) {
    char buffer[kTimestampTextSize];
    return formatTimestamp(value, buffer, sizeof buffer);
  }

 private:
  bool hadZone_ = false;
  std::string savedZone_;
};

int32_t dayNumberOf(int32_t year, int32_t month, int32_t day) {
  return daysBeforeYear(year) + dayOfYear(year, month, day) - 1;
}

constexpr const char* kDaylightAllYear = "XXX0YYY,J1/0,J365/25";

TEST_F(TimestampTest, TimeZoneStateAndOffsetFollowTheZone) {
  using Kind = platform::TimeZoneState::Kind;
  struct Case {
    const char* zone;
    Kind kind;
    int32_t bias, standardBias, daylightBias, offset;
  } cases[] = {
      {"UTC0", Kind::Unknown, 0, 0, 0, 0},
      {"XXX-1", Kind::Unknown, -60, 0, 0, 3600},
      {"EST5", Kind::Unknown, 300, 0, 0, -18000},
      {"XXX-5:30", Kind::Unknown, -330, 0, 0, 19800},
      {"NST3:30", Kind::Unknown, 210, 0, 0, -12600},
      {kDaylightAllYear, Kind::Daylight, 0, 0, -60, 3600},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.zone);
    useZone(c.zone);
    const platform::TimeZoneState zone = platform::currentTimeZone();
    EXPECT_EQ(zone.kind, c.kind);
    EXPECT_EQ(zone.bias, c.bias);
    EXPECT_EQ(zone.standardBias, c.standardBias);
    EXPECT_EQ(zone.daylightBias, c.daylightBias);
    EXPECT_EQ(localOffset(), c.offset);
  }

  // A zone with both halves in its rule reports both, whichever is in force.
  useZone("CET-1CEST,M3.5.0,M10.5.0/3");
  const platform::TimeZoneState zone = platform::currentTimeZone();
  ASSERT_TRUE(zone.kind == Kind::Standard || zone.kind == Kind::Daylight);
  EXPECT_EQ(zone.bias, -60);
  EXPECT_EQ(zone.standardBias, 0);
  EXPECT_EQ(zone.daylightBias, -60);
  EXPECT_EQ(localOffset(), zone.kind == Kind::Daylight ? 7200 : 3600);
}

// The text of each value in its zone, and what -PARSE prints for it given in
// hexadecimal and in decimal.
TEST_F(TimestampTest, WorkedConversionsInTheirZones) {
  struct Case {
    const char* zone;
    const char* hex;
    const char* decimal;
    ReplicationTimestamp value;
    const char* text;
  } cases[] = {
      {"UTC0", "0x0000000000000000", "0", 0, "0001-01-01 00:00:00.0000000"},
      {"XXX-1", "0x0", "0", 0, "0001-01-01 01:00:00.0000000"},
      {"UTC0", "0x08C1220247E44000", "630822816000000000", 630822816000000000ULL,
       "2000-01-01 00:00:00.0000000"},
      {"XXX-1", "0x08C1220247E44000", "630822816000000000", 630822816000000000ULL,
       "2000-01-01 01:00:00.0000000"},
      {"UTC0", "0x08DC392CB1A10F87", "638448111301234567", 638448111301234567ULL,
       "2024-02-29 13:45:30.1234567"},
      {"EST5", "0x08DC392CB1A10F87", "638448111301234567", 638448111301234567ULL,
       "2024-02-29 08:45:30.1234567"},
      {"XXX-5:30", "0x08DC392CB1A10F87", "638448111301234567", 638448111301234567ULL,
       "2024-02-29 19:15:30.1234567"},
      {"NST3:30", "0x08DC392CB1A10F87", "638448111301234567", 638448111301234567ULL,
       "2024-02-29 10:15:30.1234567"},
      {"UTC0", "0x089F7FF5F7B58000", "621355968000000000", kTimestampUnixEpoch,
       "1970-01-01 00:00:00.0000000"},
      {"UTC0", "0x7FFFFFFFFFFFFFFF", "9223372036854775807", 0x7FFFFFFFFFFFFFFFULL,
       "29228-09-14 02:48:05.4775807"},
      {"UTC0", "0xFFFFFFFFFFFFFFFF", "-1", UINT64_MAX, "58456-05-28 05:36:10.9551615"},
      {"XXX-5:30", "0xFFFFFFFFFFFFFFFF", "-1", UINT64_MAX, "58456-05-28 11:06:10.9551615"},
      {"UTC0", "0X10", "16", 16, "0001-01-01 00:00:00.0000016"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.zone) + " " + c.hex);
    useZone(c.zone);
    EXPECT_EQ(text(c.value), c.text);
    EXPECT_EQ(composeTimestamp(splitTimestamp(c.value)), c.value);

    char hexDigits[17];
    std::snprintf(hexDigits, sizeof hexDigits, "%016llX",
                  static_cast<unsigned long long>(c.value));
    const std::string expected =
        std::string("Hex Value is ") + hexDigits + "\n[" + c.text + "]\n";
    for (const char* argument : {c.hex, c.decimal}) {
      testing::internal::CaptureStderr();
      const int32_t status = showTimestamp(argument);
      EXPECT_EQ(testing::internal::GetCapturedStderr(), expected) << argument;
      EXPECT_EQ(status, 0);
    }
  }
}

TEST(TimestampArgument, HexadecimalAndDecimalRules) {
  struct Case {
    const char* argument;
    ReplicationTimestamp value;
  } cases[] = {
      {"0X10", 16},
      {"0x10", 16},
      {"0xff", 255},
      {"0x1fZ9", 0x1F},
      {"0x1FFFFFFFFFFFFFFFF", UINT64_MAX},        // seventeen significant digits
      {"0x00000000000000000010", 16},            // long, but only two significant
      {"0x", 0},
      {"0xg1", 0},
      {" 0x10", 0},                              // blank first: decimal path
      {"x10", 0},
      {"-1", UINT64_MAX},
      {"\t -5", UINT64_MAX - 4},
      {"  +42abc", 42},
      {"12x", 12},
      {"9223372036854775807", 0x7FFFFFFFFFFFFFFFULL},
      {"9223372036854775808", 0x7FFFFFFFFFFFFFFFULL},
      {"184467440737095516150", 0x7FFFFFFFFFFFFFFFULL},
      {"-9223372036854775808", 0x8000000000000000ULL},
      {"-99999999999999999999", 0x8000000000000000ULL},
      {"", 0},
      {"abc", 0},
      {"-", 0},
      {"+ 5", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(parseTimestampArgument(c.argument), c.value) << '"' << c.argument << '"';
  }
  EXPECT_EQ(parseTimestampArgument(nullptr), 0u);
}

TEST(Calendar, LeapYearsAndKnownDates) {
  struct Leap {
    int32_t year;
    bool leap;
  } leaps[] = {{1, false}, {4, true}, {100, false}, {400, true}, {1900, false},
               {2000, true}, {2023, false}, {2024, true}, {2100, false}};
  for (const Leap& l : leaps) EXPECT_EQ(isLeapYear(l.year), l.leap) << l.year;

  EXPECT_EQ(daysBeforeYear(1), 0);
  EXPECT_EQ(daysBeforeYear(1970), 719162);  // the Unix epoch, in days
  EXPECT_EQ(dayOfYear(2023, 12, 31), 365);
  EXPECT_EQ(dayOfYear(2024, 12, 31), 366);
  EXPECT_EQ(dayOfYear(2024, 3, 1), 61);

  struct Step {
    int32_t year, month, day;  // this date plus one day ...
    CalendarDate next;         // ... is this one
  } steps[] = {
      {1900, 2, 28, {1900, 3, 1}}, {2000, 2, 28, {2000, 2, 29}},
      {2000, 2, 29, {2000, 3, 1}}, {2023, 12, 30, {2023, 12, 31}},
      {2023, 12, 31, {2024, 1, 1}}, {2024, 12, 30, {2024, 12, 31}},
      {2024, 12, 31, {2025, 1, 1}},
  };
  for (const Step& s : steps) {
    const CalendarDate d = daysToDate(dayNumberOf(s.year, s.month, s.day) + 1);
    EXPECT_EQ(d.year, s.next.year) << s.year << '-' << s.month << '-' << s.day;
    EXPECT_EQ(d.month, s.next.month) << s.year << '-' << s.month << '-' << s.day;
    EXPECT_EQ(d.day, s.next.day) << s.year << '-' << s.month << '-' << s.day;
  }

  const CalendarDate last = daysToDate(21350398);  // the day of 2^64 - 1
  EXPECT_EQ(last.year, 58456);
  EXPECT_EQ(last.month, 5);
  EXPECT_EQ(last.day, 28);
}

// Every day of the first three thousand years follows the one before it, and
// its date maps back to its day number.
TEST(Calendar, DayNumbersWalkTheCalendar) {
  CalendarDate previous = daysToDate(0);
  ASSERT_EQ(previous.year, 1);
  ASSERT_EQ(previous.month, 1);
  ASSERT_EQ(previous.day, 1);
  const int32_t end = daysBeforeYear(3001);
  for (int32_t n = 1; n <= end; ++n) {
    const CalendarDate d = daysToDate(n);
    const bool nextDay = d.year == previous.year && d.month == previous.month &&
                         d.day == previous.day + 1;
    const bool nextMonth = d.year == previous.year && d.month == previous.month + 1 &&
                           d.day == 1 && previous.day >= 28;
    const bool nextYear = d.year == previous.year + 1 && d.month == 1 && d.day == 1 &&
                          previous.month == 12 && previous.day == 31;
    ASSERT_TRUE(nextDay || nextMonth || nextYear)
        << "day " << n << ": " << d.year << '-' << d.month << '-' << d.day;
    ASSERT_EQ(dayNumberOf(d.year, d.month, d.day), n);
    previous = d;
  }
  EXPECT_EQ(previous.year, 3001);
}

TEST_F(TimestampTest, SplitAndComposeRoundTripOverTheRange) {
  for (const char* zone : {"UTC0", "XXX-5:30", "NST3:30", kDaylightAllYear}) {
    SCOPED_TRACE(zone);
    useZone(zone);
    // Start a day in, so that no local time falls before 0001-01-01.
    const uint64_t step = (UINT64_MAX - kTimestampUnitsPerDay) / 997;
    for (uint64_t i = 0; i <= 997; ++i) {
      const ReplicationTimestamp value = kTimestampUnitsPerDay + i * step - i * 7919;
      const TimestampFields f = splitTimestamp(value);
      ASSERT_GE(f.month, 1);
      ASSERT_LE(f.month, 12);
      ASSERT_GE(f.day, 1);
      ASSERT_LE(f.day, 31);
      ASSERT_LT(static_cast<uint32_t>(f.hour), 24u);
      ASSERT_LT(static_cast<uint32_t>(f.minute), 60u);
      ASSERT_LT(static_cast<uint32_t>(f.second), 60u);
      ASSERT_EQ(composeTimestamp(f), value) << value;
    }
  }
}

// Before 0001-01-01 in local time the fields stay in range (the day before
// is shown as 0000-12-31).
TEST_F(TimestampTest, LocalTimeBeforeTheFirstDayStaysInRange) {
  useZone("EST5");
  EXPECT_EQ(text(0), "0000-12-31 19:00:00.0000000");
  EXPECT_EQ(text(5 * 3600 * kTimestampUnitsPerSecond), "0001-01-01 00:00:00.0000000");
}

TEST_F(TimestampTest, CutoffIsThirtyDaysBeforeTheWholeSecond) {
  useZone("UTC0");
  TimestampFields now;
  now.year = 2024;
  now.month = 3;
  now.day = 31;
  now.hour = 12;
  const ReplicationTimestamp value = composeTimestamp(now);
  EXPECT_EQ(value, 638474832000000000ULL);
  EXPECT_EQ(obituaryCutoffAt(value), 638448912000000000ULL);
  EXPECT_EQ(obituaryCutoffAt(value + 9999999), 638448912000000000ULL);
  EXPECT_EQ(text(obituaryCutoffAt(value)), "2024-03-01 12:00:00.0000000");
  EXPECT_EQ(obituaryCutoffAt(0), 0 - kObituaryRetentionUnits);  // modulo 2^64

  // Local fields are made in the zone in force: the same moment written in
  // UTC-5 wall-clock time.
  useZone("EST5");
  now.hour = 7;
  EXPECT_EQ(composeTimestamp(now), value);
}

TEST_F(TimestampTest, CurrentTimestampIsNowInWholeSeconds) {
  for (const char* zone : {"UTC0", "XXX-5:30", "CET-1CEST,M3.5.0,M10.5.0/3", kDaylightAllYear}) {
    SCOPED_TRACE(zone);
    useZone(zone);
    const int64_t before = platform::nowSeconds();
    const ReplicationTimestamp now = currentTimestamp();
    const ReplicationTimestamp cutoff = obituaryCutoff();
    const int64_t after = platform::nowSeconds();

    ASSERT_EQ(now % kTimestampUnitsPerSecond, 0u);
    const int64_t seconds = static_cast<int64_t>((now - kTimestampUnixEpoch) / kTimestampUnitsPerSecond);
    EXPECT_GE(seconds, before);
    EXPECT_LE(seconds, after);
    EXPECT_GE(cutoff + kObituaryRetentionUnits, now);
    EXPECT_LE(cutoff + kObituaryRetentionUnits, kTimestampUnixEpoch + after * kTimestampUnitsPerSecond);

    // Shown at once, it is the local wall-clock time of that moment.
    const platform::CalendarFields local = platform::localFields(seconds);
    char expected[64];
    std::snprintf(expected, sizeof expected, "%04d-%02d-%02d %02d:%02d:%02d.0000000", local.year,
                  local.month, local.day, local.hour, local.minute, local.second);
    EXPECT_EQ(text(now), expected);
  }
}

// The offset in force now applies to every date: under a rule whose daylight
// time covers only the days around today, a timestamp half a year away is
// still shown with the daylight hour, though the zone's own rule puts it in
// standard time.
TEST_F(TimestampTest, OffsetInForceNowAppliesToEveryDate) {
  useZone(kDaylightAllYear);
  EXPECT_EQ(text(630822816000000000ULL), "2000-01-01 01:00:00.0000000");

  const time_t now = static_cast<time_t>(platform::nowSeconds());
  struct tm utc {};
  ASSERT_NE(gmtime_r(&now, &utc), nullptr);
  const int today = utc.tm_yday;  // 0-based, as the rule's "n" form counts
  char zone[64];
  std::snprintf(zone, sizeof zone, "XXX0YYY,%d/0,%d/72", today < 2 ? 0 : today - 2, today);
  SCOPED_TRACE(zone);
  useZone(zone);
  ASSERT_EQ(platform::currentTimeZone().kind, platform::TimeZoneState::Daylight);
  ASSERT_EQ(localOffset(), 3600);

  // 2001-01-15 or 2001-07-15, 00:00:00 UTC: whichever is far from today.
  const bool farIsJanuary = today >= 183;
  TimestampFields far;
  far.year = 2001;
  far.month = farIsJanuary ? 1 : 7;
  far.day = 15;
  far.hour = 1;  // local, one hour ahead of UTC
  const ReplicationTimestamp value = composeTimestamp(far);
  const int64_t farSeconds = static_cast<int64_t>((value - kTimestampUnixEpoch) / kTimestampUnitsPerSecond);
  EXPECT_EQ(platform::localFields(farSeconds).hour, 0);  // the rule's own time there
  EXPECT_EQ(text(value), farIsJanuary ? "2001-01-15 01:00:00.0000000" : "2001-07-15 01:00:00.0000000");
}

TEST_F(TimestampTest, FormatIsBoundedByTheBuffer) {
  useZone("UTC0");
  char small[8] = "xxxxxxx";
  EXPECT_STREQ(formatTimestamp(UINT64_MAX, small, sizeof small), "58456-0");
  char untouched[4] = "abc";
  formatTimestamp(0, untouched, 0);
  EXPECT_STREQ(untouched, "abc");
}

}  // namespace
}  // namespace vorlan

#include "shell/progress.h"

#include <gtest/gtest.h>

#include <string>
#include <unistd.h>

#include "support/capture.h"

namespace vorlan {
namespace {

const std::string kBack4 = "\b\b\b\b";

// The percentages shown while ticking 1..count on a meter of the total.
std::string ticks(uint64_t total, uint64_t count) {
  ProgressMeter meter;
  startProgress(meter, total);
  testing::OutputCapture capture;
  for (uint64_t i = 1; i <= count; ++i) progressTick(meter, i);
  return capture.err();
}

TEST(ProgressMeter, Intervals) {
  ProgressMeter m;
  startProgress(m, 1000);
  EXPECT_EQ(m.interval, 100u);
  EXPECT_EQ(m.countdown, 100u);
  startProgress(m, 100000);
  EXPECT_EQ(m.interval, 10000u);
  startProgress(m, 100001);
  EXPECT_EQ(m.interval, 1000u);
  startProgress(m, 9);
  EXPECT_EQ(m.interval, 0u);
}

TEST(ProgressMeter, ShowsTenthsOfAThousand) {
  std::string expected;
  for (int p = 10; p <= 100; p += 10) expected += (p < 100 ? "0" : "") + std::to_string(p) + "%" + kBack4;
  EXPECT_EQ(ticks(1000, 1000), expected);
}

TEST(ProgressMeter, FifteenRecordsShowEveryRecord) {
  std::string shown = ticks(15, 15);
  EXPECT_EQ(shown.substr(0, 3 * 8), "006%" + kBack4 + "013%" + kBack4 + "020%" + kBack4);
  EXPECT_EQ(shown.substr(shown.size() - 8), "100%" + kBack4);
  EXPECT_EQ(shown.size(), 15u * 8);
}

TEST(ProgressMeter, SmallTotalShowsNothing) { EXPECT_EQ(ticks(9, 50), ""); }

TEST(ProgressMeter, MillionShowsEveryWholePerCent) {
  std::string shown = ticks(1000000, 1000000);
  EXPECT_EQ(shown.size(), 100u * 8);
  EXPECT_EQ(shown.substr(0, 8), "001%" + kBack4);
}

TEST(ProgressMeter, PastHundredPerCentTakesMoreDigits) {
  std::string shown = ticks(10, 110);  // interval 1: records were added during the run
  EXPECT_NE(shown.find("1000%" + kBack4), std::string::npos);
  EXPECT_NE(shown.find("1100%" + kBack4), std::string::npos);
}

TEST(Spinner, CyclesAndContinuesAcrossPasses) {
  resetSpinnerForTesting();
  testing::OutputCapture capture;
  for (int i = 0; i < 6; ++i) spinnerStep();
  EXPECT_EQ(capture.err(), "-\b\\\b|\b/\b-\b\\\b");
  testing::OutputCapture second;
  spinnerStep();
  EXPECT_EQ(second.err(), "|\b");
}

TEST(UserRequestedStop, NoKeyWithoutATerminal) {
  // The tests run with standard input not a terminal (or redirected).
  if (isatty(0)) GTEST_SKIP() << "standard input is a terminal";
  EXPECT_FALSE(userRequestedStop());
}

}  // namespace
}  // namespace vorlan

#include "admin/partner_stats.h"

#include <gtest/gtest.h>

#include <string>

#include "support/capture.h"

namespace vorlan {
namespace {

// A file with system data, as both sides have it when they match.
StatsSnapshot healthy() {
  StatsSnapshot s;
  s.recordLength = 100;
  s.indexCount = 2;
  s.versionByte = 0xD0;
  s.recordCount = 7;
  s.hasSystemData = 1;
  s.systemDataLength = 8;
  s.systemDataVersion = 2;
  return s;
}

TEST(JudgePartnerFile, PrintsEachDifferenceInOrderAndCountsTheFileOnce) {
  StatsSnapshot missing;  // the partner did not open or its Stat failed
  StatsSnapshot older = healthy();
  older.versionByte = 0x95;
  StatsSnapshot fewer = healthy();
  fewer.recordCount = 4000000000u;
  StatsSnapshot noSystemData = healthy();
  noSystemData.hasSystemData = 0;
  noSystemData.systemDataLength = 0;
  noSystemData.systemDataVersion = 0;
  StatsSnapshot everything;
  everything.recordLength = 50;
  everything.indexCount = 1;
  everything.versionByte = 0x60;
  everything.recordCount = 3;

  struct Case {
    const char* what;
    StatsSnapshot primary, partner;
    int counted;
    std::string lines;
  } cases[] = {
      {"alike", healthy(), healthy(), 0, ""},
      {"missing at the partner", healthy(), missing, 1,
       "Error: F.MKD Does Not Exist On the Partner Site!\r\n"},
      {"missing wins over missing system data", noSystemData, missing, 1,
       "Error: F.MKD Does Not Exist On the Partner Site!\r\n"},
      {"older format", healthy(), older, 1, "Warning: F.MKD Version Mismatch.\r\n"},
      {"record count, primary first", healthy(), fewer, 1,
       "Warning: F.MKD Record Count Mismatch (7 <> 4000000000).\r\n"},
      {"no system data on either side", noSystemData, noSystemData, 1,
       "Error: F.MKD Missing System Data on BOTH Files.\r\n"},
      {"system data on one side only", healthy(), noSystemData, 1,
       "Error: F.MKD System Data Length Mismatch (8 <> 0).\r\n"
       "Error: F.MKD System Data Version Mismatch (2 <> 0).\r\n"
       "Error: F.MKD System Data Mismatch (1 <> 0).\r\n"},
      {"every difference, then the missing system data", noSystemData, everything, 1,
       "Warning: F.MKD Version Mismatch.\r\n"
       "Error: F.MKD Record Length Mismatch (100 <> 50).\r\n"
       "Error: F.MKD Index Count Mismatch (2 <> 1).\r\n"
       "Warning: F.MKD Record Count Mismatch (7 <> 3).\r\n"
       "Error: F.MKD Missing System Data on BOTH Files.\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testing::OutputCapture capture;
    int counted = judgePartnerFile("F.MKD", c.primary, c.partner);
    EXPECT_EQ(capture.out(), c.lines);
    EXPECT_EQ(capture.err(), "");
    EXPECT_EQ(counted, c.counted);
  }
}

}  // namespace
}  // namespace vorlan

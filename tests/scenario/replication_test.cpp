// The refresh commands, -UPDATE and -FORCE, on real embedded files: what is
// rewritten, what is stamped, what is left byte for byte, long records,
// failures and Escape.
#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "replication/timestamp.h"
#include "scenario/replication_helpers.h"
#include "support/terminal.h"

namespace vorlan::testing {
namespace {

const std::string kReminder =
    "\nBe sure to manually update the main data file to notify the VadUra Optimizer!\n";

std::string counts(uint64_t records, uint64_t scanned, uint64_t changed) {
  return "Processing " + std::to_string(records) + " records...\nScanned Record Count: " +
         std::to_string(scanned) + "\nChanged Record Count: " + std::to_string(changed) + "\n";
}

// -UPDATE rewrites every record: the data and the system data value stay,
// the update value of a mode-2 file is renewed. A record longer than the
// record buffer is left as it is, and the scan goes on after it.
TEST(Update, RewritesEveryRecordAndLeavesLongOnesWhole) {
  struct Case {
    const char* name;
    std::vector<size_t> lengths;
    std::string rules;  // "" for the embedded engine
    std::string longPosition;  // of the long record, as shown; "" for none
  } cases[] = {
      {"short records and one of exactly 64129 bytes", {10, 64129, 20}, "", ""},
      {"a long record, wide entry", {10, 150000, 20}, "", "0000000000000002"},
      {"a long record, standard entry", {10, 150000, 20}, "version=13.29,0.0,14.09", "00000002"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    std::string file = dir.file("DATA.MKD");
    createFile(file, 2);
    std::string input;
    for (size_t i = 0; i < c.lengths.size(); ++i) input += hexRecord(uint32_t(i + 1), c.lengths[i]);
    mustBtfile({"insert", file, "--hex"}, input);
    std::vector<DumpRecord> before = dumpOf(file);

    ProcessResult r = c.rules.empty() ? runVorlanProcess({"-UPDATE", file})
                                      : runVorlanProcess({"-UPDATE", file}, testEngine(c.rules));
    bool hasLong = !c.longPosition.empty();
    EXPECT_EQ(r.status, hasLong ? 2 : 0) << r.err;
    EXPECT_EQ(r.out, counts(3, 3, hasLong ? 2 : 3));
    EXPECT_EQ(r.err, hasLong ? "The record at position " + c.longPosition +
                                   " is longer than 64129 bytes and was not rewritten.\n"
                             : "");
    std::vector<DumpRecord> after = dumpOf(file);
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < after.size(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(after[i].hex, before[i].hex);
      EXPECT_EQ(after[i].sysData, before[i].sysData);
      bool rewritten = c.lengths[i] <= 64129;
      EXPECT_EQ(after[i].updateSysData != before[i].updateSysData, rewritten);
    }
  }
}

TEST(Update, EmptyFilesFilesWithoutSystemDataAndRefusedUpdates) {
  TempDir dir;
  std::string empty = dir.file("EMPTY.MKD"), plain = dir.file("PLAIN.MKD"), data = dir.file("DATA.MKD");
  createFile(empty, 2);
  createFile(plain, 0);
  mustBtfile({"insert", plain, "--hex"}, hexRecord(1, 8) + hexRecord(2, 9));
  createFile(data, 2);
  mustBtfile({"insert", data, "--hex"}, hexRecord(1, 8) + hexRecord(2, 9) + hexRecord(3, 10));
  const std::string warning = "WARNING: No system data defined on the Btrieve file!\nContinuing anyway...\n";
  struct Case {
    const char* name;
    std::string file, rules, out, err;
    int status;
    std::vector<bool> renewed;  // per record: its update value changed
  } cases[] = {
      {"empty", empty, "", counts(0, 0, 0), "", 0, {}},
      {"no system data", plain, "", counts(2, 2, 2), warning, 0, {false, false}},
      {"the second Update refused", data, "op=3,nth=2,status=84,skip", counts(3, 3, 2),
       "Btrieve Error 84: Operation=3, File=" + data + "\nError 84 occurred updating the record.\n", 2,
       {true, false, true}},
      {"the scan broken off", data, "op=24,nth=1,status=2", counts(3, 1, 1),
       "Btrieve Error 2: Operation=24, File=" + data + "\n", 2, {true, false, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<DumpRecord> before = dumpOf(c.file);
    ProcessResult r = c.rules.empty() ? runVorlanProcess({"-UPDATE", c.file})
                                      : runVorlanProcess({"-UPDATE", c.file}, testEngine(c.rules));
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
    std::vector<DumpRecord> after = dumpOf(c.file);
    ASSERT_EQ(after.size(), c.renewed.size());
    for (size_t i = 0; i < after.size(); ++i) {
      EXPECT_EQ(after[i].hex, before[i].hex);
      EXPECT_EQ(after[i].updateSysData != before[i].updateSysData, bool(c.renewed[i])) << i;
    }
  }
}

// 200 records: a percentage every 20 records, the spinner after records 100
// and 200, before the percentage.
TEST(Update, ProgressOnStandardError) {
  TempDir dir;
  std::string file = dir.file("DATA.MKD");
  createFile(file, 1);
  mustBtfile({"fill", file, "--records", "200", "--length", "8"});
  std::string expected;
  for (int record = 20; record <= 200; record += 20) {
    if (record == 100) expected += "-\b";
    if (record == 200) expected += "\\\b";
    char percent[16];
    snprintf(percent, sizeof percent, "%.3d%%\b\b\b\b", record / 2);
    expected += percent;
  }
  ProcessResult r = runVorlanProcess({"-UPDATE", file});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, counts(200, 200, 200));
  EXPECT_EQ(r.err, expected);
}

// Records of a PDC table in the states -FORCE meets: N is restamped, the
// others are rewritten as they are.
std::vector<PdcRow> forceRows() {
  const uint64_t old = timestampNow() - 40 * kUnitsPerDay;
  return {{1, 0x0800000000000001, 'N', old},
          {2, 0x0800000000000002, 'D', old},
          {3, 0x0800000000000003, 'N', old + kUnitsPerDay},
          {4, 0x0800000000000004, 'X', old},
          {5, 0x0800000000000005, 'N', old + 2 * kUnitsPerDay}};
}

std::string localText(uint64_t value) {
  char text[kTimestampTextSize];
  return formatTimestamp(value, text, sizeof text);
}

TEST(Force, StampsTheWaitingRecordsWithOneStamp) {
  for (bool detail : {false, true}) {
    SCOPED_TRACE(detail ? "/D" : "level 0");
    TempDir dir;
    std::string file = dir.file("PDC.MKD");
    createPdcTable(file, forceRows());
    std::vector<DumpRecord> before = dumpOf(file);
    const uint64_t from = timestampNow();
    ProcessResult r = detail ? runVorlanProcess({"-FORCE", file, "/D"}) : runVorlanProcess({"-FORCE", file});
    const uint64_t to = timestampNow();
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<DumpRecord> after = dumpOf(file);
    ASSERT_EQ(after.size(), before.size());
    uint64_t stamp = 0;
    for (size_t i = 0; i < after.size(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(after[i].sysData, before[i].sysData);
      if (stateOf(before[i]) != 'N') {
        EXPECT_EQ(after[i].hex, before[i].hex);
        continue;
      }
      // Only LastUpdated differs, and every N record has the same value.
      EXPECT_EQ(after[i].hex.substr(0, 64), before[i].hex.substr(0, 64));
      EXPECT_EQ(after[i].hex.substr(80), before[i].hex.substr(80));
      if (stamp == 0) stamp = lastUpdatedOf(after[i]);
      EXPECT_EQ(lastUpdatedOf(after[i]), stamp);
    }
    EXPECT_GE(stamp, from);
    EXPECT_LE(stamp, to);
    EXPECT_EQ(stamp % kUnitsPerSecond, 0u);
    if (detail) {
      setenv("TZ", "UTC0", 1);
      EXPECT_NE(r.err.find("Setting LastUpdated to " + localText(stamp) + "\n"), std::string::npos)
          << r.err;
      EXPECT_NE(r.out.find("Scanned Record Count: 5\nChanged Record Count: 5\n"), std::string::npos)
          << r.out;
    } else {
      EXPECT_EQ(r.out, counts(5, 5, 5));
      EXPECT_EQ(r.err, kReminder);
    }
  }
}

// A record too short to hold LastUpdated whole is rewritten as it is, even
// with an N at byte 30.
TEST(Force, ARecordTooShortForLastUpdatedIsNotStamped) {
  TempDir dir;
  std::string file = dir.file("SHORT.MKD");
  createFile(file, 1);
  auto waiting = [](uint32_t number, size_t length) {
    std::string hex = hexRecord(number, length);
    return hex.replace(60, 2, "4E");
  };
  mustBtfile({"insert", file, "--hex"}, waiting(1, 39) + waiting(2, 40));
  std::vector<DumpRecord> before = dumpOf(file);
  ProcessResult r = runVorlanProcess({"-FORCE", file});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, counts(2, 2, 2));
  std::vector<DumpRecord> after = dumpOf(file);
  ASSERT_EQ(after.size(), 2u);
  EXPECT_EQ(after[0].hex, before[0].hex);
  EXPECT_EQ(after[1].hex.substr(0, 64), before[1].hex.substr(0, 64));
  EXPECT_NE(after[1].hex, before[1].hex) << "a record of 40 bytes holds LastUpdated";
}

TEST(Force, EmptyTableStillGetsTheReminder) {
  TempDir dir;
  std::string file = dir.file("PDC.MKD");
  createPdcTable(file, {});
  ProcessResult r = runVorlanProcess({"-FORCE", file});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, counts(0, 0, 0));
  EXPECT_EQ(r.err, kReminder);
}

// Escape on a terminal: the key waits until the first test, after the first
// record's Update. The counts are not printed; the reminder is.
TEST(Force, EscapeStopsTheScanAndTheReminderFollows) {
  TempDir dir;
  std::string file = dir.file("PDC.MKD");
  std::vector<PdcRow> rows;
  const uint64_t old = timestampNow() - 40 * kUnitsPerDay;
  for (uint64_t n = 1; n <= 500; ++n) rows.push_back({n, 0x0800000000000000 + n, 'N', old});
  createPdcTable(file, rows);

  int master = -1;
  pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    setenv("VORLAN_ENGINE", "embedded", 1);
    execl(VORLAN_BIN, VORLAN_BIN, "-FORCE", file.c_str(), nullptr);
    _exit(127);
  }
  ASSERT_EQ(write(master, "\x1b", 1), 1);
  std::string seen = readTerminalUntil(master, "VadUra Optimizer!");
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  close(master);
  std::erase(seen, '\r');
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1) << seen;
  size_t stopped = seen.find("Vorlan Terminated by the User.\n");
  ASSERT_NE(stopped, std::string::npos) << seen;
  EXPECT_NE(seen.find(kReminder, stopped), std::string::npos) << seen;
  EXPECT_EQ(seen.find("Scanned Record Count"), std::string::npos) << seen;

  std::vector<DumpRecord> after = dumpOf(file);
  ASSERT_EQ(after.size(), 500u);
  EXPECT_NE(lastUpdatedOf(after[0]), old) << "the first record was rewritten before the test";
  for (size_t i = 1; i < after.size(); ++i) ASSERT_EQ(lastUpdatedOf(after[i]), old) << i;
}

}  // namespace
}  // namespace vorlan::testing

// The transfer commands beyond the round trips, on real embedded files:
// -SAVEONE, -LOAD_OLD, replacing records with /U, duplicate reports, Escape
// during a two-pass export, and the exit statuses of the plain failures.
#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "scenario/transfer_helpers.h"
#include "support/terminal.h"

namespace vorlan::testing {
namespace {

const std::string kNone = "0000000000000000";
const std::string kUsingUpdate = "Using UPDATE Option...\n";

// -SAVEONE on a mode-2 file of a short and a long record.
class SaveOne : public ::testing::Test {
 protected:
  void SetUp() override {
    file = dir.file("one.mkd");
    createFile(file, 2);
    mustBtfile({"insert", file, "--hex"}, hexRecord(1, 10) + hexRecord(2, 150000));
    records = dumpOf(file);
    ASSERT_EQ(records.size(), 2u);
  }

  TempDir dir;
  std::string file;
  std::vector<DumpRecord> records;
};

TEST_F(SaveOne, WritesTheRecordWithTheGivenValueAndNoUpdateField) {
  struct Case {
    size_t record;
    std::string argument;  // the value as typed
  } cases[] = {
      {0, records[0].sysData},
      {1, "0x" + records[1].sysData},
  };
  // Lower case digits give the same value.
  for (char& c : cases[1].argument) c = static_cast<char>(tolower(c));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.argument);
    ASSERT_NE(records[c.record].updateSysData, kNone);  // the file keeps update values
    std::string unf = dir.file("one.unf");
    ProcessResult r = runVorlanProcess({"-SAVEONE", file, unf, c.argument});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Exported 1 record.\n");
    EXPECT_EQ(r.err, "");
    std::vector<UnfEntry> entries = unfEntries(readFile(unf));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].sysData, records[c.record].sysData);
    EXPECT_EQ(entries[0].updateSysData, "");
    EXPECT_EQ(entries[0].data.size(), records[c.record].length);
    EXPECT_EQ(hexOf(entries[0].data), records[c.record].hex);
  }
}

TEST_F(SaveOne, AValueNotInTheFileWritesOnlyTheEndMarker) {
  std::string unf = dir.file("none.unf");
  ProcessResult r = runVorlanProcess({"-SAVEONE", file, unf, "1234"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Unable to find requested record.\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(readFile(unf), "\x1A");
}

TEST_F(SaveOne, AZeroOrUnreadableValueIsRefusedAfterTheUnfFileExists) {
  for (const char* value : {"0", "0x0", "xyz"}) {
    SCOPED_TRACE(value);
    std::string unf = dir.file(std::string("bad-") + value + ".unf");
    ProcessResult r = runVorlanProcess({"-SAVEONE", file, unf, value});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Unable to parse the System Data Value!\nExiting.\n");
    EXPECT_TRUE(std::filesystem::exists(unf));
  }
}

TEST(SaveOneWithoutSystemData, IsRefused) {
  TempDir dir;
  std::string file = dir.file("plain.mkd");
  createFile(file, 0);
  mustBtfile({"insert", file, "--hex"}, hexRecord(1, 8));
  ProcessResult r = runVorlanProcess({"-SAVEONE", file, dir.file("plain.unf"), "1234"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "ERROR: No system data defined on the Btrieve file!\nExiting.\n");
}

// -LOAD_OLD takes entries of up to 64,129 bytes and skips longer ones.
TEST(LoadOld, SkipsAnOversizedEntryAndLoadsOneOfTheLargestSize) {
  TempDir dir;
  std::string file = dir.file("old.mkd");
  createFile(file, 1);
  const std::string a = "08DC2A1B3C4D5E6F", b = "08DC2A1B3C4D6000";
  std::string largest = recordBytes(2, 64129);
  writeFile(dir.file("old.unf"), unfEntry(a, "", recordBytes(1, 64130)) +
                                     unfEntry(b, "", largest) + "\x1A");
  ProcessResult r = runVorlanProcess({"-LOAD_OLD", dir.file("old.unf"), file});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Inserted 1 records.\n");
  // The spinner turns again before the entry after the skipped one.
  EXPECT_EQ(r.err, "-\bSkipping Oversized Record of 64130 Bytes...\n\\\b");
  EXPECT_EQ(recordsOf(file), std::vector<std::string>{recordLine(b, kNone, largest)});
}

TEST(LoadOld, UpdateExistingRewritesTheRecordInPlace) {
  TempDir dir;
  std::string file = dir.file("old.mkd");
  createFile(file, 2);
  const std::string a = "08DC2A1B3C4D5E6F", u = "08DC2A1B3C4D5E70";
  writeFile(dir.file("first.unf"), unfEntry(a, u, recordBytes(1, 10)) + "\x1A");
  ASSERT_EQ(runVorlanProcess({"-LOAD", dir.file("first.unf"), file}).status, 0);
  std::vector<DumpRecord> before = dumpOf(file);
  ASSERT_EQ(before.size(), 1u);

  // Same key value, other bytes and length.
  std::string changed = recordBytes(1, 30);
  writeFile(dir.file("second.unf"), unfEntry(a, u, changed) + "\x1A");
  ProcessResult r = runVorlanProcess({"-LOAD_OLD", dir.file("second.unf"), file, "/U"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Inserted 0 records.\nUpdated 1 records.\n");
  EXPECT_EQ(r.err, kUsingUpdate + "-\b");
  std::vector<DumpRecord> after = dumpOf(file);
  ASSERT_EQ(after.size(), 1u);
  EXPECT_EQ(after[0].position, before[0].position);
  EXPECT_EQ(after[0].sysData, a);
  EXPECT_EQ(after[0].hex, hexOf(changed));
  // An update in place sends no system data: the engine refreshes key 124.
  EXPECT_NE(after[0].updateSysData, u);
}

// /U replaces records whose system data value the target already holds.
class Replace : public ::testing::Test {
 protected:
  void SetUp() override {
    target = dir.file("target.mkd");
    createFile(target, 2);
    writeFile(dir.file("old.unf"), unfEntry(a, ua, recordBytes(1, 10)) +
                                       unfEntry(b, ub, recordBytes(2, 150000)) + "\x1A");
    ProcessResult r = runVorlanProcess({"-LOAD", dir.file("old.unf"), target});
    ASSERT_EQ(r.out, "Read 2 valid records.\nInserted 2 records.\n") << r.err;
    // The long record becomes shorter, the short one longer; C is new.
    writeFile(dir.file("new.unf"), unfEntry(a, ua2, recordBytes(1, 12)) +
                                       unfEntry(b, ub2, recordBytes(2, 70000)) +
                                       unfEntry(c, uc, recordBytes(3, 20)) + "\x1A");
  }

  std::vector<std::string> expected() const {
    return sorted({recordLine(a, ua2, recordBytes(1, 12)), recordLine(b, ub2, recordBytes(2, 70000)),
                   recordLine(c, uc, recordBytes(3, 20))});
  }

  const std::string a = "08DC2A1B3C4D5E6F", ua = "08DC2A1B3C4D5E70", ua2 = "08DC2A1B3C4D5F00";
  const std::string b = "08DC2A1B3C4D6000", ub = "08DC2A1B3C4D6001", ub2 = "08DC2A1B3C4D6100";
  const std::string c = "08DC2A1B3C4D7000", uc = "08DC2A1B3C4D7001";
  TempDir dir;
  std::string target;
};

TEST_F(Replace, LoadWithUpdateExistingReplacesTheRecords) {
  ProcessResult r = runVorlanProcess({"-LOAD", dir.file("new.unf"), target, "/U"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Read 3 valid records.\nInserted 1 records.\nUpdated 2 records.\n");
  EXPECT_EQ(r.err, kUsingUpdate + "-\b");
  EXPECT_EQ(sorted(recordsOf(target)), expected());
}

TEST_F(Replace, CopyWithUpdateExistingReplacesTheRecords) {
  std::string source = dir.file("source.mkd");
  createFile(source, 2);
  ASSERT_EQ(runVorlanProcess({"-LOAD", dir.file("new.unf"), source}).status, 0);
  ASSERT_EQ(sorted(recordsOf(source)), expected());
  ProcessResult r = runVorlanProcess({"-COPY", source, target, "/U"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Processing 3 records...\nRead 3 records.\nInserted 3 records.\nUpdated 2 records.\n");
  EXPECT_EQ(r.err, kUsingUpdate);
  EXPECT_EQ(sorted(recordsOf(target)), expected());
}

// Two records that collide on the unique key 1 (bytes 5 to 8).
std::string colliding(char number, size_t length) {
  std::string record = std::string(1, number) + std::string("\0\0\0WXYZ", 7);
  for (size_t i = record.size(); i < length; ++i) record += static_cast<char>('a' + i % 26);
  return record;
}

const std::vector<std::string> kCollidingKeys = {"1:4:unsigned:d", "5:4:unsigned"};

TEST(Duplicates, LoadReportsTheKeyAndTheFirst24Bytes) {
  struct Case {
    const char* name;
    const char* command;
    const char* rules;  // "" for the embedded engine
    const char* report;
    const char* out;
  } cases[] = {
      {"load", "-LOAD", "", "Duplicate Record 2 found on Key 1. First 24 bytes of record:\n",
       "Read 2 valid records.\nInserted 1 records.\n"},
      {"loadOld", "-LOAD_OLD", "", "Duplicate Record 2 found on Key 1. First 24 bytes of record:\n",
       "Inserted 1 records.\n"},
      {"queryFails", "-LOAD", "op=65,status=1,skip", "Duplicate Record 2 found. First 24 bytes:\n",
       "Read 2 valid records.\nInserted 1 records.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    std::string file = dir.file("dup.mkd");
    createFile(file, 1, kCollidingKeys, 8);
    std::string second = colliding(2, 10);  // shorter than 24: zeros follow
    // The empty entry is skipped and not numbered.
    writeFile(dir.file("dup.unf"), unfEntry("", "", "") +
                                       unfEntry("08DC2A1B3C4D5E6F", "", colliding(1, 10)) +
                                       unfEntry("08DC2A1B3C4D6000", "", second) + "\x1A");
    ProcessOptions options = *c.rules ? testEngine(c.rules) : ProcessOptions{};
    ProcessResult r = runVorlanProcess({c.command, dir.file("dup.unf"), file}, options);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, c.out);
    std::string queryLine = *c.rules ? "Btrieve Error 1: Operation=65, File=" + file + "\n" : "";
    EXPECT_EQ(r.err, "-\bSkipping 0-byte record.\n\\\b" + queryLine + c.report + first24(second) +
                         "Status 5 Returned.\n");
    EXPECT_EQ(recordsOf(file).size(), 1u);
  }
}

TEST(Duplicates, CopyReportsTheKeyAndTheFirst24Bytes) {
  for (bool queryFails : {false, true}) {
    SCOPED_TRACE(queryFails ? "query fails" : "query answers");
    TempDir dir;
    std::string source = dir.file("source.mkd"), target = dir.file("target.mkd");
    createFile(source, 1);
    std::string second = colliding(2, 30);
    mustBtfile({"insert", source, "--hex"}, hexOf(colliding(1, 30)) + "\n" + hexOf(second) + "\n");
    createFile(target, 1, kCollidingKeys, 8);
    ProcessOptions options = queryFails ? testEngine("op=65,status=1,skip") : ProcessOptions{};
    ProcessResult r = runVorlanProcess({"-COPY", source, target}, options);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Processing 2 records...\nRead 2 records.\nInserted 1 records.\n");
    std::string report = queryFails ? "Btrieve Error 1: Operation=65, File=" + target +
                                          "\nDuplicate Record 2 found. First 24 bytes:\n"
                                    : "Duplicate Record 2 found on Key 1. First 24 bytes of record:\n";
    EXPECT_EQ(r.err, report + first24(second) + "Status 5 Returned on INSERT operation.\n");
    EXPECT_EQ(recordsOf(target).size(), 1u);
  }
}

std::string withoutCarriageReturns(std::string text) {
  std::erase(text, '\r');
  return text;
}

TEST(EscapeDuringExport, BothPassesRunAndTheBackwardEntriesFollow) {
  TempDir dir;
  std::string file = dir.file("many.mkd"), unf = dir.file("many.unf");
  createFile(file, 1);
  const int records = 2000;
  mustBtfile({"fill", file, "--records", std::to_string(records), "--length", "8"});

  int master = -1;
  pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    setenv("VORLAN_ENGINE", "embedded", 1);
    execl(VORLAN_BIN, VORLAN_BIN, "-SAVE", file.c_str(), unf.c_str(), "0", "/I", "/J", nullptr);
    _exit(127);
  }
  // The key press waits in the terminal until the forward pass polls for it,
  // which it does after its first record.
  ASSERT_EQ(write(master, "\x1b", 1), 1);
  std::string seen = withoutCarriageReturns(readTerminalUntil(master, "Processed "));
  seen = withoutCarriageReturns(readTerminalUntil(master, "records.\n", seen));
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  close(master);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << seen;

  std::string forward = "Processing 2000 records...\n";
  std::string stopped = "Vorlan Terminated by the User.\n";
  std::string backward = "Processing 2000 records in reverse...\n";
  size_t f = seen.find(forward), s = seen.find(stopped), b = seen.find(backward);
  ASSERT_NE(f, std::string::npos) << seen;
  ASSERT_NE(s, std::string::npos) << seen;
  ASSERT_NE(b, std::string::npos) << seen;
  EXPECT_LT(f, s);
  EXPECT_LT(s, b);
  EXPECT_NE(seen.find("Processed 2000 records.\n", b), std::string::npos) << seen;
  EXPECT_EQ(seen.find("Processed ", 0), seen.find("Processed 2000 records.\n", b)) << seen;

  // The forward pass's entries in key order, then all records backward.
  std::vector<UnfEntry> entries = unfEntries(readFile(unf));
  ASSERT_GT(entries.size(), size_t(records));
  size_t forwardCount = entries.size() - records;
  EXPECT_EQ(forwardCount, 1u) << "the waiting key stops the pass after its first record";
  auto number = [](const UnfEntry& e) {
    return static_cast<unsigned char>(e.data[0]) | static_cast<unsigned char>(e.data[1]) << 8;
  };
  for (size_t i = 0; i < forwardCount; ++i) EXPECT_EQ(number(entries[i]), int(i + 1));
  for (size_t i = 0; i < size_t(records); ++i)
    ASSERT_EQ(number(entries[forwardCount + i]), records - int(i)) << "backward entry " << i;
}

TEST(ExitStatus, FailuresAndEmptyExports) {
  TempDir dir;
  std::string file = dir.file("f.mkd"), empty = dir.file("empty.mkd");
  createFile(file, 1);
  mustBtfile({"insert", file, "--hex"}, hexRecord(1, 8) + hexRecord(2, 8));
  createFile(empty, 1);
  std::string unf = dir.file("out.unf"), missing = dir.file("missing.unf");
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    std::string out, err;
    int status;
    bool onlyEndMarker;
  } cases[] = {
      {"loadMissing", {"-LOAD", missing, file}, "", "\nUnable to open UNF File <" + missing + ">.\n", 1,
       false},
      {"keyNotInFile", {"-SAVE", file, unf, "5"}, "Processing 2 records...\nProcessed 0 records.\n",
       "\nKey Number 5 Not Found.\n", 0, true},
      {"emptySave", {"-SAVE", empty, unf, "0"}, "Processing 0 records...\nProcessed 0 records.\n", "", 0,
       true},
      {"emptyRecover", {"-RECOVER", empty, unf}, "Processing 0 records...\nProcessed 0 records.\n", "", 0,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(unf);
    ProcessResult r = runVorlanProcess(c.arguments);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
    if (c.onlyEndMarker) {
      EXPECT_EQ(readFile(unf), "\x1A");
    }
  }
  EXPECT_FALSE(std::filesystem::exists(missing));
}

}  // namespace
}  // namespace vorlan::testing

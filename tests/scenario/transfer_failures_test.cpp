// The transfer commands when something fails: engine answers changed by the
// fault-injecting engine while a record is read whole, a UNF file that
// cannot be written, a /U replacement whose insert fails, and UNF files that
// end inside an entry.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "scenario/transfer_helpers.h"

namespace vorlan::testing {
namespace {

const std::string kOldEngine = "version=13.29,0.0,14.09";

std::vector<std::string> sortedHexData(const std::vector<UnfEntry>& entries) {
  std::vector<std::string> hex;
  for (const UnfEntry& e : entries) hex.push_back(hexOf(e.data));
  return sorted(hex);
}

std::vector<std::string> sortedHexData(const std::vector<DumpRecord>& records) {
  std::vector<std::string> hex;
  for (const DumpRecord& r : records) hex.push_back(r.hex);
  return sorted(hex);
}

// -SAVE of a mode-2 file of three records in key order, the second one
// longer than two chunks, with one engine answer changed.
class WholeRecordFailure : public ::testing::Test {
 protected:
  void SetUp() override {
    file = dir.file("src.mkd");
    createFile(file, 2);
    mustBtfile({"insert", file, "--hex"}, hexRecord(1, 10) + hexRecord(2, 150000) + hexRecord(3, 10));
    std::vector<DumpRecord> records = dumpOf(file);
    ASSERT_EQ(records.size(), 3u);
    for (const DumpRecord& r : records)
      whole.push_back({r.sysData, r.updateSysData, recordBytes(static_cast<uint32_t>(whole.size() + 1), r.length)});
    longPosition = records[1].position;
  }

  TempDir dir;
  std::string file;
  std::vector<UnfEntry> whole;  // the entries of a healthy export
  std::string longPosition;     // of the long record, 16 digits
};

TEST_F(WholeRecordFailure, EachFailingStepIsReportedAndTheUnfFileStaysReadable) {
  auto withoutValues = [](UnfEntry e) {
    e.sysData = e.updateSysData = "";
    return e;
  };
  auto firstChunkOnly = [](UnfEntry e) {
    e.data.resize(64129);
    return e;
  };
  struct Case {
    const char* name;
    std::string rules;
    std::string err;
    int status;
    std::function<std::vector<UnfEntry>(std::vector<UnfEntry>)> expected;
  } cases[] = {
      {"position", "op=22,nth=1,status=8", "Error 8 occurred reading the record position.\n", 0,
       [&](std::vector<UnfEntry> e) {
         e[0] = withoutValues(e[0]);
         return e;
       }},
      // Without a position the long record's chunks cannot be asked for.
      {"positionOfLong", "op=22,nth=2,status=8",
       "Error 8 occurred reading the record position.\n"
       "Record 2 of the export (position unknown) was exported incomplete.\n",
       2,
       [&](std::vector<UnfEntry> e) {
         e[1] = firstChunkOnly(withoutValues(e[1]));
         return e;
       }},
      {"systemData", "op=23,key=125,nth=2,status=8",
       "Error 8 occurred reading the system data value.\n", 0,
       [&](std::vector<UnfEntry> e) {
         e[1] = withoutValues(e[1]);
         return e;
       }},
      {"refetch", "op=23,key=0,nth=1,status=8", "Error 8 occurred reading the original record.\n", 0,
       [](std::vector<UnfEntry> e) {
         e.erase(e.begin());
         return e;
       }},
      {"chunk", "op=23,key=-2,nth=1,status=8",
       "Error 8 occurred reading the next chunk at offset 64129.\n"
       "The record at position " + longPosition + " was exported incomplete.\n",
       2,
       [&](std::vector<UnfEntry> e) {
         e[1] = firstChunkOnly(e[1]);
         return e;
       }},
      // A short buffer still carries the chunk's bytes: the record goes on.
      {"chunkShortBuffer", "op=23,key=-2,nth=1,status=22",
       "Error 22 occurred reading the next chunk at offset 64129.\n", 0,
       [](std::vector<UnfEntry> e) { return e; }},
      {"secondChunk", "op=23,key=-2,nth=2,status=8",
       "Error 8 occurred reading the next chunk at offset 128258.\n"
       "The record at position " + longPosition + " was exported incomplete.\n",
       2,
       [&](std::vector<UnfEntry> e) {
         e[1].data.resize(128258);
         return e;
       }},
      // The standard entry: callEngine reports the status too, positions are
      // 4 bytes wide.
      {"chunkStandard", kOldEngine + ";op=23,key=-2,nth=1,status=8",
       "Btrieve Error 8: Operation=23, File=" + file +
           "\nError 8 occurred reading the next chunk at offset 64129.\n"
           "The record at position " + longPosition.substr(8) + " was exported incomplete.\n",
       2,
       [&](std::vector<UnfEntry> e) {
         e[1] = firstChunkOnly(e[1]);
         return e;
       }},
      {"positionStandard", kOldEngine + ";op=22,nth=1,status=8",
       "Btrieve Error 8: Operation=22, File=" + file +
           "\nError 8 occurred reading the record position.\n",
       0,
       [&](std::vector<UnfEntry> e) {
         e[0] = withoutValues(e[0]);
         return e;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string unf = dir.file(std::string(c.name) + ".unf");
    ProcessResult r = runVorlanProcess({"-SAVE", file, unf, "0"}, testEngine(c.rules));
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, "Processing 3 records...\nProcessed 3 records.\n");
    EXPECT_EQ(r.err, c.err);
    std::vector<UnfEntry> entries = unfEntries(readFile(unf));
    std::vector<UnfEntry> expected = c.expected(whole);
    ASSERT_EQ(entries.size(), expected.size());
    for (size_t i = 0; i < entries.size(); ++i) {
      SCOPED_TRACE("entry " + std::to_string(i));
      EXPECT_EQ(entries[i].sysData, expected[i].sysData);
      EXPECT_EQ(entries[i].updateSysData, expected[i].updateSysData);
      EXPECT_EQ(entries[i].data.size(), expected[i].data.size());
      EXPECT_TRUE(entries[i].data == expected[i].data);
    }
    // Every entry loads back, the shortened one as it was written.
    std::string target = dir.file(std::string(c.name) + ".mkd");
    createFile(target, 2);
    ProcessResult loaded = runVorlanProcess({"-LOAD", unf, target});
    EXPECT_EQ(loaded.status, 0) << loaded.err;
    std::string n = std::to_string(expected.size());
    EXPECT_EQ(loaded.out, "Read " + n + " valid records.\nInserted " + n + " records.\n");
    EXPECT_EQ(sortedHexData(dumpOf(target)), sortedHexData(expected));
  }
}

// Through the standard entry the chunk read past the end of a record of
// exactly two chunks answers 103, which callEngine reports; the record is
// exported whole. -COPY probes every record that way.
TEST(StandardEntry, TheEndOfARecordOfTwoWholeChunksIsReportedAsAnEngineError) {
  TempDir dir;
  std::string file = dir.file("two.mkd"), unf = dir.file("two.unf"), copy = dir.file("copy.mkd");
  createFile(file, 1);
  mustBtfile({"insert", file, "--hex"}, hexRecord(1, 128258) + hexRecord(2, 10));
  std::vector<DumpRecord> records = dumpOf(file);
  ASSERT_EQ(records.size(), 2u);
  std::string report = "Btrieve Error 103: Operation=23, File=" + file + "\n";

  ProcessResult r = runVorlanProcess({"-SAVE", file, unf, "0"}, testEngine(kOldEngine));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Processing 2 records...\nProcessed 2 records.\n");
  EXPECT_EQ(r.err, report);
  std::vector<UnfEntry> entries = unfEntries(readFile(unf));
  ASSERT_EQ(entries.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(entries[i].sysData, records[i].sysData);
    EXPECT_EQ(entries[i].updateSysData, "");
    EXPECT_EQ(hexOf(entries[i].data), records[i].hex);
  }

  createFile(copy, 1);
  r = runVorlanProcess({"-COPY", file, copy}, testEngine(kOldEngine));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Processing 2 records...\nRead 2 records.\nInserted 2 records.\n");
  EXPECT_EQ(r.err, report + report);
  EXPECT_EQ(sorted(recordsOf(copy)), sorted(recordsOf(file)));
}

// A UNF file on a full device: the first failing write ends the export.
TEST(FullDevice, TheExportEndsWithAnErrorAndANonzeroStatus) {
  TempDir dir;
  std::string small = dir.file("small.mkd"), large = dir.file("large.mkd");
  createFile(small, 1);
  mustBtfile({"insert", small, "--hex"}, hexRecord(1, 10));
  createFile(large, 1);
  mustBtfile({"insert", large, "--hex"}, hexRecord(1, 150000) + hexRecord(2, 10));
  std::string sysData = dumpOf(small)[0].sysData;
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    const char* out;
  } cases[] = {
      // More than the writer holds back: the failure comes during the pass.
      {"large", {"-SAVE", large, "/dev/full", "0"}, "Processing 2 records...\n"},
      // Held back by the buffer, but written out before the pass reports.
      {"small", {"-SAVE", small, "/dev/full", "0"}, "Processing 1 records...\n"},
      {"saveOne", {"-SAVEONE", small, "/dev/full", sysData}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ProcessResult r = runVorlanProcess(c.arguments);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, "\nError writing UNF File </dev/full>: No space left on device.\n");
  }
}

// A /U replacement whose insert fails puts the removed record back.
TEST(FailedReplacement, TheRemovedRecordIsPutBackAndNotCounted) {
  const std::string a = "08DC2A1B3C4D5E6F", ua = "08DC2A1B3C4D5E70", ua2 = "08DC2A1B3C4D5F00";
  const std::string b = "08DC2A1B3C4D6000", ub = "08DC2A1B3C4D6001", ub2 = "08DC2A1B3C4D6100";
  struct Case {
    const char* name;
    const char* command;
    const char* rules;
    std::string failure;  // after callEngine's line
    const char* out;
  } cases[] = {
      {"loadInsert", "-LOAD", "op=52,nth=1,status=2,skip", "Status 2 Returned.\n",
       "Read 2 valid records.\nInserted 0 records.\nUpdated 1 records.\n"},
      {"loadChunk", "-LOAD", "op=53,nth=1,status=2,skip", "Status 2 when inserting chunk.\n",
       "Read 2 valid records.\nInserted 0 records.\nUpdated 1 records.\n"},
      {"copyInsert", "-COPY", "op=52,nth=1,status=2,skip", "Status 2 Returned on INSERT operation.\n",
       "Processing 2 records...\nRead 2 records.\nInserted 1 records.\nUpdated 1 records.\n"},
      {"copyChunk", "-COPY", "op=53,nth=1,status=2,skip", "Status 2 when writing chunk.\n",
       "Processing 2 records...\nRead 2 records.\nInserted 1 records.\nUpdated 1 records.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    std::string target = dir.file("target.mkd");
    createFile(target, 2);
    writeFile(dir.file("old.unf"), unfEntry(a, ua, recordBytes(1, 10)) +
                                       unfEntry(b, ub, recordBytes(2, 150000)) + "\x1A");
    ASSERT_EQ(runVorlanProcess({"-LOAD", dir.file("old.unf"), target}).status, 0);
    std::vector<std::string> before = sorted(recordsOf(target));
    // The long record's replacement comes first and fails.
    writeFile(dir.file("new.unf"), unfEntry(b, ub2, recordBytes(2, 70000)) +
                                       unfEntry(a, ua2, recordBytes(1, 12)) + "\x1A");
    std::string from = dir.file("new.unf");
    std::string prefix = "Using UPDATE Option...\n-\b";
    if (std::string(c.command) == "-COPY") {
      from = dir.file("source.mkd");
      createFile(from, 2);
      ASSERT_EQ(runVorlanProcess({"-LOAD", dir.file("new.unf"), from}).status, 0);
      prefix = "Using UPDATE Option...\n";
    }
    ProcessResult r = runVorlanProcess({c.command, from, target, "/U"}, testEngine(c.rules));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, c.out);
    std::string operation = std::string(c.rules).substr(3, 2);
    EXPECT_EQ(r.err, prefix + "Btrieve Error 2: Operation=" + operation + ", File=" + target + "\n" +
                         c.failure + "The record with system data value " + b +
                         " was put back as it was.\n");
    EXPECT_EQ(sorted(recordsOf(target)),
              sorted({before[0].find(b) == 0 ? before[0] : before[1],
                      recordLine(a, ua2, recordBytes(1, 12))}));
  }
}

// The engine itself refuses the replacement: its key value belongs to
// another record.
TEST(FailedReplacement, ADuplicateKeyPutsTheRecordBack) {
  TempDir dir;
  std::string target = dir.file("target.mkd");
  createFile(target, 2);
  const std::string a = "08DC2A1B3C4D5E6F", ua = "08DC2A1B3C4D5E70", b = "08DC2A1B3C4D6000";
  writeFile(dir.file("old.unf"), unfEntry(a, ua, recordBytes(1, 10)) +
                                     unfEntry(b, b, recordBytes(2, 10)) + "\x1A");
  ASSERT_EQ(runVorlanProcess({"-LOAD", dir.file("old.unf"), target}).status, 0);
  std::vector<std::string> before = sorted(recordsOf(target));
  std::string clash = recordBytes(2, 12);  // A's value, B's key
  writeFile(dir.file("new.unf"), unfEntry(a, "08DC2A1B3C4D5F00", clash) + "\x1A");
  ProcessResult r = runVorlanProcess({"-LOAD", dir.file("new.unf"), target, "/U"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Read 1 valid records.\nInserted 0 records.\n");
  EXPECT_EQ(r.err, "Using UPDATE Option...\n-\bDuplicate Record 1 found on Key 0. First 24 bytes of record:\n" +
                       first24(clash) + "Status 5 Returned.\nThe record with system data value " + a +
                       " was put back as it was.\n");
  EXPECT_EQ(sorted(recordsOf(target)), before);
}

// The record found for replacement cannot be read whole: it stays, and the
// entry with the same system data value is refused.
TEST(FailedReplacement, ALongRecordThatCannotBeReadWholeIsKept) {
  TempDir dir;
  std::string target = dir.file("target.mkd");
  createFile(target, 2);
  const std::string b = "08DC2A1B3C4D6000", ub = "08DC2A1B3C4D6001";
  writeFile(dir.file("old.unf"), unfEntry(b, ub, recordBytes(2, 150000)) + "\x1A");
  ASSERT_EQ(runVorlanProcess({"-LOAD", dir.file("old.unf"), target}).status, 0);
  std::vector<std::string> before = recordsOf(target);
  std::string other = recordBytes(3, 12);
  writeFile(dir.file("new.unf"), unfEntry(b, "", other) + "\x1A");
  ProcessResult r = runVorlanProcess({"-LOAD", dir.file("new.unf"), target, "/U"},
                                     testEngine("op=23,key=-2,nth=1,status=8"));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Read 1 valid records.\nInserted 0 records.\n");
  EXPECT_EQ(r.err, "Using UPDATE Option...\n-\bThe record with system data value " + b +
                       " could not be read whole; it is kept.\n"
                       "Duplicate Record 1 found on Key 125. First 24 bytes of record:\n" +
                       first24(other) + "Status 146 Returned.\n");
  EXPECT_EQ(recordsOf(target), before);
}

// A UNF file that ends inside an entry: what comes before is loaded, the
// entry is not, and the run ends with status 2.
TEST(TruncatedUnf, EntriesBeforeAreLoadedAndTheRunFails) {
  const std::string a = "08DC2A1B3C4D5E6F", b = "08DC2A1B3C4D6000", c = "08DC2A1B3C4D7000";
  const std::string first = unfEntry(a, "", recordBytes(1, 10)) + unfEntry(b, "", recordBytes(2, 10));
  const std::string last = unfEntry(c, "", recordBytes(3, 40));
  auto offset = [](size_t at) {
    char text[32];
    snprintf(text, sizeof text, "00000000 %.8zx", at);
    return std::string(text);
  };
  const std::string huge = "S" + c + ",2000000000,abc";
  const std::string tooLong = "S" + c + ",9999999999,abc\r\n";
  struct Case {
    const char* name;
    std::string unf;
    std::string message;
  } cases[] = {
      {"cutInData", first + last.substr(0, last.size() - 2 - 3),
       "Truncated entry at offset " + offset(first.size()) + ": 37 of 40 data bytes present.\r\n"},
      {"hugeLength", first + huge,
       "Truncated entry at offset " + offset(first.size()) + ": 3 of 2000000000 data bytes present.\r\n"},
      {"cutInFields", first + last.substr(0, 10),
       "Truncated entry at offset " + offset(first.size()) + ": the file ends inside its fields.\r\n"},
      {"lengthBeyond32Bits", first + tooLong,
       "Incorrect data format <9999999999> at offset " + offset(first.size() + 18 + 11) + "!\r\n"},
  };
  for (const Case& k : cases) {
    for (const char* command : {"-LOAD", "-LOAD_OLD"}) {
      SCOPED_TRACE(std::string(k.name) + " " + command);
      TempDir dir;
      std::string target = dir.file("t.mkd");
      createFile(target, 1);
      writeFile(dir.file("t.unf"), k.unf);
      ProcessResult r = runVorlanProcess({command, dir.file("t.unf"), target});
      EXPECT_EQ(r.status, 2);
      EXPECT_EQ(r.out, std::string(command) == "-LOAD" ? "Read 2 valid records.\nInserted 2 records.\n"
                                                       : "Inserted 2 records.\n");
      EXPECT_EQ(r.err, "-\b" + k.message);
      EXPECT_EQ(sorted(recordsOf(target)),
                sorted({recordLine(a, "0000000000000000", recordBytes(1, 10)),
                        recordLine(b, "0000000000000000", recordBytes(2, 10))}));
    }
  }
}

}  // namespace
}  // namespace vorlan::testing

// The UNF file handle and writer: entry bytes, the length rewrite of long
// records, write failures, closing an unfinished entry, and round trips
// through both readers.
#include "transfer/unf_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/capture.h"
#include "transfer/unf_test_support.h"

namespace vorlan {
namespace {

using testing::fileBytes;
using testing::OutputCapture;
using testing::patternBytes;
using testing::ReadEntry;
using testing::readEntries;
using testing::ReadLog;
using testing::TempFolder;
using testing::VerbosityGuard;
using testing::writeRecord;

constexpr uint64_t kSys = 0x08DC2A1B3C4D5E6FULL;
constexpr uint64_t kUpdate = 0x08DC2A1B3C4D5E70ULL;

struct Record {
  std::string bytes;
  uint64_t sysData;
  uint64_t updateSysData;
};

std::vector<int> resultsOf(const ReadLog& log) {
  std::vector<int> results;
  for (const ReadEntry& e : log.entries) results.push_back(e.result);
  return results;
}

// The log holds the records in order, then the clean end.
void expectEntries(const ReadLog& log, const std::vector<Record>& records, const std::string& err) {
  EXPECT_EQ(log.err, err);
  ASSERT_EQ(log.entries.size(), records.size() + 1);
  for (size_t i = 0; i < records.size(); ++i) {
    SCOPED_TRACE(i);
    const ReadEntry& got = log.entries[i];
    EXPECT_EQ(got.result, kUnfEntry);
    EXPECT_TRUE(got.data == records[i].bytes) << got.data.size() << " bytes";
    EXPECT_EQ(got.sysData, records[i].sysData);
    EXPECT_EQ(got.updateSysData, records[i].updateSysData);
  }
  EXPECT_EQ(log.entries.back().result, kUnfEnd);
}

TEST(UnfWriter, EntriesAreByteExact) {
  const std::string s = "S08DC2A1B3C4D5E6F,";
  const std::string u = "U08DC2A1B3C4D5E70,";
  struct Case {
    const char* name;
    std::vector<Record> records;
    std::string expected;
  } cases[] = {
      {"empty export", {}, "\x1A"},
      {"worked example", {{"ABC", kSys, kUpdate}}, s + u + "0000000003,ABC\r\n\x1A"},
      {"zero-length record", {{"", kSys, 0}}, s + "0000000000,\r\n\x1A"},
      {"update value without system data", {{"ABC", 0, kUpdate}}, u + "0000000003,ABC\r\n\x1A"},
      {"no system data", {{std::string("\0\r\n", 3), 0, 0}},
       std::string("0000000003,\0\r\n\r\n\x1A", 17)},
      {"two entries", {{"A", 1, 0}, {"BC", 0, 0}},
       "S0000000000000001,0000000001,A\r\n0000000002,BC\r\n\x1A"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    UnfFile file;
    ASSERT_EQ(openUnfFile(file, folder.file("out.unf").c_str(), 1), 0);
    for (const Record& r : c.records) ASSERT_TRUE(writeRecord(file, r.bytes, r.sysData, r.updateSysData));
    EXPECT_FALSE(unfEntryOpen(file));
    ASSERT_EQ(closeUnfFile(file, 1), 0);
    EXPECT_EQ(fileBytes(folder.file("out.unf")), c.expected);
  }
  // The worked example is 52 bytes and its file 53.
  EXPECT_EQ((s + u + "0000000003,ABC\r\n").size(), 52u);
}

TEST(UnfWriter, LongRecordRewritesItsLengthFieldInPlace) {
  TempFolder folder;
  const std::string path = folder.file("long.unf");
  const std::string head = patternBytes(64129, 1);
  const std::string tail = patternBytes(10, 2);
  const auto* h = reinterpret_cast<const unsigned char*>(head.data());
  const auto* t = reinterpret_cast<const unsigned char*>(tail.data());
  const std::string s = "S08DC2A1B3C4D5E6F,";

  UnfFile file;
  ASSERT_EQ(openUnfFile(file, path.c_str(), 1), 0);
  ASSERT_TRUE(writeUnfPiece(file, h, 64129, true, false, kSys, 0));
  EXPECT_TRUE(unfEntryOpen(file));
  ASSERT_TRUE(file.handle.flush());
  EXPECT_EQ(fileBytes(path), s + "0000064129," + head);

  ASSERT_TRUE(writeUnfPiece(file, t, 10, false, true, kSys, 0));
  EXPECT_FALSE(unfEntryOpen(file));
  // The next entry lands after the long one, not over its length field.
  ASSERT_TRUE(writeRecord(file, "xyz", 0, 0));
  // Two full pieces and an empty last one: the empty piece changes nothing.
  const std::string twice = patternBytes(2 * 64129, 3);
  ASSERT_TRUE(writeRecord(file, twice, 0, kUpdate));
  ASSERT_EQ(closeUnfFile(file, 1), 0);

  EXPECT_EQ(fileBytes(path), s + "0000064139," + head + tail + "\r\n" + "0000000003,xyz\r\n" +
                                 "U08DC2A1B3C4D5E70,0000128258," + twice + "\r\n\x1A");
}

TEST(UnfWriter, OpenFailuresAndTraces) {
  TempFolder folder;
  const std::string missing = folder.file("no/such/folder.unf");
  const std::string present = folder.file("present.unf");
  testing::putFile(present, "1,Z\r\n");
  struct Case {
    std::string path;
    int create;
    int result;
    std::string err;
  } cases[] = {
      {missing, 1, 1, "Opening UNF File <" + missing + ">\n\nUnable to open UNF File <" + missing + ">.\n"},
      {missing, 0, 1, "Opening UNF File <" + missing + ">\n\nUnable to open UNF File <" + missing + ">.\n"},
      {present, 0, 0, "Opening UNF File <" + present + ">\n"},
      // Any other flag only checks the handle already held.
      {present, 2, 0, "Opening UNF File <" + present + ">\n"},
  };
  VerbosityGuard verbose(1);
  UnfFile file;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path + " " + std::to_string(c.create));
    OutputCapture capture;
    int result = openUnfFile(file, c.path.c_str(), c.create);
    EXPECT_EQ(capture.err(), c.err);
    EXPECT_EQ(result, c.result);
  }
  // An import's close leaves the file as it was; a second close does nothing;
  // then the handle is gone.
  OutputCapture capture;
  int closed = closeUnfFile(file, 0);
  const std::string afterFirst = fileBytes(present);
  int closedAgain = closeUnfFile(file, 1);
  int reopened = openUnfFile(file, present.c_str(), 2);
  EXPECT_EQ(capture.err(), "Closing UNF File\nClosing UNF File\nOpening UNF File <" + present +
                               ">\n\nUnable to open UNF File <" + present + ">.\n");
  EXPECT_EQ(closed, 0);
  EXPECT_EQ(closedAgain, 0);
  EXPECT_EQ(reopened, 1);
  EXPECT_EQ(afterFirst, "1,Z\r\n");
  EXPECT_EQ(fileBytes(present), "1,Z\r\n");
}

TEST(UnfWriter, WriteFailuresAreReportedOnce) {
  if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  const std::string message = "\nError writing UNF File </dev/full>: No space left on device.\n";
  const std::string big = patternBytes(64129);

  // Records too big for the handle's buffer: the writer itself fails.
  {
    UnfFile file;
    ASSERT_EQ(openUnfFile(file, "/dev/full", 1), 0);
    int written = 0;
    while (written < 4 && writeRecord(file, big, kSys, 0)) ++written;
    EXPECT_LT(written, 4);
    OutputCapture capture;
    reportUnfWriteFailure(file);
    int closed = closeUnfFile(file, 1);
    EXPECT_EQ(capture.err(), message);
    EXPECT_NE(closed, 0);
  }
  // A small export fails only when it is flushed: the close reports it.
  {
    UnfFile file;
    ASSERT_EQ(openUnfFile(file, "/dev/full", 1), 0);
    EXPECT_TRUE(writeRecord(file, "ABC", kSys, kUpdate));
    OutputCapture capture;
    int closed = closeUnfFile(file, 1);
    EXPECT_EQ(capture.err(), message);
    EXPECT_NE(closed, 0);
  }
}

TEST(UnfWriter, UnfinishedEntriesAreClosedSoTheRestStaysReadable) {
  TempFolder folder;
  const std::string path = folder.file("partial.unf");
  const std::string head = patternBytes(64129, 4);
  const std::string more = patternBytes(64129, 5);
  const auto* h = reinterpret_cast<const unsigned char*>(head.data());
  const auto* m = reinterpret_cast<const unsigned char*>(more.data());

  UnfFile file;
  ASSERT_EQ(openUnfFile(file, path.c_str(), 1), 0);
  // A record whose chunk reads stopped after two pieces.
  ASSERT_TRUE(writeUnfPiece(file, h, 64129, true, false, kSys, kUpdate));
  ASSERT_TRUE(writeUnfPiece(file, m, 64129, false, false, kSys, kUpdate));
  ASSERT_TRUE(unfEntryOpen(file));
  ASSERT_TRUE(abandonUnfEntry(file));
  EXPECT_FALSE(unfEntryOpen(file));
  EXPECT_TRUE(abandonUnfEntry(file));  // nothing open: nothing written
  ASSERT_TRUE(writeRecord(file, "after", 7, 0));
  // A first piece while an entry is open closes that entry first.
  ASSERT_TRUE(writeUnfPiece(file, h, 100, true, false, 8, 0));
  ASSERT_TRUE(writeRecord(file, "next", 9, 0));
  // The close completes an entry still open before the end marker.
  ASSERT_TRUE(writeUnfPiece(file, m, 64129, true, false, 10, 0));
  ASSERT_EQ(closeUnfFile(file, 1), 0);

  const std::vector<Record> expected = {{head + more, kSys, kUpdate},
                                        {"after", 7, 0},
                                        {head.substr(0, 100), 8, 0},
                                        {"next", 9, 0},
                                        {more, 10, 0}};
  expectEntries(readEntries(path, false), expected, "");
}

TEST(UnfRoundTrip, BothReadersGiveBackWhatWasWritten) {
  TempFolder folder;
  const std::string path = folder.file("trip.unf");
  const std::vector<Record> records = {
      {"", kSys, kUpdate},
      {"Z", 0, kUpdate},
      {patternBytes(5, 1), 0, 0},
      {patternBytes(150000, 2), 0xFFFFFFFFFFFFFFFFULL, 1},
      {patternBytes(64129, 3), kSys, kUpdate},
      {patternBytes(64130, 4), kSys, 0},
      {patternBytes(128258, 5), 2, 3},
      {patternBytes(24, 6), 4, 0},
      {"abc", 5, 6},
  };
  UnfFile out;
  ASSERT_EQ(openUnfFile(out, path.c_str(), 1), 0);
  for (const Record& r : records) ASSERT_TRUE(writeRecord(out, r.bytes, r.sysData, r.updateSysData));
  ASSERT_EQ(closeUnfFile(out, 1), 0);

  // -LOAD: every entry, through one buffer that grows only for a longer one.
  ReadLog load = readEntries(path, false);
  expectEntries(load, records, "");
  EXPECT_EQ(load.bufferGrowths, 2);
  EXPECT_EQ(load.capacity, 150001u);

  // -LOAD_OLD: entries up to 64129 bytes; longer ones are passed over.
  std::vector<Record> fitting;
  std::string skipped;
  std::vector<int> results;
  for (const Record& r : records) {
    if (r.bytes.size() <= 64129) {
      fitting.push_back(r);
      results.push_back(kUnfEntry);
    } else {
      skipped += "Skipping Oversized Record of " + std::to_string(r.bytes.size()) + " Bytes...\n";
      results.push_back(kUnfSkipped);
    }
  }
  results.push_back(kUnfEnd);
  ReadLog loadOld = readEntries(path, true);
  EXPECT_EQ(resultsOf(loadOld), results);
  std::erase_if(loadOld.entries, [](const ReadEntry& e) { return e.result == kUnfSkipped; });
  expectEntries(loadOld, fitting, skipped);
}

}  // namespace
}  // namespace vorlan

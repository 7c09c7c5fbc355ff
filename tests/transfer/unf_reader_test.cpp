// The UNF readers on hand-made files: format errors with their offsets,
// fields written by other tools, truncated files, the end of the file and the
// verbose traces.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "platform/file_handle.h"
#include "transfer/unf_file.h"
#include "transfer/unf_test_support.h"

namespace vorlan {
namespace {

using testing::ReadEntry;
using testing::ReadLog;
using testing::readEntries;
using testing::TempFolder;
using testing::VerbosityGuard;

// Writes `bytes` at `offset` of a new file (a hole before it, when offset is
// not 0).
bool putAt(const std::string& path, int64_t offset, const std::string& bytes) {
  platform::FileHandle handle;
  return handle.createTruncate(path.c_str()) &&
         handle.seek(offset, platform::SeekOrigin::Begin) == offset &&
         handle.write(bytes.data(), bytes.size()) && handle.close();
}

TEST(UnfReader, EntriesMalformedTruncatedOrFromOtherTools) {
  const std::string sysText = "S08DC2A1B3C4D5E6F,";
  const std::string huge = "2000000000," + std::string(89, 'x');  // a 100-byte file
  struct Case {
    const char* name;
    std::string bytes;
    int64_t offset;
    int result;
    std::string err;
    std::string data = "";
    uint64_t sysData = 0;
    uint64_t updateSysData = 0;
  } cases[] = {
      // Format errors: 20 bytes without a comma, offset just after them.
      {"S token without comma", "S0123456789ABCDEF0123", 0, kUnfMalformed,
       "Incorrect SysData data format <0123456789ABCDEF0123> at offset 00000000 00000015.\r\n"},
      {"U token without comma", "U0123456789ABCDEF0123", 0, kUnfMalformed,
       "Incorrect UpdateSysData data format <0123456789ABCDEF0123> at offset 00000000 00000015.\r\n"},
      {"U token after an S field", sysText + "U0123456789ABCDEF01234", 0, kUnfMalformed,
       "Incorrect UpdateSysData data format <0123456789ABCDEF0123> at offset 00000000 00000027.\r\n"},
      {"length token without comma", sysText + "00000000000000000003,ABC", 0, kUnfMalformed,
       "Incorrect data format <00000000000000000003> at offset 00000000 00000026!\r\n"},
      {"text without comma", "This text has no comma at all", 0, kUnfMalformed,
       "Incorrect data format <This text has no com> at offset 00000000 00000014!\r\n"},
      {"negative length", "-5,ab\r\n", 0, kUnfMalformed,
       "Incorrect data format <-5> at offset 00000000 00000003!\r\n"},
      {"length beyond 32 bits", "4294967296,ab\r\n", 0, kUnfMalformed,
       "Incorrect data format <4294967296> at offset 00000000 0000000b!\r\n"},
      {"offset past 4 GiB", "S0123456789ABCDEF0123", 0x100000005LL, kUnfMalformed,
       "Incorrect SysData data format <0123456789ABCDEF0123> at offset 00000001 0000001a.\r\n"},
      // Accepted: short length fields, text, short values, unchecked ends.
      {"short length field", "3,ABC\r\n", 0, kUnfEntry, "", "ABC"},
      {"blanks and sign", " +12,0123456789AB\r\n", 0, kUnfEntry, "", "0123456789AB"},
      {"19-digit length field", "0000000000000000003,ABC\r\n", 0, kUnfEntry, "", "ABC"},
      {"text converts to 0", "Hello, world", 0, kUnfEntry, "", ""},
      {"short S token", "S1234,U00000000000000FF,2,hi\r\n", 0, kUnfEntry, "", "hi",
       0x0000123400000000ULL, 0xFF},
      {"end bytes not checked", sysText + "3,ABCxy", 0, kUnfEntry, "", "ABC",
       0x08DC2A1B3C4D5E6FULL},
      {"end bytes missing", "3,ABC", 0, kUnfEntry, "", "ABC"},
      // Truncated: the offset is where the entry starts.
      {"data cut short", "0000000010,abc", 0, kUnfMalformed,
       "Truncated entry at offset 00000000 00000000: 3 of 10 data bytes present.\r\n"},
      {"later entry cut short", "5,ab", 5, kUnfMalformed,
       "Truncated entry at offset 00000000 00000005: 2 of 5 data bytes present.\r\n"},
      {"length far beyond the file", huge, 0, kUnfMalformed,
       "Truncated entry at offset 00000000 00000000: 89 of 2000000000 data bytes present.\r\n"},
      {"end inside S token", "S0123", 0, kUnfMalformed,
       "Truncated entry at offset 00000000 00000000: the file ends inside its fields.\r\n"},
      {"end after S field", sysText, 0, kUnfMalformed,
       "Truncated entry at offset 00000000 00000000: the file ends inside its fields.\r\n"},
      {"end marker after S field", sysText + "\x1A", 0, kUnfMalformed,
       "Truncated entry at offset 00000000 00000000: the file ends inside its fields.\r\n"},
      {"end inside length token", "U08DC2A1B3C4D5E70,00000", 0, kUnfMalformed,
       "Truncated entry at offset 00000000 00000000: the file ends inside its fields.\r\n"},
      {"length without comma", "0000000003", 0, kUnfMalformed,
       "Truncated entry at offset 00000000 00000000: the file ends inside its fields.\r\n"},
      // No entry: silently the end.
      {"empty file", "", 0, kUnfEnd, ""},
      {"end marker", "\x1A", 0, kUnfEnd, ""},
      {"end marker then anything", "\x1A" "3,ABC\r\n", 0, kUnfEnd, ""},
  };
  TempFolder folder;
  const std::string path = folder.file("case.unf");
  for (const Case& c : cases) {
    ASSERT_TRUE(putAt(path, c.offset, c.bytes)) << c.name;
    for (bool old : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (old ? " (old reader)" : ""));
      ReadLog log = readEntries(path, old, c.offset, 1);
      ASSERT_EQ(log.entries.size(), 1u);
      const ReadEntry& got = log.entries[0];
      EXPECT_EQ(got.result, c.result);
      EXPECT_EQ(log.err, c.err);
      EXPECT_LT(log.capacity, 1024u);  // nothing is allocated for a length the file lacks
      if (c.result == kUnfEntry) {
        EXPECT_EQ(got.data, c.data);
        EXPECT_EQ(got.sysData, c.sysData);
        EXPECT_EQ(got.updateSysData, c.updateSysData);
      }
    }
  }
}

TEST(UnfReader, ReadsEntriesUpToTheEndWithOrWithoutMarker) {
  TempFolder folder;
  const std::string path = folder.file("seq.unf");
  for (const std::string& tail : {std::string(), std::string("\x1A"), std::string("\x1A" "1,Y\r\n")}) {
    SCOPED_TRACE(tail.size());
    testing::putFile(path, "1,Z\r\n0,\r\n" + tail);
    for (bool old : {false, true}) {
      ReadLog log = readEntries(path, old);
      EXPECT_EQ(log.err, "");
      ASSERT_EQ(log.entries.size(), 3u);  // two entries, then the end
      EXPECT_EQ(log.entries[0].result, kUnfEntry);
      EXPECT_EQ(log.entries[0].data, "Z");
      EXPECT_EQ(log.entries[1].result, kUnfEntry);
      EXPECT_EQ(log.entries[1].data, "");
      EXPECT_EQ(log.entries[2].result, kUnfEnd);
    }
  }
}

// Sets TZ for one test and puts the previous setting back.
class ZoneGuard {
 public:
  explicit ZoneGuard(const char* zone) {
    const char* previous = std::getenv("TZ");
    had_ = previous != nullptr;
    if (had_) saved_ = previous;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ZoneGuard() {
    if (had_) {
      setenv("TZ", saved_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }

 private:
  bool had_ = false;
  std::string saved_;
};

TEST(UnfReader, VerboseReadingTracesEveryField) {
  ZoneGuard zone("UTC0");
  TempFolder folder;
  const std::string path = folder.file("verbose.unf");
  testing::putFile(path, "S08DC2A1B3C4D5E6F,U08DC2A1B3C4D5E70,0000000003,ABC\r\n12,abcdefghijkl\r\n");
  const std::string expected =
      "Read System Data <08DC2A1B3C4D5E6F> = 08DC2A1B3C4D5E6F\n"
      "[2024-02-10 09:32:44.3954799]\n"
      "Read UpdateSysData <08DC2A1B3C4D5E70> = 08DC2A1B3C4D5E70\n"
      "[2024-02-10 09:32:44.3954800]\n"
      "Read Length <0000000003> = 3\n"
      "Read Length <12> = 12\n";
  for (bool old : {false, true}) {
    SCOPED_TRACE(old);
    ReadLog log;
    {
      VerbosityGuard verbose(1);
      log = readEntries(path, old, 0, 2);
    }
    EXPECT_EQ(log.err, "Opening UNF File <" + path + ">\n" + expected + "Closing UNF File\n");
    ASSERT_EQ(log.entries.size(), 2u);
    EXPECT_EQ(log.entries[1].data, "abcdefghijkl");
  }
}

}  // namespace
}  // namespace vorlan

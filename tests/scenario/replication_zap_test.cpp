// -ZAPPDC: the PDC record of one data-file record found through the record's
// system data value and deleted; the data file is never changed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scenario/replication_helpers.h"

namespace vorlan::testing {
namespace {

const std::string kZapping = "Zapping Indicated record...\n";

uint64_t valueOf(const std::string& hex) { return std::stoull(hex, nullptr, 16); }

std::string zapped(uint64_t sysData) {
  return "PDC Record for System Key " + std::to_string(static_cast<int64_t>(sysData)) +
         " has been zapped.\n";
}

// A data file (key 0 the record number) of a short record 1, a record 2
// without a PDC record, a record 3 of 150,000 bytes and a record 5 loaded
// with a system data value whose top bit is set; a PDC table tracking 1, 3
// and 5, and one record that tracks nothing of the file.
class Zap : public ::testing::Test {
 protected:
  void SetUp() override {
    data = dir.file("DATA.MKD");
    pdc = dir.file("PDC.MKD");
    createFile(data, 1);
    mustBtfile({"insert", data, "--hex"}, hexRecord(1, 12) + hexRecord(2, 12) + hexRecord(3, 150000));
    std::string unf = dir.file("FIVE.UNF");
    writeFile(unf, unfEntry("8000000000000005", "", recordBytes(5, 12)) + "\x1A");
    ProcessResult load = runVorlanProcess({"-LOAD", unf, data});
    ASSERT_EQ(load.status, 0) << load.err;
    records = dumpOf(data);
    ASSERT_EQ(records.size(), 4u);
    ASSERT_EQ(records[3].sysData, "8000000000000005");
    createPdcTable(pdc, {{1, valueOf(records[0].sysData), 'N', 1},
                         {3, valueOf(records[2].sysData), 'N', 1},
                         {5, valueOf(records[3].sysData), 'N', 1},
                         {9, 0x0700000000000009, 'N', 1}});
    dataBefore = readFile(data);
  }

  std::string pdcNumbers() {
    std::string shown;
    for (const DumpRecord& r : dumpOf(pdc)) shown += std::to_string(numberOf(r)) + " ";
    return shown;
  }

  TempDir dir;
  std::string data, pdc, dataBefore;
  std::vector<DumpRecord> records;
};

// One run after another on the same files.
TEST_F(Zap, FindsTheRecordAndDeletesItsPdcRecordOnly) {
  struct Run {
    const char* name;
    std::string key, value, out, err, pdcLeft;
  } runs[] = {
      {"a key number beyond one byte is not taken as key 0", "256", "1",
       kZapping + "Unable to locate record, Status 6.\n", "\nKey Number 256 Not Found.\n", "1 3 5 9 "},
      {"no such key", "5", "1", kZapping + "Unable to locate record, Status 6.\n",
       "\nKey Number 5 Not Found.\n", "1 3 5 9 "},
      {"found and zapped", "0", "1", kZapping + zapped(valueOf(records[0].sysData)), "", "3 5 9 "},
      {"the same again", "0", "1", kZapping + "Unable to locate PDC record, Status 4.\n", "", "3 5 9 "},
      {"no such record", "0", "99", kZapping + "Unable to locate record, Status 4.\n", "", "3 5 9 "},
      {"not a number is 0", "0", "one", kZapping + "Unable to locate record, Status 4.\n", "", "3 5 9 "},
      {"a record without a PDC record", "0", "2", kZapping + "Unable to locate PDC record, Status 4.\n", "",
       "3 5 9 "},
      {"a record longer than the record buffer", "0", "3", kZapping + zapped(valueOf(records[2].sysData)),
       "", "5 9 "},
      {"a value with its top bit set prints negative", "0", "5",
       kZapping + "PDC Record for System Key -9223372036854775803 has been zapped.\n", "", "9 "},
  };
  for (const Run& run : runs) {
    SCOPED_TRACE(run.name);
    ProcessResult r = runVorlanProcess({"-ZAPPDC", data, pdc, run.key, run.value});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, run.out);
    EXPECT_EQ(r.err, run.err);
    EXPECT_EQ(pdcNumbers(), run.pdcLeft);
    EXPECT_EQ(readFile(data), dataBefore) << "the data file is never changed";
  }
}

TEST_F(Zap, FailuresOfTheEngine) {
  struct Case {
    const char* name;
    std::string rules, out, err;
    int status;
  } cases[] = {
      {"the record has no system data value", "op=23,key=125,keybuf=0:0000000000000000", kZapping, "", 0},
      {"the position cannot be read", "op=22,status=2", kZapping,
       "Error 2 occurred reading the record position.\n", 2},
      {"the system data value cannot be read", "op=23,key=125,status=2", kZapping,
       "Error 2 occurred reading the system data value.\n", 2},
      {"the Delete is refused", "op=4,status=84,skip", kZapping + "Unable to delete PDC record, Status 84.\n",
       "Btrieve Error 84: Operation=4, File=" + pdc + "\n", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ProcessResult r = runVorlanProcess({"-ZAPPDC", data, pdc, "0", "1"}, testEngine(c.rules));
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(pdcNumbers(), "1 3 5 9 ");
  }
}

TEST_F(Zap, ADataFileWithoutSystemDataIsRefused) {
  std::string plain = dir.file("PLAIN.MKD");
  createFile(plain, 0);
  mustBtfile({"insert", plain, "--hex"}, hexRecord(1, 12));
  ProcessResult r = runVorlanProcess({"-ZAPPDC", plain, pdc, "0", "1"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "ERROR: No system data defined on the Btrieve file!\nExiting.\n");
  EXPECT_EQ(pdcNumbers(), "1 3 5 9 ");
}

}  // namespace
}  // namespace vorlan::testing

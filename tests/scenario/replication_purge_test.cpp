// -PURGE and -PURGEALL on PDC tables, in both engine forms (DeleteExtended,
// Get Next Extended with Delete) and through both entries, checked against
// the tables afterwards.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scenario/replication_helpers.h"

namespace vorlan::testing {
namespace {

std::string processing(size_t records) {
  return "Processing " + std::to_string(records) + " records...\n";
}
std::string purged(uint64_t count) { return "Purged Record Count: " + std::to_string(count) + "\n"; }

// Key 2 order is LastUpdated, then insertion: 1-3 obituaries of 40 days (the
// first goes in the first step), 4-5 live records of 40 days, 6 an obituary
// a little younger than 30 days, 7 one a little older, 8-9 obituaries of 20
// days, 10 a live record of 35 days in another state.
class PurgeTable : public ::testing::Test {
 protected:
  void SetUp() override {
    file = dir.file("PDC.MKD");
    const std::string now = std::to_string(unixNow());
    const std::string hourAhead = std::to_string(unixNow() + 3600);
    const std::string hourBack = std::to_string(unixNow() - 3600);
    mustBtfile({"pdc", file, "--obituaries", "3", "--live", "2", "--age-days", "40", "--now", now});
    mustBtfile({"pdc", file, "--append", "--obituaries", "1", "--age-days", "30", "--now", hourAhead});
    mustBtfile({"pdc", file, "--append", "--obituaries", "1", "--age-days", "30", "--now", hourBack});
    mustBtfile({"pdc", file, "--append", "--obituaries", "2", "--age-days", "20", "--now", now});
    mustBtfile({"pdc", file, "--append", "--live", "1", "--age-days", "35", "--live-state", "X",
                "--now", now});
    ASSERT_EQ(pdcContents(file), "1D 2D 3D 4N 5N 6D 7D 8D 9D 10X ");
  }

  TempDir dir;
  std::string file;
};

TEST_F(PurgeTable, EachCommandInEveryEngineForm) {
  struct Case {
    const char* command;
    std::string left;
    uint64_t purged;
  } cases[] = {
      {"-PURGE", "4N 5N 6D 8D 9D 10X ", 4},
      {"-PURGEALL", "4N 5N 10X ", 7},
  };
  const std::string original = readFile(file);
  for (const EngineForm& form : engineForms()) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(form.name) + " " + c.command);
      writeFile(file, original);
      ProcessResult r = runVorlanProcess({c.command, file}, testEngine(form.rules));
      EXPECT_EQ(r.status, 0) << r.err;
      EXPECT_EQ(r.out, processing(10) + purged(c.purged));
      EXPECT_EQ(withoutProgress(r.err), "");
      EXPECT_EQ(pdcContents(file), c.left);
    }
  }
}

TEST_F(PurgeTable, DetailLinesAtD) {
  const std::string original = readFile(file);
  for (const EngineForm& form : engineForms()) {
    SCOPED_TRACE(form.name);
    writeFile(file, original);
    ProcessResult r = runVorlanProcess({"-PURGE", file, "/D"}, testEngine(form.rules));
    ASSERT_EQ(r.status, 0) << r.err;
    std::string err = withoutProgress(r.err);
    EXPECT_NE(err.find("Cutoff TimeStamp is "), std::string::npos) << err;
    if (form.deleteExtended) {
      // The first step took record 1; one call deleted 2, 3 and 7.
      EXPECT_NE(err.find("Deleted 3 records in a DeleteExtended call.\n"), std::string::npos) << err;
    } else {
      // Record 1 went in the first step, without a line.
      for (const char* position : {"1", "2", "3", "7"}) {
        std::string shown = form.wide ? std::string(15, '0') + position : std::string(7, '0') + position;
        EXPECT_EQ(err.find("Found record to delete at Position " + shown + "\n") != std::string::npos,
                  *position != '1')
            << err;
      }
    }
    EXPECT_EQ(pdcContents(file), "4N 5N 6D 8D 9D 10X ");
  }
}

TEST(PurgeScenario, EmptyTable) {
  TempDir dir;
  std::string file = dir.file("PDC.MKD");
  mustBtfile({"pdc", file});
  for (const char* command : {"-PURGE", "-PURGEALL"}) {
    ProcessResult r = runVorlanProcess({command, file});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, processing(0) + purged(0));
    EXPECT_EQ(r.err, "");
  }
}

TEST(PurgeScenario, MoreThanOneDeleteExtendedBatch) {
  TempDir dir;
  std::string file = dir.file("PDC.MKD");
  mustBtfile({"pdc", file, "--obituaries", "7000", "--live", "2", "--age-days", "40"});
  ProcessResult r = runVorlanProcess({"-PURGEALL", file, "/D"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.substr(r.out.find("Processing")),
            std::string("Processing 7002 records...\n") +
                "Op: 85, Buflen: 64129, KeyNum: 2 Status: 0\n"
                "Op: 85, Buflen: 64129, KeyNum: 2 Status: 9\n" +
                purged(7000));
  std::string err = withoutProgress(r.err);
  EXPECT_NE(err.find("Deleted 6400 records in a DeleteExtended call.\n"
                     "Deleted 599 records in a DeleteExtended call.\n"),
            std::string::npos)
      << err;
  EXPECT_EQ(pdcContents(file), "7001N 7002N ");
}

// 65,010 live records come before the obituaries in key 2 order: the first
// call gives up after 65,000 of them (status 60) and the purge goes on.
TEST(PurgeScenario, RejectCountReachedGoesOn) {
  TempDir dir;
  std::string file = dir.file("PDC.MKD");
  mustBtfile({"pdc", file, "--live", "65010", "--age-days", "40"});
  mustBtfile({"pdc", file, "--append", "--obituaries", "2", "--age-days", "35"});
  const std::string original = readFile(file);
  for (const EngineForm& form : engineForms()) {
    if (!form.wide) continue;  // the entry does not change the reject count
    SCOPED_TRACE(form.name);
    writeFile(file, original);
    ProcessResult r = runVorlanProcess({"-PURGEALL", file, "/D"}, testEngine(form.rules));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("KeyNum: 2 Status: 60\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(purged(2)), std::string::npos) << r.out;
    if (form.deleteExtended) {
      EXPECT_NE(withoutProgress(r.err).find("Deleted 0 records in a DeleteExtended call.\n"
                                            "Deleted 2 records in a DeleteExtended call.\n"),
                std::string::npos)
          << r.err;
    }
    std::vector<DumpRecord> left = dumpOf(file);
    EXPECT_EQ(left.size(), 65010u);
    EXPECT_EQ(pdcContents(file).find('D'), std::string::npos);
  }
}

// A descriptor refused with status 62 (the engine does not run it): the
// first 64 bytes of the buffer, that is the descriptor and what is left of
// the first record, then the end of the process.
TEST(PurgeScenario, InvalidDescriptorIsDumped) {
  TempDir dir;
  std::string file = dir.file("PDC.MKD");
  mustBtfile({"pdc", file, "--live", "1", "--age-days", "40"});
  mustBtfile({"pdc", file, "--append", "--obituaries", "1"});
  const std::string record = dumpOf(file)[0].hex;
  struct Case {
    const char* rules;
    std::string descriptor;  // in hexadecimal
    std::string engineReport;
  } cases[] = {
      {"op=85,skip,status=62", "140045474AFD0100000100" "1E000100" "44" "00190000" "00000000", ""},
      {"version=13.29,0.0,14.09;op=36,skip,status=62",
       "180045474AFD0100000100" "1E000100" "44" "01000100" "30000000",
       "Btrieve Error 62: Operation=36, File=" + file + "\n"},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.rules);
    // 65,000 is E8 FD.
    c.descriptor.replace(8, 4, "E8FD");
    std::string bytes = c.descriptor + record.substr(48, 48) + std::string(32, '0');
    std::string dump;
    for (size_t i = 0; i < 64; ++i) {
      dump += bytes.substr(2 * i, 2) + " ";
      if (i % 16 == 15) dump += "\n";
    }
    ProcessResult r = runVorlanProcess({"-PURGEALL", file}, testEngine(c.rules));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, processing(2));
    EXPECT_EQ(r.err, c.engineReport + "Status 62 - Invalid Descriptor:\n" + dump);
    EXPECT_EQ(pdcContents(file), "1N 2D ");
  }
}

TEST(PurgeScenario, RefusedDeletesLeaveTheObituaryAndEndIncomplete) {
  TempDir dir;
  std::string first = dir.file("FIRST.MKD"), later = dir.file("LATER.MKD");
  // An obituary first in key 2 order; and one live record before three.
  mustBtfile({"pdc", first, "--obituaries", "2", "--age-days", "40"});
  mustBtfile({"pdc", later, "--live", "1", "--age-days", "40"});
  mustBtfile({"pdc", later, "--append", "--obituaries", "3", "--age-days", "35"});
  struct Case {
    const char* name;
    std::string file, rules, out, err, left;
  } cases[] = {
      {"the first step", first, "op=4,nth=1,status=84,skip", processing(2) + purged(0),
       "Btrieve Error 84: Operation=4, File=" + first + "\nError 84 occurred deleting the obituary.\n",
       "1D 2D "},
      {"after Get Next Extended", later, "version=13.29,0.0,14.09;op=4,nth=2,status=84,skip",
       processing(4) + purged(1),
       "Btrieve Error 84: Operation=4, File=" + later + "\nError 84 occurred deleting the record.\n",
       "1N 3D 4D "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ProcessResult r = runVorlanProcess({"-PURGEALL", c.file}, testEngine(c.rules));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(withoutProgress(r.err), c.err);
    EXPECT_EQ(pdcContents(c.file), c.left);
  }
}

TEST(PurgeScenario, AnEngineErrorEndsThePurgeIncomplete) {
  TempDir dir;
  std::string file = dir.file("PDC.MKD");
  mustBtfile({"pdc", file, "--live", "1", "--obituaries", "2", "--age-days", "40"});
  ProcessResult r = runVorlanProcess({"-PURGEALL", file}, testEngine("op=85,skip,status=2,length=0"));
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, processing(3) + purged(1));
  EXPECT_EQ(withoutProgress(r.err), "");
  EXPECT_EQ(pdcContents(file), "2D 3N ");
}

}  // namespace
}  // namespace vorlan::testing

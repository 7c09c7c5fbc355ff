// -RENAME and -DELETE on real files: one engine call each, no file opened.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "scenario/transfer_helpers.h"

namespace vorlan::testing {
namespace {

class FileOperations : public ::testing::Test {
 protected:
  void SetUp() override {
    options.workingDirectory = dir.path();
    createFile(dir.file("ORDERS.MKD"), 1);
    mustBtfile({"insert", dir.file("ORDERS.MKD"), "--hex"}, hexRecord(1, 8) + hexRecord(2, 8));
    records = recordsOf(dir.file("ORDERS.MKD"));
    ASSERT_EQ(records.size(), 2u);
  }

  bool exists(const std::string& name) { return std::filesystem::exists(dir.file(name)); }

  TempDir dir;
  ProcessOptions options;
  std::vector<std::string> records;
};

TEST_F(FileOperations, RenameMovesTheFileWithItsRecordsInOneCall) {
  // A current name of 10 characters travels with data length 10.
  ProcessResult r = runVorlanProcess({"-RENAME", "ORDERS.MKD", "RENAMED.MKD", "/DD"}, options);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Op: 14, Buflen: 10, KeyNum: -127 Status: 0, OutLen = 10\n"
                   "File renamed from ORDERS.MKD to RENAMED.MKD.\n");
  EXPECT_EQ(r.err, "");
  EXPECT_FALSE(exists("ORDERS.MKD"));
  EXPECT_EQ(recordsOf(dir.file("RENAMED.MKD")), records);
}

TEST_F(FileOperations, DeleteRemovesTheFileInOneCall) {
  ProcessResult r = runVorlanProcess({"-DELETE", "ORDERS.MKD", "/DD"}, options);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Op: 14, Buflen: 0, KeyNum: -128 Status: 0, OutLen = 0\n"
                   "File ORDERS.MKD deleted.\n");
  EXPECT_EQ(r.err, "");
  EXPECT_FALSE(exists("ORDERS.MKD"));
}

TEST_F(FileOperations, FailuresExitWithTheEngineStatusAndChangeNothing) {
  createFile(dir.file("OTHER.MKD"), 0);
  struct Case {
    std::vector<std::string> arguments;
    int status;
    std::string out, err;
  } cases[] = {
      {{"-DELETE", "MISSING.MKD"}, 12, "Delete of MISSING.MKD failed with Status 12.\n", ""},
      {{"-RENAME", "MISSING.MKD", "NEW.MKD"}, 12,
       "File rename from MISSING.MKD to NEW.MKD failed with Status 12.\n", ""},
      // Not in the silent set: reported with the empty name of the unopened
      // slot.
      {{"-RENAME", "ORDERS.MKD", "OTHER.MKD"}, 59,
       "File rename from ORDERS.MKD to OTHER.MKD failed with Status 59.\n",
       "Btrieve Error 59: Operation=14, File=\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments[0] + " " + c.arguments[1]);
    ProcessResult r = runVorlanProcess(c.arguments, options);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(recordsOf(dir.file("ORDERS.MKD")), records);
    EXPECT_TRUE(exists("OTHER.MKD"));
    EXPECT_FALSE(exists("NEW.MKD"));
  }
}

}  // namespace
}  // namespace vorlan::testing

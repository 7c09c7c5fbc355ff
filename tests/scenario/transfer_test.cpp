// Moving records out of and into embedded files, compared record by record
// with btfile: every byte and both system data values come back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scenario/files.h"

namespace vorlan::testing {
namespace {

const std::vector<size_t> kLengths = {4, 5, 64129, 64130, 128258, 150000, 200000};

class Transfer : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    mode = GetParam();
    source = dir.file("source.mkd");
    create(source);
    std::string input;
    for (size_t i = 0; i < kLengths.size(); ++i) input += hexRecord(uint32_t(i + 1), kLengths[i]);
    mustBtfile({"insert", source, "--hex"}, input);
  }

  void create(const std::string& file) {
    std::vector<std::string> arguments{"create", file, "--record-length", "4", "--variable",
                                       "--key", "1:4:unsigned"};
    if (mode != 0) arguments.push_back(systemDataOption(mode));
    mustBtfile(arguments);
  }

  std::string warning() const {
    return mode == 0 ? "WARNING: No system data defined on the Btrieve file!\nContinuing anyway...\n" : "";
  }

  int mode = 0;
  TempDir dir;
  std::string source;
};

TEST_P(Transfer, ExportThenLoadGivesEveryRecordBack) {
  const std::vector<std::string> original = recordsOf(source);
  ASSERT_EQ(original.size(), kLengths.size());
  struct Variant {
    const char* name;
    std::vector<std::string> arguments;  // after the source and UNF file
    const char* command;
  } variants[] = {
      {"key0", {"0"}, "-SAVE"},
      {"physical", {"-1"}, "-SAVE"},
      {"backward", {"0", "/J"}, "-SAVE"},
      {"recover", {}, "-RECOVER"},
  };
  for (const Variant& v : variants) {
    SCOPED_TRACE(v.name);
    std::string unf = dir.file(std::string(v.name) + ".unf");
    std::string target = dir.file(std::string(v.name) + ".mkd");
    std::vector<std::string> save{v.command, source, unf};
    save.insert(save.end(), v.arguments.begin(), v.arguments.end());
    ProcessResult saved = runVorlanProcess(save);
    EXPECT_EQ(saved.status, 0) << saved.err;
    bool backward = v.arguments.size() == 2;
    EXPECT_EQ(saved.out, std::string("Processing 7 records") + (backward ? " in reverse" : "") +
                             "...\nProcessed 7 records.\n");
    EXPECT_EQ(saved.err, warning());

    create(target);
    ProcessResult loaded = runVorlanProcess({"-LOAD", unf, target});
    EXPECT_EQ(loaded.status, 0) << loaded.err;
    EXPECT_EQ(loaded.out, "Read 7 valid records.\nInserted 7 records.\n");
    EXPECT_EQ(loaded.err, warning() + "-\b");
    EXPECT_EQ(sorted(recordsOf(target)), sorted(original));
  }
}

TEST_P(Transfer, CopyIntoAnEmptyCloneGivesEveryRecordBack) {
  std::string target = dir.file("target.mkd");
  create(target);
  ProcessResult copied = runVorlanProcess({"-COPY", source, target});
  EXPECT_EQ(copied.status, 0) << copied.err;
  EXPECT_EQ(copied.out, "Processing 7 records...\nRead 7 records.\nInserted 7 records.\n");
  EXPECT_EQ(sorted(recordsOf(target)), sorted(recordsOf(source)));
}

TEST_P(Transfer, CopyIntoItselfIsRefused) {
  ProcessResult r = runVorlanProcess({"-COPY", source, dir.path() + "/./source.mkd", "/U"});
  EXPECT_EQ(r.err, "Using UPDATE Option...\n" + warning() + "\nSource and target are the same file <" + dir.path() + "/./source.mkd>.\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(recordsOf(source).size(), kLengths.size());
}

INSTANTIATE_TEST_SUITE_P(SystemDataModes, Transfer, ::testing::Values(0, 1, 2),
                         [](const auto& info) { return "mode" + std::to_string(info.param); });

TEST(TransferOrder, BackwardPassWritesEntriesInReverseKeyOrder) {
  TempDir dir;
  std::string file = dir.file("f.mkd");
  mustBtfile({"create", file, "--record-length", "4", "--system-data", "--key", "1:4:unsigned"});
  mustBtfile({"insert", file, "--hex"}, hexRecord(2, 4) + hexRecord(1, 4) + hexRecord(3, 4));
  ProcessResult r = runVorlanProcess({"-SAVE", file, dir.file("f.unf"), "0", "/J"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::string unf = readFile(dir.file("f.unf"));
  size_t three = unf.find(std::string("\x03\0\0\0", 4));
  size_t two = unf.find(std::string("\x02\0\0\0", 4));
  size_t one = unf.find(std::string("\x01\0\0\0", 4));
  EXPECT_LT(three, two);
  EXPECT_LT(two, one);
  EXPECT_EQ(unf.back(), '\x1A');
}

}  // namespace
}  // namespace vorlan::testing

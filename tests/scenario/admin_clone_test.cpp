// -CLONE on real files, on the wide entry (the embedded engine) and on the
// standard one (the test engine answering an old version): the new file's
// definition, seen through btfile stat, is the source's with no records.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "scenario/transfer_helpers.h"

namespace vorlan::testing {
namespace {

const char kOldEngine[] = "version=13.29,0.0,14.09";

ProcessOptions entryOptions(bool wide) {
  return wide ? ProcessOptions{} : testEngine(kOldEngine);
}

// btfile stat without the file name line, with the version and record
// count lines given apart.
struct Definition {
  std::string rest, version, records;
};

Definition definitionOf(const std::string& file) {
  ProcessResult r = btfile({"stat", file});
  EXPECT_EQ(r.status, 0) << r.err;
  Definition d;
  size_t start = 0;
  for (size_t end; (end = r.out.find('\n', start)) != std::string::npos; start = end + 1) {
    std::string line = r.out.substr(start, end - start);
    if (line.rfind("File: ", 0) == 0) continue;
    if (line.rfind("File version: ", 0) == 0) {
      d.version = line.substr(14);
    } else if (line.rfind("Records: ", 0) == 0) {
      d.records = line.substr(9);
    } else {
      // The engine's count of distinct key values follows the records.
      static const std::regex kUniqueValues("unique values [0-9]+");
      d.rest += std::regex_replace(line, kUniqueValues, "unique values N") + "\n";
    }
  }
  return d;
}

class Clone : public ::testing::Test {
 protected:
  void SetUp() override {
    source = dir.file("SOURCE.MKD");
    mustBtfile({"create", source, "--record-length", "24", "--variable", "--system-data-v2",
                "--page-size", "1024", "--file-version", "9.5", "--key", "1:4:integer",
                "--key", "5:12:string:di+17:8:timestamp:r"});
    mustBtfile({"insert", source}, "0001Alice       order A\n0002Bob         order B\n");
    sourceDefinition = definitionOf(source);
    ASSERT_EQ(sourceDefinition.records, "2");
    ASSERT_EQ(sourceDefinition.version, "0x0095");
  }

  TempDir dir;
  std::string source;
  Definition sourceDefinition;
};

TEST_F(Clone, TheNewFileHasTheSourcesDefinitionTheChosenVersionAndNoRecords) {
  struct Case {
    const char* option;  // "" for none
    const char* version;  // as btfile stat shows it
  } cases[] = {
      {"", "0x00D0"},  // no /V: version byte 0, which the engine makes 13.0
      {"/V95", "0x0095"},
      {"/V13", "0x00D0"},
      {"/V-1", "0x00FF"},
      {"/V6", "0x0060"},
  };
  int made = 0;
  for (bool wide : {true, false}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(wide ? "wide " : "standard ") + c.option);
      std::string clone = dir.file("CLONE" + std::to_string(++made) + ".MKD");
      std::vector<std::string> arguments{"-CLONE", clone, source};
      if (*c.option != '\0') arguments.push_back(c.option);
      ProcessResult r = runVorlanProcess(arguments, entryOptions(wide));
      EXPECT_EQ(r.status, 0) << r.err;
      EXPECT_EQ(r.out, "File " + clone + " created successfully.\n");
      EXPECT_EQ(r.err, "");
      Definition d = definitionOf(clone);
      EXPECT_EQ(d.rest, sourceDefinition.rest);
      EXPECT_EQ(d.version, c.version);
      EXPECT_EQ(d.records, "0");
      EXPECT_EQ(definitionOf(source).records, "2");
    }
  }
}

TEST_F(Clone, TheWideEntryIsTracedAtVerbosityOne) {
  std::string clone = dir.file("TRACED.MKD");
  ProcessResult r = runVorlanProcess({"-CLONE", clone, source, "/D"});
  EXPECT_EQ(r.status, 0) << r.err;
  std::smatch m;
  ASSERT_TRUE(std::regex_match(r.out, m,
                               std::regex("Op: 15, Buflen: 36612, KeyNum: -1 Status: 0\n"
                                          "Op: 1, Buflen: ([0-9]+), KeyNum: -1 Status: 0\n"
                                          "Op: 14, Buflen: ([0-9]+), KeyNum: 0 Status: 0\n"
                                          "File .* created successfully.\n")))
      << r.out;
  EXPECT_EQ(m[1], m[2]);  // Create gets the length that Stat returned
}

TEST_F(Clone, FailuresAndRefusalsCreateNothing) {
  std::string clone = dir.file("NEW.MKD");
  std::string longName = dir.path() + "/" + std::string(255 - dir.path().size() - 1, 'n');
  ASSERT_EQ(longName.size(), 255u);
  struct Case {
    const char* what;
    std::vector<std::string> arguments;
    ProcessOptions options;
    int status;
    std::string err;
  } cases[] = {
      {"standard Stat fails", {"-CLONE", clone, source},
       testEngine(std::string(kOldEngine) + ";op=15,status=2"), 2,
       "Btrieve Error 2: Operation=15, File=" + source +
           "\nUnable to obtain file statistics, Status = 2.\n"},
      {"wide Stat fails", {"-CLONE", clone, source}, testEngine("entry=wide,op=15,status=2"), 2,
       "Unable to obtain file statistics, Status = 2.\n"},
      {"wide Create fails", {"-CLONE", clone, source}, testEngine("op=14,status=25,skip"), 25,
       "Unable to create new file, Status = 25.\n"},
      {"the source itself", {"-CLONE", source, source}, {}, 1,
       "\nThe new file <" + source + "> is the source file itself; nothing was created.\n"},
      {"the source by another spelling", {"-CLONE", dir.path() + "/./SOURCE.MKD", source}, {}, 1,
       "\nThe new file <" + dir.path() + "/./SOURCE.MKD> is the source file itself; nothing was "
       "created.\n"},
      {"a new name of 255 characters", {"-CLONE", longName, source}, {}, 1,
       "\nNew file name <" + longName.substr(0, 40) +
           "...> is too long: at most 254 characters can be created.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ProcessResult r = runVorlanProcess(c.arguments, c.options);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(btfile({"stat", clone}).status, 1) << "a file was created";
    EXPECT_EQ(btfile({"stat", longName}).status, 1) << "a file was created";
    EXPECT_EQ(definitionOf(source).records, "2");
  }
}

}  // namespace
}  // namespace vorlan::testing

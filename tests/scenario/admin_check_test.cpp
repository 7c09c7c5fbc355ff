// -CHECK and -CHECKSTATS on real folders: a FILE.DDF made with btfile, a
// primary folder of listed, unlisted, non-Btrieve and protected files and a
// directory, and a partner folder with matching, differing and missing
// copies. The enumeration has no fixed order, so the per-file lines are
// compared as sorted sets, the summary lines in place.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "scenario/transfer_helpers.h"

namespace vorlan::testing {
namespace {

std::vector<std::string> linesOf(const std::string& text, const std::string& end) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t at; (at = text.find(end, start)) != std::string::npos; start = at + end.size())
    lines.push_back(text.substr(start, at - start));
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

// The output split into the per-file lines (sorted, "\r\n" ends) and the
// closing lines ("\n" ends) after them.
struct CheckOutput {
  std::vector<std::string> fileLines;
  std::string closing;
};

CheckOutput splitOutput(const std::string& out, const std::string& fileLineEnd) {
  CheckOutput o;
  size_t summary = out.find("Found ");
  std::string body = summary == std::string::npos ? out : out.substr(0, summary);
  o.closing = summary == std::string::npos ? "" : out.substr(summary);
  o.fileLines = sorted(linesOf(body, fileLineEnd));
  return o;
}

// A FILE.DDF record: the 2-byte id (key 0), 20 bytes of name, the location
// blank-padded to 64 bytes, 11 bytes more; `length` cuts or extends it.
std::string ddfRecord(uint16_t id, const std::string& location, size_t length = 97) {
  std::string r(2, '\0');
  r[0] = static_cast<char>(id);
  r[1] = static_cast<char>(id >> 8);
  r += std::string(20, 'N');
  r += location + std::string(64 - location.size(), ' ');
  r += std::string(11, '\0');
  r.resize(length, ' ');
  return hexOf(r) + "\n";
}

void makeDictionary(const std::string& folder, const std::vector<std::string>& records,
                    bool variable = false) {
  std::filesystem::create_directories(folder);
  std::string ddf = folder + "/FILE.DDF";
  std::vector<std::string> arguments{"create", ddf, "--record-length", variable ? "24" : "97",
                                     "--key", "1:2:integer", "--replace"};
  if (variable) arguments.push_back("--variable");
  mustBtfile(arguments);
  std::string input;
  for (const std::string& r : records) input += r;
  if (!input.empty()) mustBtfile({"insert", ddf, "--hex"}, input);
}

void makeDataFile(const std::string& file, const std::vector<std::string>& options = {},
                  int records = 0) {
  std::vector<std::string> arguments{"create", file, "--record-length", "24", "--replace"};
  arguments.insert(arguments.end(), options.begin(), options.end());
  mustBtfile(arguments);
  if (records > 0) mustBtfile({"fill", file, "--records", std::to_string(records)});
}

ProcessOptions inFolder(const std::string& folder) {
  ProcessOptions options;
  options.workingDirectory = folder;
  return options;
}

class DeploymentCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    data = dir.file("data");
    dx = dir.file("dx");
    makeDictionary(dx, {ddfRecord(1, "..\\ORDERS.MKD"), ddfRecord(2, "..\\Customer.mkd"),
                        ddfRecord(3, "DATA\\DEEP.MKD"), ddfRecord(4, "..\\..\\X.MKD"),
                        ddfRecord(5, "..\\SECRET.MKD"), ddfRecord(6, "")});
    std::filesystem::create_directories(data + "/SUBDIR.MKD");  // never counted
    for (const char* name : {"orders.MKD", "CUSTOMER.MKD", "DEEP.MKD", "X.MKD", "UNLISTED.MKD"})
      makeDataFile(data + "/" + name);
    makeDataFile(data + "/OWNED.MKD", {"--owner", "SECRET"});
    writeFile(data + "/NOTBTR.MKD", "just some text\n");
    writeFile(data + "/README.TXT", "not matched\n");
  }

  TempDir dir;
  std::string data, dx;
};

const std::string kNotBtrieve =
    "\nNOTBTR.MKD: Not a Btrieve File\n\nUnable to open Data File <NOTBTR.MKD>, Status 30.\n";
const std::string kProtected =
    "\nFile protected by owner name. Use /O switch to specify correct owner.\n";

std::vector<std::string> notActivated(std::vector<std::string> names) {
  for (std::string& n : names) n = "File " + n + " not activated in this deployment.";
  return sorted(names);
}

TEST_F(DeploymentCheck, ReportsTheUnlistedBtrieveFilesAndExitsWithTheirCount) {
  struct Case {
    const char* what;
    std::string spec, folder;  // pattern, working directory
    std::vector<std::string> owner;
    std::vector<std::string> reported;
    int total;
    std::string err;
  } cases[] = {
      {"pattern in the working directory", "*.mkd", data, {},
       {"DEEP.MKD", "X.MKD", "UNLISTED.MKD"}, 7, kNotBtrieve + kProtected},
      {"the probe carries the owner name", "*.MKD", data, {"/OSECRET"},
       {"DEEP.MKD", "X.MKD", "UNLISTED.MKD", "OWNED.MKD"}, 7, kNotBtrieve},
      {"pattern with a folder, run elsewhere", data + "/*.MKD", dir.path(), {},
       {"DEEP.MKD", "X.MKD", "UNLISTED.MKD"}, 7,
       "\n" + data + "/NOTBTR.MKD: Not a Btrieve File\n\nUnable to open Data File <" + data +
           "/NOTBTR.MKD>, Status 30.\n" + kProtected},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> arguments{"-CHECK", c.spec, dx};
    arguments.insert(arguments.end(), c.owner.begin(), c.owner.end());
    ProcessResult r = runVorlanProcess(arguments, inFolder(c.folder));
    int count = static_cast<int>(c.reported.size());
    EXPECT_EQ(r.status, count);
    CheckOutput o = splitOutput(r.out, "\n");
    EXPECT_EQ(o.fileLines, notActivated(c.reported));
    EXPECT_EQ(o.closing, "Found " + std::to_string(count) + " non-activated files of " +
                             std::to_string(c.total) + " total.\n");
    EXPECT_EQ(r.err, c.err);
  }
}

TEST_F(DeploymentCheck, CompletesWhenNothingIsReportedOrTheDictionaryIsTooSmall) {
  std::string single = dir.file("single"), empty = dir.file("empty");
  makeDictionary(single, {ddfRecord(1, "..\\ORDERS.MKD")});
  makeDictionary(empty, {});
  struct Case {
    const char* what;
    std::string spec, dictionary, out;
  } cases[] = {
      {"every match listed", "c*.MKD", dx,
       "Found 0 non-activated files of 1 total.\nFile check completed.\n"},
      {"a name without wildcards, in another case", "Orders.mkd", dx,
       "Found 0 non-activated files of 1 total.\nFile check completed.\n"},
      {"no match", "*.NONE", dx,
       "Found 0 non-activated files of 0 total.\nFile check completed.\n"},
      {"a dictionary of one record", "*.MKD", single, "File check completed.\n"},
      {"an empty dictionary", "*.MKD", empty, "File check completed.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ProcessResult r = runVorlanProcess({"-CHECK", c.spec, c.dictionary}, inFolder(data));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, "");
  }
}

TEST_F(DeploymentCheck, VerbosityListsTheDictionaryAndTheMatches) {
  ProcessResult r = runVorlanProcess({"-CHECK", "c*.mkd", dx, "/D"}, inFolder(data));
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("FILE.DDF contents included 6 files.\n000: ORDERS.MKD\n001: Customer.mkd\n"
                       "002: DATA\\DEEP.MKD\n003: ..\\X.MKD\n004: SECRET.MKD\n005:  \n"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("Found Matching File: CUSTOMER.MKD\r\n"), std::string::npos) << r.err;
}

TEST_F(DeploymentCheck, RecordsOfEveryLengthAreRead) {
  // A short record between longer ones: each read offers the whole buffer,
  // and bytes a record does not have never come from the one before.
  std::string mixed = dir.file("mixed");
  makeDictionary(mixed,
                 {ddfRecord(1, "..\\LONGERNAME.MKD"), ddfRecord(2, "Z.MKD", 30),
                  ddfRecord(3, "..\\B.MKD"), ddfRecord(4, "..\\C.MKD", 40)},
                 true);
  std::string folder = dir.file("mixeddata");
  std::filesystem::create_directories(folder);
  for (const char* name : {"LONGERNAME.MKD", "Z.MKD", "B.MKD", "C.MKD", "D.MKD"})
    makeDataFile(folder + "/" + name);
  ProcessResult r = runVorlanProcess({"-CHECK", "*.MKD", mixed}, inFolder(folder));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "File D.MKD not activated in this deployment.\n"
                   "Found 1 non-activated files of 5 total.\n");
  EXPECT_EQ(r.err, "");
}

// -CHECKSTATS: a primary folder (the working directory) and a partner one.
class PartnerCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    primary = dir.file("primary");
    partner = dir.file("partner");
    std::filesystem::create_directories(primary + "/DIR.MKD");
    std::filesystem::create_directories(partner);
    const std::vector<std::string> sys{"--system-data-v2", "--key", "1:4:integer"};
    auto both = [&](const std::string& name, std::vector<std::string> here, int hereRecords,
                    std::vector<std::string> there, int thereRecords) {
      makeDataFile(primary + "/" + name, here, hereRecords);
      makeDataFile(partner + "/" + name, there, thereRecords);
    };
    both("SAME.MKD", sys, 3, sys, 3);
    both("COUNT.MKD", sys, 3, sys, 1);
    std::vector<std::string> older = sys;
    older.insert(older.end(), {"--file-version", "9.5"});
    both("OLDER.MKD", sys, 0, older, 0);
    both("NOSYS.MKD", {}, 0, {}, 0);
    both("SYSV.MKD", sys, 0, {"--system-data", "--key", "1:4:integer"}, 0);
    both("SHAPE.MKD", {"--system-data", "--key", "1:4:integer", "--key", "5:4:integer"}, 0,
         {"--system-data", "--record-length", "30", "--key", "1:4:integer"}, 0);
    makeDataFile(primary + "/ONLYHERE.MKD", sys);
    writeFile(primary + "/TEXT.MKD", "not a Btrieve file\n");
    writeFile(partner + "/TEXT.MKD", "not a Btrieve file\n");
  }

  TempDir dir;
  std::string primary, partner;
};

TEST_F(PartnerCheck, ReportsEachDifferenceAndCountsEachDifferingFileOnce) {
  ProcessResult r = runVorlanProcess({"-CHECKSTATS", "*.mkd", partner}, inFolder(primary));
  EXPECT_EQ(r.status, 6);
  CheckOutput o = splitOutput(r.out, "\r\n");
  EXPECT_EQ(o.fileLines, sorted({
                             "Warning: COUNT.MKD Record Count Mismatch (3 <> 1).",
                             "Warning: OLDER.MKD Version Mismatch.",
                             "Error: NOSYS.MKD Missing System Data on BOTH Files.",
                             "Error: SYSV.MKD System Data Version Mismatch (2 <> 1).",
                             "Error: SHAPE.MKD Record Length Mismatch (24 <> 30).",
                             "Error: SHAPE.MKD Index Count Mismatch (2 <> 1).",
                             "Error: ONLYHERE.MKD Does Not Exist On the Partner Site!",
                         }));
  EXPECT_EQ(o.closing,
            "Found 6 non-matching files of 8 total.\nFile statistics check completed.\n");
  EXPECT_EQ(r.err, "");  // the non-Btrieve file is skipped silently
}

TEST_F(PartnerCheck, SingleFilesAndTheirEdgeCases) {
  // With "\SAME.MKD" appended: 128 characters, one more than a session holds.
  std::string longFolder = dir.path() + "/" + std::string(118 - dir.path().size(), 'p');
  const std::string stat2 = "Btrieve Error 2: Operation=15, File=" + partner + "\\SAME.MKD\n";
  // Twenty keys: the Stat answer does not fit the 256 bytes asked for.
  std::vector<std::string> manyKeys{"--system-data", "--record-length", "80"};
  for (int i = 0; i < 20; ++i)
    manyKeys.insert(manyKeys.end(), {"--key", std::to_string(i * 4 + 1) + ":4:integer:d"});
  makeDataFile(primary + "/MANY.MKD", manyKeys, 2);
  makeDataFile(partner + "/MANY.MKD", manyKeys, 1);
  struct Case {
    const char* what;
    std::string spec, partnerFolder, folder;
    std::vector<std::string> more;  // options
    ProcessOptions engine;
    int status;
    std::string out, err;
  } cases[] = {
      {"alike", "SAME.MKD", partner, primary, {}, {}, 0,
       "Found 0 non-matching files of 1 total.\n", ""},
      {"a Stat answer longer than the buffer", "MANY.MKD", partner, primary, {}, {}, 1,
       "Warning: MANY.MKD Record Count Mismatch (2 <> 1).\r\n"
       "Found 1 non-matching files of 1 total.\n",
       ""},
      {"a Stat answering 22 still counts", "SAME.MKD", partner, primary, {},
       testEngine("op=15,status=22"), 0, "Found 0 non-matching files of 1 total.\n", ""},
      {"the partner's Stat fails", "SAME.MKD", partner, primary, {},
       testEngine("op=15,nth=2,status=2"), 1,
       "Error: SAME.MKD Does Not Exist On the Partner Site!\r\n"
       "Found 1 non-matching files of 1 total.\n",
       stat2 + "Statistics Call Failed, Status 2\r\n"},
      {"no extended statistics", "SAME.MKD", partner, primary, {},
       testEngine("op=65,status=1,skip"), 1,
       "Error: SAME.MKD Missing System Data on BOTH Files.\r\n"
       "Found 1 non-matching files of 1 total.\n",
       "Btrieve Error 1: Operation=65, File=SAME.MKD\nExtended Statistics Call Failed, Status 1\r\n"
       "Btrieve Error 1: Operation=65, File=" + partner + "\\SAME.MKD\n"
       "Extended Statistics Call Failed, Status 1\r\n"},
      {"pattern with a folder, run elsewhere", primary + "/S*.MKD", partner, dir.path(), {}, {},
       2,
       "Error: SHAPE.MKD Record Length Mismatch (24 <> 30).\r\n"
       "Error: SHAPE.MKD Index Count Mismatch (2 <> 1).\r\n"
       "Error: SYSV.MKD System Data Version Mismatch (2 <> 1).\r\n"
       "Found 2 non-matching files of 3 total.\n",
       ""},
      {"a partner path too long to open", "SAME.MKD", longFolder, primary, {}, {}, 1,
       "Error: SAME.MKD Partner Path Too Long To Check (128 characters, at most 127).\r\n"
       "Found 1 non-matching files of 1 total.\n",
       ""},
      {"no match", "*.NONE", partner, primary, {}, {}, 0,
       "Found 0 non-matching files of 0 total.\n", ""},
      {"verbosity names the matches", "SAME.MKD", partner, primary, {"/D"}, {}, 0,
       "Found 0 non-matching files of 1 total.\n", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> arguments{"-CHECKSTATS", c.spec, c.partnerFolder};
    arguments.insert(arguments.end(), c.more.begin(), c.more.end());
    ProcessOptions options = c.engine;
    options.workingDirectory = c.folder;
    ProcessResult r = runVorlanProcess(arguments, options);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, c.out + "File statistics check completed.\n");
    if (c.more.empty())
      EXPECT_EQ(r.err, c.err);
    else
      EXPECT_NE(r.err.find("Found Matching File: SAME.MKD\r\n"), std::string::npos) << r.err;
  }
}

TEST_F(PartnerCheck, TheOpensCarryTheOwnerName) {
  makeDataFile(primary + "/OWNED.MKD", {"--system-data", "--owner", "SECRET"});
  makeDataFile(partner + "/OWNED.MKD", {"--system-data", "--owner", "SECRET"});
  struct Case {
    std::vector<std::string> owner;
    std::string out;
  } cases[] = {
      // Without the name the primary does not open: counted in the total only.
      {{}, "Found 0 non-matching files of 1 total.\n"},
      {{"/OSECRET"}, "Found 0 non-matching files of 1 total.\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments{"-CHECKSTATS", "OWNED.MKD", partner, "/DD"};
    arguments.insert(arguments.end(), c.owner.begin(), c.owner.end());
    ProcessResult r = runVorlanProcess(arguments, inFolder(primary));
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
    // The Stat calls show whether the files were opened and examined.
    size_t stats = 0;
    for (size_t at = 0; (at = r.out.find("Op: 15,", at)) != std::string::npos; ++at) ++stats;
    EXPECT_EQ(stats, c.owner.empty() ? 0u : 2u) << r.out;
  }
}

}  // namespace
}  // namespace vorlan::testing

namespace vorlan::testing {
namespace {

TEST(CheckNames, ANameTooLongForASessionIsRefusedWithAMessageAndCountedInTheTotalOnly) {
  TempDir dir;
  std::string data = dir.file("data"), dx = dir.file("dx");
  makeDictionary(dx, {ddfRecord(1, "..\\A.MKD"), ddfRecord(2, "..\\B.MKD")});
  std::string name = std::string(124, 'L') + ".MKD";  // 128 characters
  std::filesystem::create_directories(data);
  makeDataFile(data + "/" + name);
  const std::string refused =
      "\nFile name <" + name + "> is too long: at most 127 characters can be opened.\n";
  struct Case {
    std::vector<std::string> arguments;
    std::string out;
  } cases[] = {
      {{"-CHECK", "L*.MKD", dx}, "Found 0 non-activated files of 1 total.\nFile check completed.\n"},
      {{"-CHECKSTATS", "L*.MKD", data},
       "Found 0 non-matching files of 1 total.\nFile statistics check completed.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments[0]);
    ProcessResult r = runVorlanProcess(c.arguments, inFolder(data));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, refused);
  }
}

}  // namespace
}  // namespace vorlan::testing

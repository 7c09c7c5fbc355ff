#include "shell/option_scan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/capture.h"

namespace vorlan {
namespace {

struct ScanCase {
  const char* name;
  std::vector<std::string> arguments;  // after the program path
  int positional;
  std::string owner;
  int forward, backward, version, update, openMode, verbosity;
  std::string messages;  // on standard error
};

class OptionScan : public ::testing::TestWithParam<ScanCase> {};

TEST_P(OptionScan, FillsRunOptions) {
  const ScanCase& c = GetParam();
  std::vector<std::string> texts{"vorlan"};
  texts.insert(texts.end(), c.arguments.begin(), c.arguments.end());
  std::vector<const char*> argv;
  for (const std::string& t : texts) argv.push_back(t.c_str());

  RunOptions options;
  options.verbosity = 7;  // the scan starts from the defaults
  testing::OutputCapture capture;
  int positional = scanOptions(int(argv.size()), argv.data(), options);
  EXPECT_EQ(capture.err(), c.messages);
  EXPECT_EQ(positional, c.positional);
  EXPECT_EQ(options.ownerName, c.owner);
  EXPECT_EQ(options.readForward, c.forward);
  EXPECT_EQ(options.readBackward, c.backward);
  EXPECT_EQ(options.fileVersion, c.version);
  EXPECT_EQ(options.updateExisting, c.update);
  EXPECT_EQ(options.openMode, c.openMode);
  EXPECT_EQ(options.verbosity, c.verbosity);
}

const std::string k70(70, 'w');

INSTANTIATE_TEST_SUITE_P(
    Cases, OptionScan,
    ::testing::Values(
        ScanCase{"none", {"-SAVE", "a", "b", "0"}, 4, "", 0, 0, 0, 0, 0, 0, ""},
        ScanCase{"lowerCaseLetters", {"-COPY", "a", "b", "/x", "/u", "/i", "/j"}, 3, "", 1, 1, 0, 1, 252, 0,
                 "Using UPDATE Option...\nUsing EXCLUSIVE Option...\n"},
        ScanCase{"messagesOncePerOccurrenceRightToLeft", {"-LOAD", "/U", "a", "/X", "/U"}, 2, "", 0, 0, 0, 1, 252, 0,
                 "Using UPDATE Option...\nUsing EXCLUSIVE Option...\nUsing UPDATE Option...\n"},
        ScanCase{"commandWordNeverExamined", {"/U", "/X"}, 1, "", 0, 0, 0, 0, 252, 0,
                 "Using EXCLUSIVE Option...\n"},
        ScanCase{"leftmostOwnerWins", {"-SHOWBIND", "f", "/Ofirst", "/Osecond"}, 2, "first", 0, 0, 0, 0, 0, 0, ""},
        ScanCase{"emptyOwner", {"-SHOWBIND", "f", "/O"}, 2, "", 0, 0, 0, 0, 0, 0, ""},
        ScanCase{"ownerCutTo66", {"-SHOWBIND", "f", "/O" + k70}, 2, k70.substr(0, 66), 0, 0, 0, 0, 0, 0, ""},
        ScanCase{"version95Then8", {"-CLONE", "a", "b", "/V95", "/V8"}, 3, "", 0, 0, 0x95, 0, 0, 0, ""},
        ScanCase{"version8Then77", {"-CLONE", "a", "b", "/V8", "/V77"}, 3, "", 0, 0, 0x80, 0, 0, 0, ""},
        ScanCase{"version950ReadsTwoCharacters", {"-CLONE", "a", "b", "/V950"}, 3, "", 0, 0, 0x95, 0, 0, 0, ""},
        ScanCase{"version1Unknown", {"-CLONE", "a", "b", "/V1"}, 3, "", 0, 0, 0, 0, 0, 0, ""},
        ScanCase{"versionMinus1", {"-CLONE", "a", "b", "/v-1"}, 3, "", 0, 0, 0xFF, 0, 0, 0, ""},
        ScanCase{"version13And90And5", {"-CLONE", "a", "b", "/V13", "/V90", "/V5"}, 3, "", 0, 0, 0xD0, 0, 0, 0, ""},
        ScanCase{"debug", {"-SAVE", "a", "b", "0", "/D"}, 4, "", 0, 0, 0, 0, 0, 1, ""},
        ScanCase{"debugDoubleLowerCase", {"-SAVE", "a", "b", "0", "/dd"}, 4, "", 0, 0, 0, 0, 0, 2, ""},
        ScanCase{"debugOtherThirdCharacter", {"-SAVE", "a", "b", "0", "/DX"}, 4, "", 0, 0, 0, 0, 0, 1, ""},
        ScanCase{"unknownAndBareSlashCounted", {"-SAVE", "a", "/", "/Q", "/Z9"}, 2, "", 0, 0, 0, 0, 0, 0, ""},
        ScanCase{"absolutePathsAreNotOptions", {"-SAVE", "/data/a.mkd", "/tmp/a.unf", "0", "/x"}, 4, "", 0, 0, 0, 0, 252, 0,
                 "Using EXCLUSIVE Option...\n"},
        ScanCase{"optionAmongPositionals", {"-DELETE", "/X", "file"}, 2, "", 0, 0, 0, 0, 252, 0,
                 "Using EXCLUSIVE Option...\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RunOptions, ForwardPassUnlessOnlyBackwardRequested) {
  RunOptions o;
  EXPECT_TRUE(o.forwardPass());
  o.readBackward = 1;
  EXPECT_FALSE(o.forwardPass());
  o.readForward = 1;
  EXPECT_TRUE(o.forwardPass());
}

}  // namespace
}  // namespace vorlan

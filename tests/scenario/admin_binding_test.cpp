// -SHOWBIND, -UNBIND and -COPYBIND on real files, the blocks checked with
// btfile afterwards, and read failures through the test engine.
#include <gtest/gtest.h>

#include <string>

#include "scenario/transfer_helpers.h"

namespace vorlan::testing {
namespace {

const std::string kNoBlock(512, '0');

// A whole 256-byte block in hexadecimal: the version, the database name,
// then a tail that must travel unchanged.
std::string blockHex(uint32_t version, const std::string& dbName) {
  std::string bytes(256, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(version >> (8 * i));
  bytes.replace(4, dbName.size(), dbName);
  for (size_t i = 52; i < 256; ++i) bytes[i] = static_cast<char>(i);
  return hexOf(bytes);
}

std::string blockOf(const std::string& file) {
  ProcessResult r = btfile({"getbind", file});
  EXPECT_EQ(r.status, 0) << r.err;
  return r.out.substr(0, r.out.find('\n'));
}

const std::string kShown700 =
    "\nMiscData Record Currently In File:\n  Version      : 700\n  DBName       : SHIPPING\n"
    "  Table ID     : \n  Primary Keys : 00000000\n  Foreign Keys : 00000000\n"
    "  Trigger Flags: 00000000\n";

class Binding : public ::testing::Test {
 protected:
  void SetUp() override { freshFiles(); }

  // Both files made afresh; the target bound to an old block.
  void freshFiles() {
    source = dir.file("SOURCE.MKD");
    target = dir.file("TARGET.MKD");
    for (const std::string& f : {source, target})
      mustBtfile({"create", f, "--record-length", "8", "--key", "1:4:integer", "--replace"});
    mustBtfile({"setbind", target, blockHex(700, "OLDBINDING")});
  }

  // The source's block: "" leaves it without one.
  void bindSource(const std::string& hex) {
    if (!hex.empty()) mustBtfile({"setbind", source, hex});
  }

  TempDir dir;
  std::string source, target;
};

struct BlockCase {
  const char* what;
  std::string hex;    // the source's block, "" for none
  std::string shown;  // what every command prints of it
};

std::vector<BlockCase> blockCases() {
  return {
      {"no block", "", "\nNo MiscData Record Currently In File.\n"},
      {"version 700", blockHex(700, "SHIPPING"), kShown700},
      {"version 600", blockHex(600, "SHIPPING"), "\nUnknown MiscData Version (600).\n"},
      {"negative version", blockHex(0xFFFFFFFF, "X"), "\nUnknown MiscData Version (-1).\n"},
  };
}

TEST_F(Binding, ShowPrintsTheBlockAndChangesNothing) {
  for (const BlockCase& c : blockCases()) {
    SCOPED_TRACE(c.what);
    freshFiles();
    bindSource(c.hex);
    ProcessResult r = runVorlanProcess({"-SHOWBIND", source});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, c.shown);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(blockOf(source), c.hex.empty() ? kNoBlock : c.hex);
  }
}

TEST_F(Binding, UnbindRemovesWhateverTheBlockHeld) {
  for (const BlockCase& c : blockCases()) {
    SCOPED_TRACE(c.what);
    freshFiles();
    bindSource(c.hex);
    ProcessResult r = runVorlanProcess({"-UNBIND", source});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, c.shown + "\nMiscData block removed from " + source + ".\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(blockOf(source), kNoBlock);
  }
}

TEST_F(Binding, CopyWritesTheWholeRawBlockIntoTheTarget) {
  for (const BlockCase& c : blockCases()) {
    SCOPED_TRACE(c.what);
    freshFiles();
    bindSource(c.hex);
    ProcessResult r = runVorlanProcess({"-COPYBIND", source, target});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              c.shown + "\nMiscData block moved from " + source + " to " + target + ".\n");
    EXPECT_EQ(r.err, "");
    // A source without a block gives the target a block of zeros.
    std::string expected = c.hex.empty() ? kNoBlock : c.hex;
    EXPECT_EQ(blockOf(target), expected);
    EXPECT_EQ(blockOf(source), expected);
  }
}

TEST_F(Binding, AFailedReadChangesNoFile) {
  std::string bound = blockHex(700, "SHIPPING");
  bindSource(bound);
  std::string targetBlock = blockOf(target);
  struct Case {
    std::vector<std::string> arguments;
    std::string out, err;
  } cases[] = {
      {{"-SHOWBIND", source}, "",
       "Btrieve Error 2: Operation=41, File=" + source +
           "\nUnable to read MiscData block from the source file, Status = 2.\n"},
      {{"-UNBIND", source},
       "\nMiscData block removal from " + source + " failed with Status 2.\n",
       "Btrieve Error 2: Operation=41, File=" + source +
           "\nUnable to read MiscData block, Status = 2.\n"},
      {{"-COPYBIND", source, target},
       "\nMiscData block move from " + source + " to " + target + " failed with Status 2.\n",
       "Btrieve Error 2: Operation=41, File=" + source +
           "\nUnable to read MiscData block from the source file, Status = 2.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments[0]);
    ProcessResult r = runVorlanProcess(c.arguments, testEngine("op=41,key=128,status=2"));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(blockOf(source), bound);
    EXPECT_EQ(blockOf(target), targetBlock);
  }
}

TEST_F(Binding, AFailedWriteIsReportedWithItsStatus) {
  bindSource(blockHex(700, "SHIPPING"));
  std::string targetBlock = blockOf(target);
  ProcessResult r = runVorlanProcess({"-COPYBIND", source, target},
                                     testEngine("op=41,key=0,status=46,skip"));
  EXPECT_EQ(r.status, 46);
  EXPECT_EQ(r.out, kShown700 + "\nMiscData block move from " + source + " to " + target +
                       " failed with Status 46.\n");
  EXPECT_EQ(r.err, "Btrieve Error 46: Operation=41, File=" + target + "\n");
  EXPECT_EQ(blockOf(target), targetBlock);
}

}  // namespace
}  // namespace vorlan::testing

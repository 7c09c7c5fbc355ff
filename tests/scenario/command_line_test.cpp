// The command line as a user meets it: usage text, syntax messages, argument
// checks and -PARSE, run as a process.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/process.h"

namespace vorlan::testing {
namespace {

const char kUsage[] =
    "\nThe command syntax is as follows:\n\n"
    "VORLAN -CHECK <FileSpec> <DXFoldername>\n"
    "   Checks FileSpec to verify all files are included in the DX database.\n"
    "VORLAN -CHECKSTATS <FileSpec> <PartnerDataFolder>\n"
    "   Checks database file statistics from primary server against a partner folder.\n"
    "VORLAN -CLONE <NewFile> <SourceFile> [/options]\n"
    "   Clones (Creates) a new file from the source MKDE file.\n"
    "VORLAN -COPY <SourceFile> <TargetFile> [/options]\n"
    "   Copies records from the source MKDE file to the target.\n"
    "VORLAN -COPYBIND <SourceFile> <TargetFile> [/options]\n"
    "   Copies the MiscData block (binding) from the source MKDE file to the target.\n"
    "VORLAN -DELETE <DataFile>\n"
    "   Deletes a Btrieve file via the Btrieve Interface with NO confirmation.\n"
    "VORLAN -FORCE <PDC-Table> [/options]\n"
    "   Forces new timestamps into the PDC Table to replicate all records.\n"
    "VORLAN -LOAD <UNFFile> <DataFile> [/options]\n"
    "   Imports records and system data into the specified data file.\n"
    "VORLAN -PARSE <TimeStamp>\n"
    "   Displays the timestamp value as a time/date value.\n"
    "VORLAN -PURGE <PDC-Table> [/options]\n"
    "   Purges obituaries older than 30 days old from the PDC table.\n"
    "VORLAN -PURGEALL <PDC-Table> [/options]\n"
    "   Purges ALL outstanding obituaries from the PDC table.\n"
    "VORLAN -RECOVER <DataFile> <UNFFile> [/options]\n"
    "   Recovers the database records and system data in physical order.\n"
    "VORLAN -RENAME <DataFile> <NewFileName>\n"
    "   Renames a Btrieve file via the Btrieve Interface.\n"
    "VORLAN -SAVE <DataFile> <UNFFile> <KeyNumber> [/options]\n"
    "   Exports the database records and system data in the given key order.\n"
    "VORLAN -SAVEONE <DataFile> <UNFFile> <SysDataValueInHex> [/options]\n"
    "   Exports ONE database record by its system data value.\n"
    "VORLAN -SHOWBIND <Filename> [/options]\n"
    "   Displays the MiscData block (binding) from the given file.\n"
    "VORLAN -UNBIND <Filename> [/options]\n"
    "   Removes the MiscData block (binding) from the given file.\n"
    "VORLAN -UPDATE <DataFile> [/options]\n"
    "   Updates all records in the datafile to replicate all records.\n"
    "VORLAN -ZAPPDC <DataFile> <PDC-Table> <KeyNumber> <Value>\n"
    "   Deletes a PDC Record for a given record in the primary file.\n"
    "\nThe following options are supported:\n"
    "   /O<owner> specifies the Btrieve file owner name.\n"
    "   /I Reads Btrieve files in the FORWARD direction.\n"
    "   /J Reads Btrieve files in the BACKWARD direction.\n"
    "   /V## (CLONE) Sets the File Version to 6, 7, 8, 9, 95, or 13 (-1=Existing).\n"
    "   /U (LOAD/COPY) will UPDATE existing recs with System Data (Def=InsertOnly).\n"
    "   /X Opens Btrieve files in EXCLUSIVE mode.\n";

const char kInvalid[] = "\nInvalid Command Option.  Run VORLAN to see options.\n";

TEST(CommandLine, NoArgumentsPrintsTheUsageText) {
  ProcessResult r = runVorlanProcess({});
  EXPECT_EQ(r.err, kUsage);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.status, 1);
}

struct SyntaxCase {
  const char* word;
  int arguments;
  const char* message;
};

const SyntaxCase kSyntax[] = {
    {"-PARSE", 1, "Syntax:\nVORLAN -PARSE <Timestamp>\n"},
    {"-FORCE", 1, "Syntax:\nVORLAN -FORCE <PDC-Table> [/options]\n"},
    {"-PURGE", 1, "Syntax:\nVORLAN -PURGE <PDC-Table> [/options]\n"},
    {"-PURGEALL", 1, "Syntax:\nVORLAN -PURGEALL <PDC-Table> [/options]\n"},
    {"-UPDATE", 1, "Syntax:\nVORLAN -UPDATE <DataFile> [/options]\n"},
    {"-RECOVER", 2, "Syntax:\nVORLAN -RECOVER <DataFile> <UNFFile> [/options]\n"},
    {"-SAVE", 3, "Syntax:\nVORLAN -SAVE <DataFile> <UNFFile> <KeyNumber> [/options]\n"},
    {"-COPY", 2, "Syntax:\nVORLAN -COPY <SourceFile> <TargetFile> [/options]\n"},
    {"-SAVEONE", 3, "Syntax:\nVORLAN -SAVEONE <DataFile> <UNFFile> <SysDataValueInHex> [/options]\n"},
    {"-LOAD_OLD", 2, "Syntax:\nVORLAN -OLD_LOAD <UNFFile> <DataFile> [/options]\n"},
    {"-LOAD", 2, "Syntax:\nVORLAN -LOAD <UNFFile> <DataFile> [/options]\n"},
    {"-CLONE", 2, "Syntax:\nVORLAN -CLONE <NewFile> <SourceFile> [/V##]\n"},
    {"-CHECK", 2, "Syntax:\nVORLAN -CHECK <FileSpec> <DXFoldername>\n"},
    {"-CHECKSTATS", 2, "Syntax:\nVORLAN -CHECKSTATS <FileSpec> <PartnerDataFolder>\n"},
    {"-RENAME", 2, "Syntax:\nVORLAN -RENAME <DataFile> <NewFileName>\n"},
    {"-DELETE", 1, "Syntax:\nVORLAN -DELETE <DataFile>\n"},
    {"-ZAPPDC", 4, "Syntax:\nVORLAN -ZAPPDC <DataFile> <PDC-Table> <KeyNumber> <Value>\n"},
    {"-UNBIND", 1, "Syntax:\nVORLAN -UNBIND <Filename> [/options]\n"},
    {"-SHOWBIND", 1, "Syntax:\nVORLAN -SHOWBIND <Filename> [/options]\n"},
    {"-COPYBIND", 2, "Syntax:\nVORLAN -COPYBIND <SourceFile> <TargetFile> [/options]\n"},
};

TEST(CommandLine, EveryCommandWordChecksItsArgumentCount) {
  for (const SyntaxCase& c : kSyntax) {
    SCOPED_TRACE(c.word);
    // The word alone, and one argument too many (options are not counted).
    ProcessResult alone = runVorlanProcess({c.word});
    EXPECT_EQ(alone.err, c.message);
    EXPECT_EQ(alone.out, "");
    EXPECT_EQ(alone.status, 1);
    std::vector<std::string> tooMany{c.word};
    for (int i = 0; i <= c.arguments; ++i) tooMany.push_back("arg" + std::to_string(i));
    tooMany.push_back("/I");
    ProcessResult extra = runVorlanProcess(tooMany);
    EXPECT_EQ(extra.err, c.message);
    EXPECT_EQ(extra.status, 1);
  }
}

TEST(CommandLine, CommandWordsIgnoreCaseButMustBeWhole) {
  ProcessResult lower = runVorlanProcess({"-copybind"});
  EXPECT_EQ(lower.err, "Syntax:\nVORLAN -COPYBIND <SourceFile> <TargetFile> [/options]\n");
  ProcessResult shortened = runVorlanProcess({"-SAV", "a", "b", "0"});
  EXPECT_EQ(shortened.err, kInvalid);
  EXPECT_EQ(shortened.status, 1);
}

TEST(CommandLine, OptionMessagesComeBeforeTheInvalidCommand) {
  ProcessResult r = runVorlanProcess({"-NOSUCH", "/U"});
  EXPECT_EQ(r.err, std::string("Using UPDATE Option...\n") + kInvalid);
  EXPECT_EQ(r.status, 1);
}

TEST(CommandLine, EmptyFileArgumentIsRefusedBeforeAnythingIsOpened) {
  ProcessResult r = runVorlanProcess({"-DELETE", ""}, withEnvironment({{"VORLAN_ENGINE", "/nonexistent/lib.so"}}));
  EXPECT_EQ(r.err, "\nInvalid File Name <>.\n");
  EXPECT_EQ(r.status, 1);
}

TEST(CommandLine, OverlongNamesAreRefusedNotTruncated) {
  ProcessResult longArgument = runVorlanProcess({"-RENAME", std::string(256, 'a'), "b"});
  EXPECT_NE(longArgument.err.find("at most 255 characters"), std::string::npos) << longArgument.err;
  EXPECT_EQ(longArgument.status, 1);
  ProcessResult longSession = runVorlanProcess({"-SHOWBIND", std::string(128, 'a')});
  EXPECT_NE(longSession.err.find("at most 127 characters"), std::string::npos) << longSession.err;
  EXPECT_EQ(longSession.status, 1);
  ProcessResult longFolder = runVorlanProcess({"-CHECK", "*.MKD", std::string(248, 'd')});
  EXPECT_NE(longFolder.err.find("256 characters"), std::string::npos) << longFolder.err;
  EXPECT_EQ(longFolder.status, 1);
}

struct ParseCase {
  const char* argument;
  const char* zone;
  const char* err;
};

TEST(CommandLine, ParseShowsTheTimestampInTheZoneInForce) {
  const ParseCase cases[] = {
      {"0", "UTC0", "Hex Value is 0000000000000000\n[0001-01-01 00:00:00.0000000]\n"},
      {"630822816000000000", "UTC0", "Hex Value is 08C1220247E44000\n[2000-01-01 00:00:00.0000000]\n"},
      {"630822816000000000", "XXX-1", "Hex Value is 08C1220247E44000\n[2000-01-01 01:00:00.0000000]\n"},
      {"0x08DC392CB1A10F87", "EST5", "Hex Value is 08DC392CB1A10F87\n[2024-02-29 08:45:30.1234567]\n"},
      {"638448111301234567", "XXX-5:30", "Hex Value is 08DC392CB1A10F87\n[2024-02-29 19:15:30.1234567]\n"},
      {"638448111301234567", "NST3:30", "Hex Value is 08DC392CB1A10F87\n[2024-02-29 10:15:30.1234567]\n"},
      {"9223372036854775807", "UTC0", "Hex Value is 7FFFFFFFFFFFFFFF\n[29228-09-14 02:48:05.4775807]\n"},
      {"0X10", "UTC0", "Hex Value is 0000000000000010\n[0001-01-01 00:00:00.0000016]\n"},
      {"-1", "UTC0", "Hex Value is FFFFFFFFFFFFFFFF\n[58456-05-28 05:36:10.9551615]\n"},
      {"nonsense", "UTC0", "Hex Value is 0000000000000000\n[0001-01-01 00:00:00.0000000]\n"},
  };
  for (const ParseCase& c : cases) {
    SCOPED_TRACE(std::string(c.argument) + " in " + c.zone);
    ProcessResult r = runVorlanProcess({"-PARSE", c.argument, "/D"}, withEnvironment({{"TZ", c.zone}}));
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.status, 0);
  }
}

}  // namespace
}  // namespace vorlan::testing

namespace vorlan::testing {
namespace {

TEST(EngineChoice, VorlanEngineNamesTheClientLibrary) {
  TempDir dir;
  std::string file = dir.file("F.MKD");
  ProcessResult made = runProcess({BTFILE_BIN, "create", file, "--record-length", "8", "--key", "1:4:integer"});
  ASSERT_EQ(made.status, 0) << made.err;
  const char kNotLoaded[] = "Please load the Btrieve Record Manager\n";
  struct {
    const char* engine;
    int status;
    const char* err;
  } cases[] = {
      {"/nonexistent/libbtrieve.so", 1, kNotLoaded},
      {"libm.so.6", 1, kNotLoaded},  // loads, but has no BTRCALL
      {EMBEDDED_LIB, 0, ""},
      {"embedded", 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.engine);
    ProcessResult r = runVorlanProcess({"-SHOWBIND", file}, withEnvironment({{"VORLAN_ENGINE", c.engine}}));
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.err, c.err);
    if (c.status == 0) {
      EXPECT_NE(r.out.find("MiscData"), std::string::npos) << r.out;
    }
  }
}

}  // namespace
}  // namespace vorlan::testing

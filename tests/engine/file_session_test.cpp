#include "engine/file_session.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "engine/byte_order.h"
#include "engine/file_stats.h"
#include "engine/run_options.h"
#include "support/capture.h"
#include "support/scripted_engine.h"

namespace vorlan {
namespace {

using testing::OutputCapture;
using testing::ScriptedAnswer;
using testing::ScriptedEngine;

class Sessions : public ::testing::Test {
 protected:
  void SetUp() override {
    resetSessionsForTesting();
    resetFileStatsForTesting();
    runOptions = RunOptions{};
  }
  void TearDown() override { runOptions = RunOptions{}; }

  // A Version answer of 15 bytes with the three entries.
  void answerVersion(int major1, int minor1, int major3, int minor3, int status = 0,
                     int length = 15) {
    engine.on(26, {status, length, ScriptedEngine::versionEntries(major1, minor1, 7, 0, major3, minor3), ""});
  }

  ScriptedEngine engine;
};

TEST_F(Sessions, QuietAtVerbosityZero) {
  answerVersion(14, 10, 14, 10);
  OutputCapture capture;
  EXPECT_EQ(openSession("DATA.MKD", "", 1), 0);
  closeSession(1);
  EXPECT_EQ(capture.out(), "");
  EXPECT_EQ(capture.err(), "");
  ASSERT_EQ(engine.calls.size(), 4u);
  EXPECT_EQ(engine.calls[0].operation, 0u);
  EXPECT_EQ(engine.calls[0].key, "DATA.MKD");
  EXPECT_EQ(engine.calls[1].operation, 26u);
  EXPECT_EQ(engine.calls[2].operation, 1u);
  EXPECT_EQ(engine.calls[3].operation, 28u);
  EXPECT_EQ(engineExAvailable, 1);
  EXPECT_EQ(deleteExtendedAvailable, 1);
}

TEST_F(Sessions, VerbosityOneTracesOpensClosesAndWideCalls) {
  runOptions.verbosity = 1;
  answerVersion(14, 10, 13, 0);
  OutputCapture capture;
  EXPECT_EQ(openSession("DATA.MKD", "", 1), 0);
  loadFileStats(1);
  closeSession(1);
  EXPECT_EQ(capture.err(),
            "Opening Btrieve File <DATA.MKD>\n"
            "Version Call: Status=0, 14.10(N), 07.00(D), 13.00(T)\n"
            "BtrvEx IS available, DeleteExtended IS NOT available!\n"
            "Closing Btrieve File\n");
  EXPECT_EQ(capture.out(), "Op: 15, Buflen: 36612, KeyNum: -1 Status: 0\n");
}

TEST_F(Sessions, VerbosityTwoTracesEveryStandardCall) {
  runOptions.verbosity = 2;
  runOptions.openMode = kExclusiveOpenMode;
  answerVersion(13, 29, 14, 10);
  OutputCapture capture;
  EXPECT_EQ(openSession("DATA.MKD", "secret", 1), 0);
  EXPECT_EQ(capture.out(),
            "Op: 0, Buflen: 6, KeyNum: 252 Status: 0, OutLen = 6\n"
            "Op: 26, Buflen: 15, KeyNum: 0 Status: 0, OutLen = 15\n");
  EXPECT_EQ(engine.calls[0].keyNumber, -4);  // the engine reads 252 as a signed byte
  EXPECT_EQ(engine.calls[0].data, "secret");
  EXPECT_EQ(engineExAvailable, 0);
}

TEST_F(Sessions, EmptyOwnerOpensWithLengthZero) {
  runOptions.verbosity = 2;
  answerVersion(14, 10, 14, 10);
  OutputCapture capture;
  openSession("F", "", 1);
  EXPECT_EQ(capture.out().substr(0, 50), "Op: 0, Buflen: 0, KeyNum: 0 Status: 0, OutLen = 0\n");
}

TEST_F(Sessions, OpenFailuresReportOnce) {
  struct {
    int status;
    const char* err;
  } cases[] = {
      {51, "\nFile protected by owner name. Use /O switch to specify correct owner.\n"},
      {30, "\nDATA.MKD: Not a Btrieve File\n\nUnable to open Data File <DATA.MKD>, Status 30.\n"},
      {12, "\nUnable to open Data File <DATA.MKD>, Status 12.\n"},
      {2, "Btrieve Error 2: Operation=0, File=DATA.MKD\n\nUnable to open Data File <DATA.MKD>, Status 2.\n"},
      {-3, "Btrieve Error -3: Operation=0, File=DATA.MKD\n\nUnable to open Data File <DATA.MKD>, Status 65533.\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.status);
    ScriptedEngine failing;
    failing.on(0, {c.status, -1, "", ""});
    OutputCapture capture;
    EXPECT_EQ(openSession("DATA.MKD", "", 1), 1);
    EXPECT_EQ(capture.err(), c.err);
    EXPECT_EQ(failing.calls.size(), 1u) << "no probe after a failed open";
    EXPECT_EQ(engineExAvailable, -1);
  }
}

TEST_F(Sessions, StatusReportsOfTheStandardEntry) {
  struct {
    int status;
    const char* err;
  } cases[] = {
      {0, ""}, {3, ""}, {4, ""}, {5, ""}, {9, ""}, {12, ""}, {22, ""}, {60, ""}, {64, ""}, {146, ""},
      {6, "\nKey Number 3 Not Found.\n"},
      {103, "Btrieve Error 103: Operation=23, File=\n"},
  };
  for (const auto& c : cases) {
    engine.on(23, {c.status, -1, "", ""}, 1);
    FileSession& s = sessionTable[1];  // never opened: the file name is empty
    s.operation = 23;
    s.keyNumber = 3;
    OutputCapture capture;
    EXPECT_EQ(callEngine(s), c.status);
    EXPECT_EQ(capture.err(), c.err) << c.status;
  }
}

TEST_F(Sessions, WideEntryReportsNothing) {
  engine.on(23, {103, 7, "", ""});
  FileSession& s = sessionTable[1];
  s.operation = 23;
  s.dataLength = 100;
  OutputCapture capture;
  EXPECT_EQ(callEngineEx(s), 103);
  EXPECT_EQ(capture.err(), "");
  EXPECT_EQ(s.dataLength, 7);
  EXPECT_TRUE(engine.calls[0].wide);
}

TEST_F(Sessions, StatusTwentyEndsTheProcess) {
  EXPECT_EXIT(
      {
        ScriptedEngine inactive;
        inactive.on(-1, {20, -1, "", ""});
        openSession("DATA.MKD", "", 1);
      },
      ::testing::ExitedWithCode(1), "^Please load the Btrieve Record Manager\n$");
}

TEST_F(Sessions, EngineLibraryThatCannotBeLoaded) {
  ::testing::FLAGS_gtest_death_test_style = "threadsafe";  // a fresh process picks the engine
  EXPECT_EXIT(
      {
        setEngineForTesting(nullptr);
        setenv("VORLAN_ENGINE", "/nonexistent/libbtrieve.so", 1);
        openSession("DATA.MKD", "", 1);
      },
      ::testing::ExitedWithCode(1), "^Please load the Btrieve Record Manager\n$");
}

TEST_F(Sessions, VersionProbeThresholds) {
  struct {
    int major1, minor1, major3, minor3, status, length;
    int ex, deleteEx;
  } cases[] = {
      {13, 29, 14, 10, 0, 15, 0, 1}, {13, 30, 14, 9, 0, 15, 1, 0}, {14, 0, 15, 0, 0, 15, 1, 1},
      {12, 99, 14, 10, 0, 15, 0, 1}, {14, 10, 14, 10, 0, 10, 1, 0}, {14, 10, 14, 10, 0, 0, 0, 0},
      {14, 10, 14, 10, 22, 15, 0, 0}, {14, 10, 14, 10, 0, 11, 1, 1},
  };
  for (const auto& c : cases) {
    resetSessionsForTesting();
    ScriptedEngine e;
    e.on(26, {c.status, c.length, ScriptedEngine::versionEntries(c.major1, c.minor1, 0, 0, c.major3, c.minor3), ""});
    OutputCapture capture;
    ASSERT_EQ(openSession("F", "", 1), 0);
    EXPECT_EQ(engineExAvailable, c.ex) << c.major1 << "." << c.minor1 << " length " << c.length;
    EXPECT_EQ(deleteExtendedAvailable, c.deleteEx) << c.major3 << "." << c.minor3 << " length " << c.length;
  }
}

TEST_F(Sessions, ProbeRunsOnceAtTheFirstSuccessfulOpen) {
  engine.on(0, {12, -1, "", ""}, 1);
  answerVersion(14, 10, 14, 10);
  OutputCapture capture;
  EXPECT_EQ(openSession("MISSING", "", 1), 1);
  EXPECT_EQ(openSession("A", "", 1), 0);
  EXPECT_EQ(openSession("B", "", 2), 0);
  int probes = 0;
  for (const auto& call : engine.calls) probes += call.operation == 26;
  EXPECT_EQ(probes, 1);
}

TEST_F(Sessions, VersionTraceShowsWhatTheAnswerCovers) {
  runOptions.verbosity = 1;
  engine.on(26, {0, 5, ScriptedEngine::versionEntries(9, 5, 7, 0, 6, 1), ""});
  OutputCapture capture;
  openSession("F", "", 1);
  EXPECT_EQ(capture.err(),
            "Opening Btrieve File <F>\nVersion Call: Status=0, 09.05(N)\n"
            "BtrvEx IS NOT available, DeleteExtended IS NOT available!\n");
}

TEST_F(Sessions, QuietOpenSetsOnlyTheWideFlag) {
  runOptions.verbosity = 1;
  engine.on(0, {30, -1, "", ""}, 1);
  answerVersion(14, 10, 14, 10);
  OutputCapture capture;
  EXPECT_EQ(openSessionQuiet("BAD", "", 1), 30);
  EXPECT_EQ(openSessionQuiet("GOOD", "", 1), 0);
  EXPECT_EQ(capture.err(),
            "Opening Btrieve File <BAD>\nOpening Btrieve File <GOOD>\n"
            "Version Call: Status=0, 14.10(N), 07.00(D), 14.10(T)\nBtrvEx IS available!\n");
  EXPECT_EQ(engineExAvailable, 1);
  EXPECT_EQ(deleteExtendedAvailable, -1);
}

TEST_F(Sessions, ClosingTwiceIsHarmless) {
  answerVersion(14, 10, 14, 10);
  engine.on(1, {0, -1, "", ""}, 1);
  engine.on(1, {3, -1, "", ""}, 1);
  OutputCapture capture;
  openSession("F", "", 1);
  EXPECT_EQ(closeSession(1), 0);
  EXPECT_EQ(closeSession(1), 0);
  EXPECT_EQ(capture.err(), "");
  ASSERT_EQ(engine.calls.size(), 6u);
  EXPECT_EQ(engine.calls[4].operation, 1u);
  EXPECT_EQ(engine.calls[5].operation, 28u);
}

std::string statAnswer(uint16_t flags, uint32_t records) {
  std::string bytes(16, '\0');
  writeLe32(bytes.data() + 6, records);
  writeLe16(bytes.data() + 10, flags);
  return bytes;
}

TEST_F(Sessions, SystemDataModeFromTheFileFlags) {
  struct {
    uint16_t flags;
    int mode;
  } cases[] = {{0x0000, 0}, {0x0200, 1}, {0x0201, 1}, {0x1200, 0}, {0x1000, 0},
               {0x4000, 2}, {0x4200, 2}, {0x5200, 2}};
  for (const auto& c : cases) {
    resetFileStatsForTesting();
    ScriptedEngine e;
    e.on(15, {0, 16, statAnswer(c.flags, 1), ""});
    EXPECT_EQ(systemDataMode(1), c.mode) << std::hex << c.flags;
    EXPECT_EQ(systemDataMode(1), c.mode);
    EXPECT_EQ(e.calls.size(), 1u) << "loaded once per slot";
  }
}

TEST_F(Sessions, RecordCountPrefersTheWideStatistics) {
  std::string wide(16, '\0');
  writeLe64(wide.data() + 8, 5000000000ULL);
  engine.on(15, {0, 16, statAnswer(0x0200, 0xFFFFFFFF), ""}, 2);  // both standard Stats
  engine.on(15, {0, 16, wide, ""}, 1);
  loadFileStats(1);
  EXPECT_EQ(loadedRecordCount(), UINT64_MAX) << "standard count read as signed and widened";
  engineExAvailable = 1;
  loadFileStats(1);
  EXPECT_EQ(extendedFileStatsSlot, 1);
  EXPECT_EQ(loadedRecordCount(), 5000000000ULL);
  EXPECT_TRUE(engine.calls.back().wide);
  EXPECT_EQ(engine.calls.back().dataLength, kExtendedFileStatsSize);
}

TEST_F(Sessions, FailedStatLeavesTheSlotMarkers) {
  engine.on(15, {0, 16, statAnswer(0x0200, 3), ""}, 1);
  engine.on(15, {2, 0, "", ""});
  OutputCapture capture;
  loadFileStats(1);
  loadFileStats(2);
  EXPECT_EQ(fileStatsSlot, 1);
  EXPECT_EQ(systemDataMode(2), 1) << "reads the flags the buffer still holds";
}

}  // namespace
}  // namespace vorlan

#include "admin/clone.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/file_session.h"
#include "engine/file_stats.h"
#include "engine/run_options.h"
#include "support/capture.h"
#include "support/scripted_engine.h"

namespace vorlan {
namespace {

using testing::OutputCapture;
using testing::ScriptedEngine;

class CloneCalls : public ::testing::Test {
 protected:
  void SetUp() override {
    resetSessionsForTesting();
    resetFileStatsForTesting();
    runOptions = RunOptions{};
  }
};

// A definition of 40 bytes with a recognisable byte at every offset.
std::string definition() {
  std::string d;
  for (int i = 0; i < 40; ++i) d += static_cast<char>(0xA0 + i);
  return d;
}

TEST_F(CloneCalls, CreateGetsTheStatAnswerWithVersionAndCountReplaced) {
  struct Case {
    bool wide;
    uint8_t version;
  } cases[] = {{false, 0x00}, {false, 0xFF}, {true, 0x95}, {true, 0xFF}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.wide ? "wide " : "standard ") + std::to_string(c.version));
    ScriptedEngine engine;  // fresh rules for each case
    engine.on(15, {0, 40, definition(), ""}, 1);
    OutputCapture capture;
    int32_t status = c.wide ? cloneFileEx("NEW.MKD", c.version) : cloneFile("NEW.MKD", c.version);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(capture.out(), "");
    EXPECT_EQ(capture.err(), "");

    ASSERT_EQ(engine.calls.size(), 3u);
    const testing::EngineCall &stat = engine.calls[0], &close = engine.calls[1],
                              &create = engine.calls[2];
    for (const testing::EngineCall& call : engine.calls) EXPECT_EQ(call.wide, c.wide);
    EXPECT_EQ(stat.operation, 15u);
    EXPECT_EQ(stat.keyNumber, -1);
    EXPECT_EQ(stat.dataLength, c.wide ? kExtendedFileStatsSize : kFileStatsSize);
    EXPECT_EQ(close.operation, 1u);
    EXPECT_EQ(create.operation, 14u);
    EXPECT_EQ(create.keyNumber, 0);
    EXPECT_EQ(create.key, "NEW.MKD");
    EXPECT_EQ(create.dataLength, 40u);  // the length the Stat returned

    std::string expected = definition();
    if (c.wide) {
      expected.replace(8, 8, std::string(8, '\0'));
      expected[18] = static_cast<char>(c.version);
      expected[19] = '\0';  // widened without sign
    } else {
      expected[5] = static_cast<char>(c.version);
      expected.replace(6, 4, std::string(4, '\0'));
    }
    EXPECT_EQ(create.data, expected);
  }
}

TEST_F(CloneCalls, RefusalsAndFailuresCreateNothing) {
  struct Case {
    const char* what;
    bool wide;
    std::string newName;
    int statStatus, createStatus;
    int32_t result;
    std::string err;
    size_t calls;
  } cases[] = {
      {"standard Stat fails", false, "N.MKD", 2, 0, 2,
       "Btrieve Error 2: Operation=15, File=\nUnable to obtain file statistics, Status = 2.\n", 1},
      {"wide Stat fails, reported once", true, "N.MKD", 2, 0, 2,
       "Unable to obtain file statistics, Status = 2.\n", 1},
      {"Create fails", true, "N.MKD", 0, 59, 59, "Unable to create new file, Status = 59.\n", 3},
      {"new name of 255 characters", false, std::string(255, 'n'), 0, 0, 1,
       "\nNew file name <" + std::string(40, 'n') +
           "...> is too long: at most 254 characters can be created.\n",
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedEngine engine;
    engine.on(15, {c.statStatus, 40, definition(), ""}, 1);
    engine.on(14, {c.createStatus, -1, "", ""}, 1);
    OutputCapture capture;
    int32_t status = c.wide ? cloneFileEx(c.newName.c_str(), 0) : cloneFile(c.newName.c_str(), 0);
    EXPECT_EQ(status, c.result);
    EXPECT_EQ(capture.out(), "");
    EXPECT_EQ(capture.err(), c.err);
    EXPECT_EQ(engine.calls.size(), c.calls);
  }
}

}  // namespace
}  // namespace vorlan

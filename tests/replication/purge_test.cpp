// The purge in the test's own process: on real PDC tables of the embedded
// engine with a cutoff fixed by the test, in both engine forms and through
// both entries; and on a scripted engine for the answers a healthy engine
// does not give.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "engine/byte_order.h"
#include "engine/embedded_engine.h"
#include "engine/engine_interface.h"
#include "engine/file_session.h"
#include "engine/file_stats.h"
#include "engine/run_options.h"
#include "replication/maintenance_status.h"
#include "replication/purge_cutoff.h"
#include "shell/progress.h"
#include "support/capture.h"
#include "support/process.h"
#include "support/scripted_engine.h"

namespace vorlan {
namespace {

using testing::OutputCapture;
using testing::ScriptedAnswer;
using testing::ScriptedEngine;

constexpr uint64_t kCutoff = 638448912000000000ULL;  // 2024-03-01 12:00:00 UTC
constexpr uint64_t kDay = 864000000000ULL;

struct PdcRow {
  uint32_t number;
  char state;
  uint64_t lastUpdated;
};

std::string pdcRecord(const PdcRow& row) {
  std::string r(48, '\0');
  writeLe64(r.data(), row.number);
  writeLe64(r.data() + 8, 0x0800000000000000ULL + row.number);
  r[30] = row.state;
  writeLe64(r.data() + 32, row.lastUpdated);
  return r;
}

// Calls on the embedded engine with a position block of the test's own.
struct DirectFile {
  unsigned char block[128] = {};
  int call(uint16_t operation, void* data, uint32_t length, void* key, int8_t keyNumber) {
    return embeddedEngine().standardCall(operation, block, data, &length, key, 255, keyNumber);
  }
};

// A PDC table: records of 48 bytes, key 0 the record number, key 1 the
// tracked value, key 2 LastUpdated (timestamp, duplicates, modifiable).
void makePdcTable(const std::string& path, const std::vector<PdcRow>& rows) {
  unsigned char definition[16 + 3 * 16] = {};
  writeLe16(definition, 48);
  writeLe16(definition + 2, 4096);
  definition[4] = 3;
  writeLe16(definition + 10, 0x0200);
  const struct {
    uint16_t position, flags;
    unsigned char type;
  } keys[] = {{1, 0x0100, 14}, {9, 0x0100, 14}, {33, 0x0103, 20}};
  for (int k = 0; k < 3; ++k) {
    unsigned char* segment = definition + 16 + 16 * k;
    writeLe16(segment, keys[k].position);
    writeLe16(segment + 2, 8);
    writeLe16(segment + 4, keys[k].flags);
    segment[10] = keys[k].type;
  }
  char name[256] = {};
  snprintf(name, sizeof name, "%s", path.c_str());
  DirectFile file;
  ASSERT_EQ(file.call(14, definition, sizeof definition, name, -1), 0);
  ASSERT_EQ(file.call(0, nullptr, 0, name, 0), 0);
  for (const PdcRow& row : rows) {
    std::string record = pdcRecord(row);
    unsigned char key[256] = {};
    ASSERT_EQ(file.call(2, record.data(), 48, key, 0), 0);
  }
  ASSERT_EQ(file.call(1, nullptr, 0, nullptr, 0), 0);
}

// The record numbers left in the table, in physical order.
std::string remaining(const std::string& path) {
  char name[256] = {};
  snprintf(name, sizeof name, "%s", path.c_str());
  DirectFile file;
  EXPECT_EQ(file.call(0, nullptr, 0, name, 0), 0);
  std::string numbers;
  unsigned char record[64] = {}, key[256] = {};
  for (int s = file.call(33, record, sizeof record, key, 0); s == 0;
       s = file.call(24, record, sizeof record, key, 0))
    numbers += std::to_string(readLe64(record)) + " ";
  file.call(1, nullptr, 0, nullptr, 0);
  return numbers;
}

void resetRun() {
  resetSessionsForTesting();
  resetFileStatsForTesting();
  resetSpinnerForTesting();
  runOptions = RunOptions{};
}

struct EngineForm {
  const char* name;
  int32_t wide, deleteExtended;
};
const EngineForm kForms[] = {
    {"wide entry, DeleteExtended", 1, 1},
    {"wide entry, Get Next Extended", 1, 0},
    {"standard entry, DeleteExtended", 0, 1},
    {"standard entry, Get Next Extended", 0, 0},
};

TEST(PurgeOnPdcTables, KeepsTheCutoffAndEverythingThatIsNotAnObituary) {
  const uint64_t c = kCutoff;
  struct Case {
    const char* name;
    std::vector<PdcRow> rows;
    PurgeMode mode;
    std::string left;  // record numbers, physical order
    uint64_t purged;
  } cases[] = {
      // Key 2 order: 1, 2, 3, 6, 4, 5. Records 1, 2 and 6 are not obituaries.
      {"aged: only the obituary before the cutoff",
       {{1, 'N', c - 10 * kDay}, {2, 'X', c - 5 * kDay}, {3, 'D', c - 1}, {4, 'D', c},
        {5, 'D', c + 1}, {6, 'N', c - 1}},
       PurgeMode::Aged, "1 2 4 5 6 ", 1},
      {"all: every obituary, whatever its age",
       {{1, 'N', c - 10 * kDay}, {2, 'X', c - 5 * kDay}, {3, 'D', c - 1}, {4, 'D', c},
        {5, 'D', c + 1}, {6, 'N', c - 1}},
       PurgeMode::All, "1 2 6 ", 3},
      // The first record in key 2 order goes in the first step.
      {"aged: first record an old obituary",
       {{1, 'D', c - 2 * kDay}, {2, 'D', c - 1}, {3, 'D', c}}, PurgeMode::Aged, "3 ", 2},
      {"aged: first record exactly at the cutoff", {{1, 'D', c}, {2, 'D', c + kDay}},
       PurgeMode::Aged, "1 2 ", 0},
      {"all: first record an obituary", {{1, 'D', c}, {2, 'D', c + kDay}}, PurgeMode::All, "", 2},
      {"aged: empty table", {}, PurgeMode::Aged, "", 0},
  };
  for (const EngineForm& form : kForms) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(form.name) + ": " + c.name);
      testing::TempDir dir;
      std::string path = dir.file("PDC.MKD");
      makePdcTable(path, c.rows);
      resetRun();
      ASSERT_EQ(openSession(path.c_str(), nullptr, 1), 0);
      engineExAvailable = form.wide;
      deleteExtendedAvailable = form.deleteExtended;
      int32_t result;
      std::string out, err;
      {
        OutputCapture capture;
        result = purgeObituariesBefore(c.mode, kCutoff);
        out = capture.out();
        err = capture.err();
      }
      closeSession(1);
      EXPECT_EQ(result, 0) << err;
      EXPECT_EQ(out, "Processing " + std::to_string(c.rows.size()) + " records...\nPurged Record Count: " +
                         std::to_string(c.purged) + "\n");
      EXPECT_EQ(err.find_first_not_of("-\\|/\b"), std::string::npos) << err;
      EXPECT_EQ(remaining(path), c.left);
    }
  }
}

// A Get Next Extended answer carrying one record: count, length, position,
// the first 48 bytes.
std::string foundAnswer(char state, uint64_t lastUpdated, int positionWidth) {
  std::string a(4 + size_t(positionWidth), '\0');
  writeLe16(a.data(), 1);
  writeLe16(a.data() + 2, 48);
  writeLe32(a.data() + 4, 7);
  return a + pdcRecord({7, state, lastUpdated});
}

std::string deletedAnswer(uint16_t count) {
  std::string a(2, '\0');
  writeLe16(a.data(), count);
  return a;
}

TEST(PurgeAnswers, CountsWhatWasDeletedAndDeletesOnlyWhatTheAnswerShows) {
  const std::string live = pdcRecord({1, 'N', kCutoff - kDay});
  struct Case {
    const char* name;
    bool deleteExtended;
    PurgeMode mode;
    std::vector<ScriptedAnswer> answers;  // of the extended calls, in order
    int deleteStatus;
    uint64_t purged;
    int32_t result;
    size_t deletes;  // Delete calls made
    const char* message;  // on standard error, "" for none
  } cases[] = {
      {"DeleteExtended: 60 goes on, a last 9 still counts", true, PurgeMode::All,
       {{60, 2, deletedAnswer(0), ""}, {0, 2, deletedAnswer(6400), ""}, {9, 2, deletedAnswer(5), ""}},
       0, 6405, 0, 0, ""},
      {"DeleteExtended: 64 ends the purge", true, PurgeMode::Aged,
       {{64, 2, deletedAnswer(3), ""}}, 0, 3, 0, 0, ""},
      {"DeleteExtended: success that deleted nothing is not asked again", true, PurgeMode::All,
       {{0, 2, deletedAnswer(0), ""}}, 0, 0, kMaintenanceIncomplete, 0,
       "DeleteExtended answered without deleting a record; the purge stops.\n"},
      {"DeleteExtended: an error without an answer", true, PurgeMode::All,
       {{2, 0, deletedAnswer(99), ""}}, 0, 0, kMaintenanceIncomplete, 0, "Btrieve Error 2"},
      {"Get Next Extended: each found obituary deleted", false, PurgeMode::Aged,
       {{60, 2, deletedAnswer(0), ""}, {0, -1, foundAnswer('D', kCutoff - 1, 4), ""},
        {9, 2, deletedAnswer(0), ""}},
       0, 1, 0, 1, ""},
      {"Get Next Extended: a failed Delete is not counted", false, PurgeMode::All,
       {{0, -1, foundAnswer('D', kCutoff, 4), ""}}, 84, 0, kMaintenanceIncomplete, 1,
       "Error 84 occurred deleting the record.\n"},
      {"Get Next Extended: a record that is not an obituary", false, PurgeMode::All,
       {{0, -1, foundAnswer('N', kCutoff - kDay, 4), ""}}, 0, 0, kMaintenanceIncomplete, 0,
       "is not an obituary to purge; it was not deleted.\n"},
      {"Get Next Extended: an obituary not older than the cutoff", false, PurgeMode::Aged,
       {{0, -1, foundAnswer('D', kCutoff, 4), ""}}, 0, 0, kMaintenanceIncomplete, 0,
       "is not an obituary to purge"},
      {"Get Next Extended: an answer without the record's bytes", false, PurgeMode::All,
       {{0, 30, foundAnswer('D', kCutoff, 4), ""}}, 0, 0, kMaintenanceIncomplete, 0,
       "is not an obituary to purge"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    resetRun();
    engineExAvailable = 0;
    deleteExtendedAvailable = c.deleteExtended ? 1 : 0;
    ScriptedEngine engine;
    engine.on(12, {0, 48, live, ""}, 1);
    engine.on(4, {c.deleteStatus, -1, "", ""});
    const int extended = c.deleteExtended ? 85 : 36;
    for (const ScriptedAnswer& a : c.answers) engine.on(extended, a, 1);
    int32_t result;
    std::string out, err;
    {
      OutputCapture capture;
      result = purgeObituariesBefore(c.mode, kCutoff);
      out = capture.out();
      err = capture.err();
    }
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(out, "Processing 0 records...\nPurged Record Count: " + std::to_string(c.purged) + "\n");
    if (*c.message != '\0') {
      EXPECT_NE(err.find(c.message), std::string::npos) << err;
    }
    size_t deletes = 0, extendedCalls = 0;
    for (const testing::EngineCall& call : engine.calls) {
      if (call.operation == 4) ++deletes;
      if (call.operation == uint32_t(extended)) {
        ++extendedCalls;
        EXPECT_EQ(call.dataLength, 64129u);
        EXPECT_EQ(call.keyNumber, 2);
      }
    }
    EXPECT_EQ(deletes, c.deletes);
    EXPECT_EQ(extendedCalls, c.answers.size());
    // The spinner turns once per extended call.
    if (c.result == 0) {
      EXPECT_EQ(size_t(std::count(err.begin(), err.end(), '\b')), extendedCalls) << err;
    }
  }
}

}  // namespace
}  // namespace vorlan

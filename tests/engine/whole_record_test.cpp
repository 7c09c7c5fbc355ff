#include "engine/whole_record.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/byte_order.h"
#include "engine/file_session.h"
#include "engine/file_stats.h"
#include "engine/run_options.h"
#include "support/capture.h"
#include "support/scripted_engine.h"

namespace vorlan {
namespace {

using testing::OutputCapture;
using testing::ScriptedEngine;

struct Delivered {
  uint16_t length;
  bool first, last;
  uint64_t sysData, updateSysData;
};

bool collect(void* context, const RecordPiece& piece) {
  static_cast<std::vector<Delivered>*>(context)->push_back(
      {piece.length, piece.first, piece.last, piece.systemData.sysData,
       piece.systemData.updateSysData});
  return true;
}

std::string le(uint64_t value, int width) {
  std::string bytes(size_t(width), '\0');
  for (int i = 0; i < width; ++i) bytes[size_t(i)] = char(value >> (8 * i));
  return bytes;
}

class WholeRecord : public ::testing::Test {
 protected:
  void SetUp() override {
    resetSessionsForTesting();
    resetFileStatsForTesting();
    runOptions = RunOptions{};
    engineExAvailable = 0;
  }

  void fileWithFlags(uint16_t flags) {
    writeLe16(fileStats + 10, flags);
    fileStatsSlot = 1;
  }

  // As if a record of `length` bytes had just been fetched into slot 1.
  WholeRecordResult read(int fetchStatus, uint16_t length, int keyPath,
                         const SystemData* given = nullptr) {
    sessionTable[1].dataLength = length;
    return readWholeRecord(fetchStatus, keyPath, given, collect, &pieces, &position);
  }

  void expectSlotReady(int keyPath) {
    EXPECT_EQ(sessionTable[1].dataBuffer, recordBuffer);
    EXPECT_EQ(sessionTable[1].keyBuffer, keyBuffer);
    EXPECT_EQ(sessionTable[1].dataLength, kRecordBufferSize);
    EXPECT_EQ(sessionTable[1].keyNumber, keyPath);
  }

  ScriptedEngine engine;
  std::vector<Delivered> pieces;
  RecordPosition position = 0;
};

TEST_F(WholeRecord, NoSystemDataMeansNoGetDirect) {
  fileWithFlags(0x1000);
  engine.on(22, {0, 4, le(0x1234, 4), ""});
  EXPECT_EQ(read(0, 77, 1), WholeRecordResult::Delivered);
  ASSERT_EQ(engine.calls.size(), 1u);
  EXPECT_EQ(engine.calls[0].operation, 22u);
  EXPECT_EQ(engine.calls[0].dataLength, 4u);
  ASSERT_EQ(pieces.size(), 1u);
  EXPECT_EQ(pieces[0].length, 77);
  EXPECT_TRUE(pieces[0].first && pieces[0].last);
  EXPECT_EQ(pieces[0].sysData, 0u);
  EXPECT_EQ(position, 0x1234u);
  expectSlotReady(1);
}

TEST_F(WholeRecord, ReadsBothSystemKeysThenRefetches) {
  fileWithFlags(0x4000);
  engine.on(22, {0, 4, le(0x0A0B0C0D, 4), ""});
  engine.onKey(23, 125, {22, 4, "", le(0x08DC2A1B3C4D5E6F, 8)});
  engine.onKey(23, 124, {22, 4, "", le(0x08DC2A1B3C4D5E70, 8)});
  engine.onKey(23, 2, {0, 50, "", ""});
  EXPECT_EQ(read(0, 50, 2), WholeRecordResult::Delivered);
  ASSERT_EQ(engine.calls.size(), 4u);
  for (int i = 1; i <= 2; ++i) {
    EXPECT_EQ(engine.calls[size_t(i)].dataLength, 4u) << "short request: only the position fits";
    EXPECT_EQ(engine.calls[size_t(i)].data, le(0x0A0B0C0D, 4));
  }
  EXPECT_EQ(engine.calls[3].dataLength, kRecordBufferSize);
  EXPECT_EQ(engine.calls[3].keyNumber, 2);
  ASSERT_EQ(pieces.size(), 1u);
  EXPECT_EQ(pieces[0].sysData, 0x08DC2A1B3C4D5E6Fu);
  EXPECT_EQ(pieces[0].updateSysData, 0x08DC2A1B3C4D5E70u);
  expectSlotReady(2);
}

TEST_F(WholeRecord, ModeOneNeverReadsTheUpdateValue) {
  fileWithFlags(0x0200);
  engine.onKey(23, 125, {22, 4, "", le(7, 8)});
  EXPECT_EQ(read(0, 10, 0), WholeRecordResult::Delivered);
  for (const auto& call : engine.calls) EXPECT_NE(call.keyNumber, 124);
  EXPECT_EQ(pieces[0].sysData, 7u);
  EXPECT_EQ(pieces[0].updateSysData, 0u);
}

TEST_F(WholeRecord, LongRecordsArriveInChunks) {
  struct {
    const char* name;
    std::vector<std::pair<int, int>> chunks;  // status and length of each chunk read
    std::vector<uint16_t> lengths;            // pieces delivered
    const char* err;
  } cases[] = {
      {"64130", {{0, 1}}, {64129, 1}, ""},
      {"128258", {{0, 64129}, {103, 0}}, {64129, 64129, 0},
       "Btrieve Error 103: Operation=23, File=DATA.MKD\n"},
      {"200000", {{0, 64129}, {0, 7613}}, {64129, 64129, 64129, 7613}, ""},
  };
  cases[2].chunks.insert(cases[2].chunks.begin(), {0, 64129});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedEngine e;
    pieces.clear();
    fileWithFlags(0x0200);
    snprintf(sessionTable[1].fileName, sizeof sessionTable[1].fileName, "DATA.MKD");
    e.on(22, {0, 4, le(99, 4), ""});
    e.onKey(23, 125, {22, 4, "", le(5, 8)});
    e.onKey(23, 0, {22, 64129, "", ""});
    for (auto [status, length] : c.chunks) e.onKey(23, -2, {status, length, "", ""}, 1);
    OutputCapture capture;
    EXPECT_EQ(read(22, 64129, 0), WholeRecordResult::Delivered);
    EXPECT_EQ(capture.err(), c.err);
    ASSERT_EQ(pieces.size(), c.lengths.size());
    for (size_t i = 0; i < pieces.size(); ++i) {
      EXPECT_EQ(pieces[i].length, c.lengths[i]);
      EXPECT_EQ(pieces[i].first, i == 0);
      EXPECT_EQ(pieces[i].last, i + 1 == pieces.size());
      EXPECT_EQ(pieces[i].sysData, 5u);
    }
    // Each chunk read asks for the bytes after those already delivered.
    uint32_t offset = 64129;
    for (const auto& call : e.calls) {
      if (call.keyNumber != -2) continue;
      std::string request = call.data.substr(0, 24);
      EXPECT_EQ(request.substr(0, 4), le(99, 4));
      EXPECT_EQ(request.substr(4), le(0xC0000000, 4) + le(1, 4) + le(offset, 4) + le(64129, 4) + le(0, 4));
      offset += 64129;
    }
    expectSlotReady(0);
  }
}

TEST_F(WholeRecord, ExactlyOneBufferIsOnePiece) {
  fileWithFlags(0x0200);
  engine.onKey(23, 0, {0, 64129, "", ""});
  EXPECT_EQ(read(0, 64129, 0), WholeRecordResult::Delivered);
  ASSERT_EQ(pieces.size(), 1u);
  EXPECT_TRUE(pieces[0].last);
  for (const auto& call : engine.calls) EXPECT_NE(call.keyNumber, -2);
}

TEST_F(WholeRecord, WideEntryUsesEightBytePositions) {
  engineExAvailable = 1;
  fileWithFlags(0x0200);
  engine.on(22, {0, 8, le(0x1122334455667788, 8), ""});
  engine.onKey(23, 125, {22, 8, "", le(3, 8)});
  engine.onKey(23, 0, {22, 64129, "", ""});
  engine.onKey(23, -2, {0, 10, "", ""});
  EXPECT_EQ(read(22, 64129, 0), WholeRecordResult::Delivered);
  for (const auto& call : engine.calls) {
    if (call.operation == 22) continue;
    EXPECT_TRUE(call.wide);
    EXPECT_EQ(call.data.substr(0, 8), le(0x1122334455667788, 8));
  }
  const auto& chunk = engine.calls.back();
  EXPECT_EQ(chunk.data.substr(8, 4), le(0xC0000000, 4)) << "descriptor after the 8-byte position";
  EXPECT_EQ(position, 0x1122334455667788u);
}

TEST_F(WholeRecord, FailuresAreReportedAndTheLoopGoesOn) {
  struct {
    const char* name;
    int positionStatus, systemStatus, refetchStatus, chunkStatus, chunkLength;
    WholeRecordResult result;
    size_t pieces;
    const char* err;
  } cases[] = {
      {"position", 8, 0, 0, 0, 0, WholeRecordResult::Delivered, 1,
       "Btrieve Error 8: Operation=22, File=\nError 8 occurred reading the record position.\n"},
      {"systemData", 0, 4, 0, 0, 0, WholeRecordResult::Delivered, 1,
       "Error 4 occurred reading the system data value.\n"},
      {"refetch", 0, 22, 43, 0, 0, WholeRecordResult::NothingDelivered, 0,
       "Btrieve Error 43: Operation=23, File=\nError 43 occurred reading the original record.\n"},
      {"chunk", 0, 22, 22, 2, 0, WholeRecordResult::Unfinished, 1,
       "Btrieve Error 2: Operation=23, File=\nError 2 occurred reading the next chunk at offset 64129.\n"},
      {"chunkShortBufferWithNothing", 0, 22, 22, 22, 0, WholeRecordResult::Unfinished, 1,
       "Error 22 occurred reading the next chunk at offset 64129.\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedEngine e;
    pieces.clear();
    fileWithFlags(0x4000);
    e.on(22, {c.positionStatus, 4, le(1, 4), ""});
    e.onKey(23, 125, {c.systemStatus, 4, "", c.systemStatus == 4 ? "" : le(9, 8)});
    e.onKey(23, 124, {22, 4, "", le(10, 8)});
    e.onKey(23, 0, {c.refetchStatus, c.refetchStatus == 22 ? 64129 : 30, "", ""});
    e.onKey(23, -2, {c.chunkStatus, c.chunkLength, "", ""});
    OutputCapture capture;
    EXPECT_EQ(read(0, 30, 0), c.result);
    EXPECT_EQ(capture.err(), c.err);
    ASSERT_EQ(pieces.size(), c.pieces);
    if (c.positionStatus != 0 || c.systemStatus == 4) {
      EXPECT_EQ(pieces[0].sysData, 0u);
      EXPECT_EQ(pieces[0].updateSysData, 0u) << "nothing carries over from another record";
    }
    expectSlotReady(0);
  }
}

TEST_F(WholeRecord, ShortBufferChunkStillDeliversItsBytes) {
  fileWithFlags(0x0200);
  engine.onKey(23, 0, {22, 64129, "", ""});
  engine.onKey(23, -2, {22, 64129, "", ""}, 1);
  engine.onKey(23, -2, {0, 5, "", ""}, 1);
  OutputCapture capture;
  EXPECT_EQ(read(22, 64129, 0), WholeRecordResult::Delivered);
  EXPECT_EQ(capture.err(), "Error 22 occurred reading the next chunk at offset 64129.\n");
  ASSERT_EQ(pieces.size(), 3u);
  EXPECT_FALSE(pieces[1].last);
  EXPECT_EQ(pieces[2].length, 5);
  EXPECT_EQ(engine.calls.back().data.substr(12, 4), le(128258, 4));
}

TEST_F(WholeRecord, GivenSystemDataSkipsTheReads) {
  fileWithFlags(0x4000);
  engine.on(22, {0, 4, le(1, 4), ""});
  SystemData wanted{0x08DC000000000001, 0};
  EXPECT_EQ(read(0, 12, 125, &wanted), WholeRecordResult::Delivered);
  ASSERT_EQ(engine.calls.size(), 1u) << "only the position is read";
  EXPECT_EQ(pieces[0].sysData, wanted.sysData);
  EXPECT_EQ(pieces[0].updateSysData, 0u);
  EXPECT_EQ(pieces[0].length, 12);
  expectSlotReady(125);
}

TEST_F(WholeRecord, LongRecordWithoutPositionIsUnfinished) {
  fileWithFlags(0x0200);
  engine.on(22, {8, 0, "", ""});
  OutputCapture capture;
  EXPECT_EQ(read(22, 64129, 0), WholeRecordResult::Unfinished);
  ASSERT_EQ(pieces.size(), 1u);
  EXPECT_FALSE(pieces[0].last);
  for (const auto& call : engine.calls) EXPECT_NE(call.operation, 23u) << "no chunk read at position 0";
}

}  // namespace
}  // namespace vorlan

#include "transfer/record_insert.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/byte_order.h"
#include "engine/run_options.h"
#include "support/capture.h"
#include "support/scripted_engine.h"

namespace vorlan {
namespace {

using testing::OutputCapture;
using testing::ScriptedEngine;

std::string hex(const std::string& bytes) {
  std::string text;
  char two[3];
  for (unsigned char c : bytes) {
    snprintf(two, sizeof two, "%.2X", c);
    text += two;
  }
  return text;
}

class RecordInsert : public ::testing::Test {
 protected:
  void SetUp() override {
    resetSessionsForTesting();
    runOptions = RunOptions{};
    engineExAvailable = 0;
  }
  ScriptedEngine engine;
  std::unique_ptr<InsertWorkspace> w = std::make_unique<InsertWorkspace>();
  FileSession& slot2 = sessionTable[2];
};

TEST_F(RecordInsert, InsertWithSystemDataRequestLayout) {
  const unsigned char abc[] = {'A', 'B', 'C'};
  slot2.keyNumber = 125;  // left as the previous request set it
  EXPECT_EQ(insertRecord(slot2, *w, abc, 3, {0x08DC2A1B3C4D5E6F, 0x08DC2A1B3C4D5E70}), 0);
  ASSERT_EQ(engine.calls.size(), 1u);
  const auto& call = engine.calls[0];
  EXPECT_EQ(call.operation, 52u);
  EXPECT_EQ(call.dataLength, 51u);
  EXPECT_EQ(call.keyNumber, 125);
  EXPECT_EQ(hex(call.data),
            "01000000" "414243" "000000000000000000000000" "6F5E4D3C1B2ADC08" "705E4D3C1B2ADC08"
            "000000000000000000000000" "00000700");
}

TEST_F(RecordInsert, RecordWithoutSystemDataUsesThePlainInsert) {
  const unsigned char abc[] = {'A', 'B', 'C'};
  insertRecord(slot2, *w, abc, 3, {0, 0x1234});  // a U value alone is not sent
  EXPECT_EQ(engine.calls[0].operation, 2u);
  EXPECT_EQ(engine.calls[0].dataLength, 3u);
  EXPECT_EQ(engine.calls[0].data, "ABC");
}

TEST_F(RecordInsert, ChunkWriteRequestLayout) {
  const unsigned char bytes[] = {1, 2};
  appendChunk(slot2, *w, bytes, 2);
  EXPECT_EQ(engine.calls[0].operation, 53u);
  EXPECT_EQ(engine.calls[0].dataLength, 22u);
  EXPECT_EQ(hex(engine.calls[0].data), "000000C0" "01000000" "00000000" "02000000" "00000000" "0102");
}

TEST_F(RecordInsert, LookupBySystemDataValue) {
  engine.on(5, {4, -1, "", ""});
  EXPECT_FALSE(lookupFound(lookupBySystemData(slot2, 0x0102030405060708)));
  EXPECT_EQ(engine.calls[0].keyNumber, 125);
  EXPECT_EQ(engine.calls[0].dataLength, kRecordBufferSize);
  EXPECT_EQ(hex(std::string(reinterpret_cast<char*>(keyBuffer), 8)), "0807060504030201");
}

TEST_F(RecordInsert, DuplicateReport) {
  std::string query = "ExSt";
  query += std::string("\x02\x00", 2);
  engine.on(65, {0, 8, query, ""}, 1);
  engine.on(65, {1, 0, "", ""}, 1);
  const unsigned char record[] = {0xAB, 0x01, 0x7F};
  OutputCapture capture;
  reportDuplicate(slot2, *w, 7, record, 3);
  reportDuplicate(slot2, *w, 8, record, 3);
  const std::string tail = "AB 01 7F 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 \n";
  EXPECT_EQ(capture.err(),
            "Duplicate Record 7 found on Key 2. First 24 bytes of record:\n" + tail +
                "Btrieve Error 1: Operation=65, File=\n"
                "Duplicate Record 8 found. First 24 bytes:\n" + tail);
  EXPECT_EQ(engine.calls[0].data, std::string("ExSt\x03\x00\x00\x00", 8));
}

}  // namespace
}  // namespace vorlan

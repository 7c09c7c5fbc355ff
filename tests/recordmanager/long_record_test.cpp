// Records longer than one fetch in variable-length files: built with Insert
// and Update Chunk appends, fetched with 22 and the first bytes, read back
// with chunk reads up to 103 at the end.
#include <gtest/gtest.h>

#include "recordmanager/engine_fixture.h"

namespace vorlan::rm::testing {
namespace {

constexpr uint32_t kPiece = 64129;

Bytes pattern(size_t length) {
  Bytes b(length);
  for (size_t i = 0; i < length; ++i) b[i] = uint8_t((i * 7 + i / 251) & 0xFF);
  b[0] = 'K';  // key 0: first 4 bytes
  b[1] = b[2] = b[3] = '0';
  return b;
}

class LongRecordTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    path_ = dir_.file("LONG.MKD");
    ASSERT_EQ(engine_.create(path_, definition(4, kFileVariableLength | kFileSystemData, {key(1, 4, kTypeString)})), 0);
    ASSERT_EQ(engine_.open(block_, path_), 0);
  }
  void TearDown() override { engine_.reset(); }

  // Inserts a record the way the import does: the first piece with 52,
  // the rest appended with Update Chunk.
  void store(const Bytes& record, uint64_t sysData) {
    const size_t first = std::min<size_t>(record.size(), kPiece);
    ASSERT_EQ(engine_.insertWithSystemData(block_, Bytes(record.begin(), record.begin() + first), sysData, 0), 0);
    for (size_t at = first; at < record.size(); at += kPiece) {
      const size_t n = std::min<size_t>(kPiece, record.size() - at);
      ASSERT_EQ(engine_.appendChunk(block_, Bytes(record.begin() + at, record.begin() + at + n)), 0);
    }
  }

  vorlan::testing::TempDir dir_;
  Engine engine_{GetParam()};
  std::string path_;
  uint8_t block_[128] = {};
};

TEST_P(LongRecordTest, LongRecordsComeBackWholeThroughFetchAndChunks) {
  const struct {
    size_t length;
    std::vector<uint32_t> chunks;  // lengths of the chunk reads answered 0
    bool endsWith103;
  } cases[] = {
      {100, {}, true},
      {64129, {}, true},
      {64130, {1}, true},
      {128258, {64129}, true},
      {200000, {64129, 64129, 7613}, true},
  };
  uint64_t sys = 1000;
  for (const auto& c : cases) {
    const Bytes record = pattern(c.length);
    store(record, ++sys);
    Bytes key = bytesOf("K000");
    Answer first = engine_.fetch(5, block_, 0, key, kPiece);
    ASSERT_EQ(first.status, c.length > kPiece ? 22 : 0) << c.length;
    ASSERT_EQ(first.data.size(), std::min<size_t>(c.length, kPiece));
    const uint64_t position = engine_.position(block_);
    EXPECT_EQ(engine_.systemValue(block_, position), sys);

    Bytes whole = first.data;
    Answer chunk;
    for (uint32_t expected : c.chunks) {
      chunk = engine_.readChunk(block_, position, uint32_t(whole.size()));
      ASSERT_EQ(chunk.status, 0) << c.length << " at " << whole.size();
      ASSERT_EQ(chunk.data.size(), expected);
      whole.insert(whole.end(), chunk.data.begin(), chunk.data.end());
    }
    chunk = engine_.readChunk(block_, position, uint32_t(whole.size()));
    EXPECT_EQ(chunk.status, 103) << c.length;
    EXPECT_TRUE(whole == record) << c.length;
    // Done with this one: make room for the next record with the same key.
    ASSERT_EQ(engine_.direct(block_, position, 0, 10).status, 22);
    ASSERT_EQ(engine_.call(4, block_, {}, 0, {}, 0).status, 0);
  }
}

TEST_P(LongRecordTest, ChunkRequestsAreCheckedAndShortBuffersGetWhatFits) {
  const Bytes record = pattern(1000);
  store(record, 77);
  const uint64_t position = engine_.position(block_);
  // A fetch into a short buffer gives the first bytes and 22.
  Answer small = engine_.fetch(12, block_, 0, {}, 10);
  EXPECT_EQ(small.status, 22);
  EXPECT_EQ(small.data.size(), 10u);
  // A chunk at an explicit offset, without the next-in-record bias.
  Bytes request(64);
  const int w = engine_.positionWidth();
  putLE(request.data(), position, w);
  putLE(request.data() + w, 0x80000000u, 4);
  putLE(request.data() + w + 4, 1, 4);
  putLE(request.data() + w + 8, 990, 4);
  putLE(request.data() + w + 12, 100, 4);
  Answer tail = engine_.call(23, block_, request, 64, {}, -2);
  ASSERT_EQ(tail.status, 0);
  EXPECT_EQ(tail.data.size(), 10u);
  EXPECT_TRUE(Bytes(record.begin() + 990, record.end()) == tail.data);
  // Bad subfunction, bad count, unknown position.
  putLE(request.data() + w, 0x12345678u, 4);
  EXPECT_EQ(engine_.call(23, block_, request, 64, {}, -2).status, 62);
  putLE(request.data() + w, 0x80000000u, 4);
  putLE(request.data() + w + 4, 1000, 4);
  EXPECT_EQ(engine_.call(23, block_, request, 64, {}, -2).status, 62);
  EXPECT_EQ(engine_.readChunk(block_, position + 1000, 0).status, 43);
  EXPECT_EQ(engine_.direct(block_, position + 1000, 0).status, 43);

  // A fixed-length file gives nothing of a record that does not fit.
  const std::string fixedPath = dir_.file("FIXED.MKD");
  ASSERT_EQ(engine_.create(fixedPath, definition(20, 0, {key(1, 4, kTypeString)})), 0);
  uint8_t fixed[128] = {};
  ASSERT_EQ(engine_.open(fixed, fixedPath), 0);
  ASSERT_EQ(engine_.insert(fixed, rec("FIX1", "", 20)), 0);
  EXPECT_EQ(engine_.appendChunk(fixed, bytesOf("more")), 103) << "a fixed-length record cannot grow";
  Answer cut = engine_.fetch(12, fixed, 0, {}, 10);
  EXPECT_EQ(cut.status, 22);
  EXPECT_EQ(cut.data.size(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Entries, LongRecordTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Wide" : "Standard"; });

}  // namespace
}  // namespace vorlan::rm::testing

// Calls with missing, short or nonsensical buffers answer a status and
// never crash or change the file.
#include <gtest/gtest.h>

#include "recordmanager/engine_fixture.h"

namespace vorlan::rm::testing {
namespace {

TEST(BadInputTest, MalformedCallsAnswerAStatus) {
  vorlan::testing::TempDir dir;
  Engine engine;
  const std::string path = dir.file("BAD.MKD");
  ASSERT_EQ(engine.create(path, definition(20, kFileVariableLength | kFileSystemDataWithUpdate,
                                           {key(1, 4, kTypeString), key(5, 8, kTypeInteger, kKeyDuplicates)})),
            0);
  uint8_t block[128] = {};
  ASSERT_EQ(engine.open(block, path), 0);
  ASSERT_EQ(engine.insert(block, rec("AAAA", "", 20)), 0);

  // Null buffers and lengths, through both entries.
  const struct {
    uint32_t op;
    int keyNumber;
    int status;
  } nulls[] = {{0, 0, 11}, {2, 0, 22},  {3, 0, 22}, {5, 0, 21}, {12, 0, 21},  {14, 0, 11}, {14, -127, 11},
               {14, -128, 11}, {15, -1, 22}, {22, 0, 22}, {23, 0, 21}, {23, -2, 62}, {26, 0, 22}, {29, 0, 51},
               {36, 0, 62}, {41, -128, 0}, {52, 0, 22}, {53, 0, 62}, {65, 0, 22},  {85, 0, 62},  {99, 0, 1}};
  for (const auto& c : nulls) {
    ASSERT_EQ(engine.fetch(12, block, 0).status, 0);  // a current record for the writes
    uint32_t zero = 0;
    EXPECT_EQ(standardEntry(uint16_t(c.op), block, nullptr, &zero, nullptr, 0, int8_t(c.keyNumber)), c.status)
        << c.op << "/" << c.keyNumber;
    EXPECT_EQ(wideEntry(c.op, block, nullptr, nullptr, nullptr, 0, c.keyNumber), c.status)
        << c.op << "/" << c.keyNumber;
  }

  // Short requests of the right operation.
  Bytes tiny(3, 0xFF);
  const struct {
    uint32_t op;
    int keyNumber;
    uint32_t length;
    int status;
  } shorts[] = {{52, 0, 3, 22}, {53, 0, 3, 62}, {23, -2, 3, 62}, {36, 0, 3, 62}, {65, 0, 3, 22}, {22, 0, 3, 22},
                {23, 0, 3, 22}, {14, 0, 3, 22}, {15, -1, 3, 22}};
  for (const auto& c : shorts) {
    ASSERT_EQ(engine.fetch(12, block, 0).status, 0);
    EXPECT_EQ(engine.call(c.op, block, tiny, c.length, Engine::name(dir.file("X.MKD")), c.keyNumber).status,
              c.status)
        << c.op;
  }
  // Chunk descriptors that promise more than the buffer holds.
  Bytes chunk(40, 0);
  putLE(chunk.data(), 0x80000000u, 4);
  putLE(chunk.data() + 4, 1, 4);
  putLE(chunk.data() + 12, 1000000, 4);  // a chunk of 1,000,000 bytes in a 40-byte buffer
  ASSERT_EQ(engine.fetch(12, block, 0).status, 0);
  EXPECT_EQ(engine.call(53, block, chunk, 40, {}, 0).status, 62);
  putLE(chunk.data() + 4, 0xFFFFFFFFu, 4);
  EXPECT_EQ(engine.call(53, block, chunk, 40, {}, 0).status, 62);
  // A wild offset in an explicit chunk write.
  putLE(chunk.data() + 4, 1, 4);
  putLE(chunk.data() + 8, 0x7FFFFFFF, 4);
  putLE(chunk.data() + 12, 4, 4);
  EXPECT_EQ(engine.call(53, block, chunk, 40, {}, 0).status, 103);

  // Random bytes as Create buffers never make a file that opens badly.
  uint32_t seed = 12345;
  for (int i = 0; i < 200; ++i) {
    Bytes spec(16 + (i % 5) * 16);
    for (auto& b : spec) b = uint8_t((seed = seed * 1103515245 + 12345) >> 16);
    const std::string name = dir.file("R" + std::to_string(i) + ".MKD");
    uint8_t none[128] = {};
    if (engine.call(14, none, spec, uint32_t(spec.size()), Engine::name(name), 0).status != 0) continue;
    uint8_t b[128] = {};
    ASSERT_EQ(engine.open(b, name), 0);
    Answer s = engine.call(15, b, {}, 4096, {}, -1);
    EXPECT_EQ(s.status, 0);
    ASSERT_EQ(engine.close(b), 0);
  }

  // The file is as it was.
  ASSERT_EQ(engine.fetch(12, block, 0).status, 0);
  EXPECT_EQ(engine.fetch(6, block, 0).status, 9);
  engine.reset();
}

}  // namespace
}  // namespace vorlan::rm::testing

// Extended operations with the purge's descriptors: Get Next Extended one
// record at a time with the reject count, and DeleteExtended in batches,
// both along key 2 from the current record.
#include <gtest/gtest.h>

#include "recordmanager/engine_fixture.h"

namespace vorlan::rm::testing {
namespace {

constexpr uint16_t kPdcLength = 48;

// A PDC-like table: key 0 a unique id (bytes 1-4), key 1 the tracked
// record's system data (bytes 5-12), key 2 the purge order (bytes 33-40,
// LastUpdated, duplicates).
FileDefinition pdcFile() {
  return definition(kPdcLength, 0,
                    {key(1, 4, kTypeUnsigned), key(5, 8, kTypeUnsigned),
                     key(33, 8, kTypeUnsigned, kKeyDuplicates | kKeyModifiable)});
}

Bytes pdcRecord(uint32_t id, char state, uint64_t lastUpdated) {
  Bytes r(kPdcLength, 0);
  putLE(r.data(), id, 4);
  putLE(r.data() + 4, 1000 + id, 8);
  r[30] = uint8_t(state);
  putLE(r.data() + 32, lastUpdated, 8);
  return r;
}

// The purge's descriptors: Get Next Extended (36) or DeleteExtended (85),
// for all obituaries or those before `cutoff`.
Bytes purgeDescriptor(bool deleteExtended, bool aged, uint64_t cutoff, uint16_t reject = 65000) {
  Bytes d;
  auto put = [&d](uint64_t v, int width) {
    for (int i = 0; i < width; ++i) d.push_back(uint8_t(v >> (8 * i)));
  };
  const uint16_t length = aged ? (deleteExtended ? 35 : 39) : (deleteExtended ? 20 : 24);
  put(length, 2);
  d.push_back('E');
  d.push_back('G');
  put(reject, 2);
  put(aged ? 2 : 1, 2);
  put(0, 1), put(1, 2), put(30, 2), put(1, 1), put(aged ? 1 : 0, 1), d.push_back('D');
  if (aged) put(20, 1), put(8, 2), put(32, 2), put(3, 1), put(0, 1), put(cutoff, 8);
  put(deleteExtended ? 6400 : 1, 2);
  put(deleteExtended ? 0 : 1, 2);
  put(deleteExtended ? 0 : 48, 2);
  put(0, 2);
  return d;
}

class ExtendedTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    path_ = dir_.file("PDC.MKD");
    ASSERT_EQ(engine_.create(path_, pdcFile()), 0);
    ASSERT_EQ(engine_.open(block_, path_), 0);
  }
  void TearDown() override { engine_.reset(); }

  // Ids of the records left, in key 0 order.
  std::string remaining() {
    std::string ids;
    for (Answer a = engine_.fetch(12, block_, 0); a.status == 0; a = engine_.fetch(6, block_, 0))
      ids += std::to_string(little(a.data.data(), 4)) + " ";
    return ids;
  }

  vorlan::testing::TempDir dir_;
  Engine engine_{GetParam()};
  std::string path_;
  uint8_t block_[128] = {};
};

TEST_P(ExtendedTest, GetNextExtendedFindsOneRecordPerCallAndHonoursTheRejectCount) {
  // Purge order (key 2): 1 N, 2 D, 3 N, 4 N, 5 N, 6 D, 7 D.
  const char states[] = "NDNNNDD";
  for (uint32_t i = 0; i < 7; ++i) ASSERT_EQ(engine_.insert(block_, pdcRecord(i + 1, states[i], 100 + i)), 0);
  ASSERT_EQ(engine_.fetch(12, block_, 2).status, 0);

  // Reject count 2: record 2 matches at once; then 3 and 4 are rejected
  // (60, nothing found); the next call rejects 5 and finds 6.
  const struct {
    uint16_t reject;
    int status;
    uint16_t count;
    uint32_t id;  // of the record returned
  } calls[] = {{2, 0, 1, 2}, {2, 60, 0, 0}, {2, 0, 1, 6}, {2, 0, 1, 7}, {2, 9, 0, 0}};
  for (const auto& c : calls) {
    const Bytes d = purgeDescriptor(false, false, 0, c.reject);
    Answer a = engine_.call(36, block_, d, 64129, {}, 2);
    ASSERT_EQ(a.status, c.status);
    ASSERT_GE(a.data.size(), 2u);
    ASSERT_EQ(little(a.data.data(), 2), c.count);
    if (!c.count) continue;
    const int w = engine_.positionWidth();
    ASSERT_EQ(a.data.size(), size_t(2 + 2 + w + 48));
    EXPECT_EQ(little(a.data.data() + 2, 2), 48u);
    const uint64_t position = little(a.data.data() + 4, w);
    EXPECT_EQ(little(a.data.data() + 4 + w, 4), c.id);
    // The record returned is current: its position matches and Delete takes it.
    EXPECT_EQ(engine_.position(block_), position);
    ASSERT_EQ(engine_.call(4, block_, {}, 0, {}, 0).status, 0);
  }
  EXPECT_EQ(remaining(), "1 3 4 5 ");
}

TEST_P(ExtendedTest, DeleteExtendedDeletesTheOldObituariesInBatches) {
  // 16000 records; every other one is an obituary, with LastUpdated = its
  // id. The aged purge with cutoff 15000 deletes obituaries with id < 15000:
  // 7499 of them, more than one call's 6400.
  uint32_t expected = 0;
  for (uint32_t id = 1; id <= 16000; ++id) {
    const char state = id % 2 == 0 ? 'D' : 'N';
    if (state == 'D' && id < 15000) ++expected;
    ASSERT_EQ(engine_.insert(block_, pdcRecord(id, state, id)), 0);
  }
  ASSERT_EQ(engine_.fetch(12, block_, 2).status, 0);  // id 1, not an obituary
  uint32_t deleted = 0;
  int status = 0;
  std::vector<std::pair<int, uint32_t>> calls;
  while (status == 0 || status == 60) {
    const Bytes d = purgeDescriptor(true, true, 15000);
    Answer a = engine_.call(85, block_, d, 64129, {}, 2);
    status = a.status;
    ASSERT_GE(a.data.size(), 2u);
    calls.emplace_back(status, uint32_t(little(a.data.data(), 2)));
    deleted += calls.back().second;
  }
  EXPECT_EQ(deleted, expected);
  const std::vector<std::pair<int, uint32_t>> wanted = {{0, 6400}, {9, expected - 6400}};
  EXPECT_EQ(calls, wanted);
  // What is left: no obituary before the cutoff; the one at 15000 stays.
  uint32_t obituaries = 0, keptAtCutoff = 0;
  for (Answer a = engine_.fetch(12, block_, 0); a.status == 0; a = engine_.fetch(6, block_, 0)) {
    if (a.data[30] == 'D') {
      ++obituaries;
      EXPECT_GE(little(a.data.data() + 32, 8), 15000u);
      if (little(a.data.data(), 4) == 15000) ++keptAtCutoff;
    }
  }
  EXPECT_EQ(keptAtCutoff, 1u);
  EXPECT_EQ(obituaries, 501u);  // even ids 15000..16000

  Bytes stat(4096);
  Answer s = engine_.call(15, block_, stat, 4096, {}, -1);
  ASSERT_EQ(s.status, 0);
  if (GetParam()) {
    EXPECT_EQ(little(s.data.data() + 8, 8), 16000u - expected);
  } else {
    EXPECT_EQ(little(s.data.data() + 6, 4), 16000u - expected);
  }
}

TEST_P(ExtendedTest, MalformedDescriptorsAnswer62) {
  ASSERT_EQ(engine_.insert(block_, pdcRecord(1, 'D', 1)), 0);
  ASSERT_EQ(engine_.fetch(12, block_, 2).status, 0);
  Bytes d = purgeDescriptor(false, false, 0);
  Bytes wrongLength = d;
  putLE(wrongLength.data(), 23, 2);
  Bytes wrongLetters = d;
  wrongLetters[2] = 'X';
  for (const Bytes& bad : {wrongLength, wrongLetters}) {
    EXPECT_EQ(engine_.call(36, block_, bad, 64129, {}, 2).status, 62);
    EXPECT_EQ(engine_.call(85, block_, bad, 64129, {}, 2).status, 62);
  }
  EXPECT_EQ(engine_.call(36, block_, d, 64129, {}, 1).status, 7) << "another key than the current one";
  EXPECT_EQ(remaining(), "1 ");
}

INSTANTIATE_TEST_SUITE_P(Entries, ExtendedTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Wide" : "Standard"; });

}  // namespace
}  // namespace vorlan::rm::testing

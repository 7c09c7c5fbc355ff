// System data: key 125 assigned at insert (increasing, timestamp-shaped),
// key 124 refreshed by Update in files that keep it, operation 52 with given
// values (146 on a value already in the file), lookups on key 125, and the
// "ExSt" answers.
#include <gtest/gtest.h>

#include <chrono>

#include "recordmanager/engine_fixture.h"

namespace vorlan::rm::testing {
namespace {

constexpr uint64_t kUnixEpochTicks = 621355968000000000ull;

uint64_t nowTicks() {
  using namespace std::chrono;
  return kUnixEpochTicks + uint64_t(duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count() / 100);
}

class SystemDataTest : public ::testing::TestWithParam<bool> {
 protected:
  void TearDown() override { engine_.reset(); }
  void makeFile(uint16_t flags) {
    path_ = dir_.file("SYS.MKD");
    ASSERT_EQ(engine_.create(path_, definition(10, flags, {key(1, 4, kTypeString, kKeyDuplicates)})), 0);
    ASSERT_EQ(engine_.open(block_, path_), 0);
  }
  vorlan::testing::TempDir dir_;
  Engine engine_{GetParam()};
  std::string path_;
  uint8_t block_[128] = {};
};

TEST_P(SystemDataTest, InsertAssignsIncreasingTimestampsAndUpdateRefreshesKey124) {
  makeFile(kFileSystemDataWithUpdate);
  const uint64_t before = nowTicks();
  std::vector<uint64_t> positions, values;
  for (int i = 0; i < 50; ++i) {
    ASSERT_EQ(engine_.insert(block_, rec("KEY" + std::to_string(i % 10), "", 10)), 0);
    positions.push_back(engine_.position(block_));
    values.push_back(engine_.systemValue(block_, positions.back()));
  }
  const uint64_t after = nowTicks();
  for (size_t i = 0; i < values.size(); ++i) {
    EXPECT_GE(values[i], before - 10'000'000) << "shaped like a replication timestamp of now";
    EXPECT_LE(values[i], after + 1000);
    if (i) {
      EXPECT_GT(values[i], values[i - 1]) << "strictly increasing";
    }
  }
  // At insert key 124 equals key 125; Update gives it a new, larger value
  // and leaves key 125 alone.
  EXPECT_EQ(engine_.systemValue(block_, positions[3], 124), values[3]);
  ASSERT_EQ(engine_.direct(block_, positions[3], 0).status, 0);
  Bytes changed = bytesOf(rec("KEY3", "upd", 10));
  ASSERT_EQ(engine_.call(3, block_, changed, 10, {}, 0).status, 0);
  EXPECT_EQ(engine_.systemValue(block_, positions[3]), values[3]);
  EXPECT_GT(engine_.systemValue(block_, positions[3], 124), values.back());

  // Get Equal on key 125 finds the record by its value; Get Next on 125
  // walks the values in order.
  Bytes wanted(8);
  putLE(wanted.data(), values[7], 8);
  Answer found = engine_.fetch(5, block_, 125, wanted);
  ASSERT_EQ(found.status, 0);
  EXPECT_EQ(engine_.position(block_), positions[7]);
  EXPECT_EQ(little(found.key.data(), 8), values[7]);
  Answer next = engine_.fetch(6, block_, 125);
  ASSERT_EQ(next.status, 0);
  EXPECT_EQ(little(next.key.data(), 8), values[8]);
  putLE(wanted.data(), values[7] + 1, 8);
  if (values[8] != values[7] + 1) {
    EXPECT_EQ(engine_.fetch(5, block_, 125, wanted).status, 4);
  }
}

TEST_P(SystemDataTest, InsertWithSystemDataKeepsGivenValuesAndRefusesDuplicates) {
  makeFile(kFileSystemDataWithUpdate);
  const Bytes record = bytesOf(rec("AAAA", "given", 10));
  const uint64_t high = 0x8000000000000123ull;  // top bit set: still ordered as unsigned
  ASSERT_EQ(engine_.insertWithSystemData(block_, record, 5000, 6000), 0);
  ASSERT_EQ(engine_.insertWithSystemData(block_, record, high, 7), 0);
  const uint64_t position = engine_.position(block_);
  EXPECT_EQ(engine_.systemValue(block_, position), high);
  EXPECT_EQ(engine_.systemValue(block_, position, 124), 7u);
  Answer got = engine_.direct(block_, position, 0);
  EXPECT_EQ(text(got.data), text(record));

  EXPECT_EQ(engine_.insertWithSystemData(block_, record, 5000, 1), 146);
  Bytes query = bytesOf("ExSt");
  query.resize(8);
  putLE(query.data() + 4, 3, 4);
  Answer duplicate = engine_.call(65, block_, query, 8, {}, 0);
  ASSERT_EQ(duplicate.status, 0);
  EXPECT_EQ(little(duplicate.data.data() + 4, 2), 125u);

  // A value of 0 asks the engine for one; later values stay above the
  // highest given.
  ASSERT_EQ(engine_.insertWithSystemData(block_, record, 0, 0), 0);
  EXPECT_GT(engine_.systemValue(block_, engine_.position(block_)), high);

  // Key 125 order is unsigned order of the values.
  std::vector<uint64_t> order;
  for (Answer a = engine_.fetch(12, block_, 125); a.status == 0; a = engine_.fetch(6, block_, 125))
    order.push_back(little(a.key.data(), 8));
  ASSERT_EQ(order.size(), 3u);
  EXPECT_EQ(order[0], 5000u);
  EXPECT_EQ(order[1], high);
}

TEST_P(SystemDataTest, ModesAnswerTheirKeysAndStatistics) {
  const struct {
    uint16_t flags;
    int has125, has124;  // status of Get Direct on the key: 0/22 or 6
    uint8_t hasSystemData;
    uint16_t length, version;
  } cases[] = {
      {0, 6, 6, 0, 0, 0},
      {kFileSystemData, 22, 6, 1, 8, 1},
      {kFileSystemData | kFileNoSystemData, 6, 6, 0, 0, 0},
      {kFileSystemDataWithUpdate, 22, 22, 1, 8, 2},
  };
  for (const auto& c : cases) {
    engine_.reset();
    vorlan::testing::TempDir dir;
    const std::string path = dir.file("MODE.MKD");
    ASSERT_EQ(engine_.create(path, definition(10, c.flags, {key(1, 4, kTypeString)})), 0);
    ASSERT_EQ(engine_.open(block_, path), 0);
    ASSERT_EQ(engine_.insert(block_, rec("AAAA", "", 10)), 0);
    const uint64_t position = engine_.position(block_);
    const uint32_t width = uint32_t(engine_.positionWidth());
    EXPECT_EQ(engine_.direct(block_, position, 125, width).status, c.has125) << c.flags;
    EXPECT_EQ(engine_.direct(block_, position, 124, width).status, c.has124) << c.flags;
    Bytes query = bytesOf("ExSt");
    query.resize(8);
    putLE(query.data() + 4, 2, 4);
    Answer stats = engine_.call(65, block_, query, 8, {}, 0);
    ASSERT_EQ(stats.status, 0);
    EXPECT_EQ(stats.data[0], c.hasSystemData) << c.flags;
    EXPECT_EQ(little(stats.data.data() + 4, 2), c.length) << c.flags;
    EXPECT_EQ(little(stats.data.data() + 6, 2), c.version) << c.flags;
  }
  Bytes bad = bytesOf("ExSx\2\0\0\0");
  EXPECT_EQ(engine_.call(65, block_, bad, 8, {}, 0).status, 62);
}

INSTANTIATE_TEST_SUITE_P(Entries, SystemDataTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Wide" : "Standard"; });

}  // namespace
}  // namespace vorlan::rm::testing

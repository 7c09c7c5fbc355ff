// Get and Step navigation: key order, duplicates in insertion order in both
// directions, currency after insert, update and delete, and the statuses of
// navigation without a place.
#include <gtest/gtest.h>

#include "recordmanager/engine_fixture.h"

namespace vorlan::rm::testing {
namespace {

constexpr uint16_t kLength = 16;

// Key 0: bytes 1-4, string, unique. Key 1: bytes 5-6, integer, duplicates,
// modifiable. Key 2: bytes 7-8, unsigned, descending, duplicates.
FileDefinition navigationFile() {
  return definition(kLength, 0,
                    {key(1, 4, kTypeString, kKeyModifiable), key(5, 2, kTypeInteger, kKeyDuplicates | kKeyModifiable),
                     key(7, 2, kTypeUnsigned, kKeyDuplicates | kKeyDescending | kKeyModifiable)});
}

std::string record(const std::string& k0, int16_t k1, uint16_t k2, const std::string& tag) {
  std::string r = k0;
  r.push_back(char(k1 & 0xFF));
  r.push_back(char((k1 >> 8) & 0xFF));
  r.push_back(char(k2 & 0xFF));
  r.push_back(char(k2 >> 8));
  r += tag;
  r.resize(kLength, '.');
  return r;
}

std::string tagOf(const Answer& a) { return text(a.data, 8, 1); }

class NavigationTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    path_ = dir_.file("NAV.MKD");
    ASSERT_EQ(engine_.create(path_, navigationFile()), 0);
    ASSERT_EQ(engine_.open(block_, path_), 0);
    // Inserted in this order; key 1 has duplicates 7 (a, c, e) and -3 (b, d).
    const struct {
      const char* k0;
      int16_t k1;
      uint16_t k2;
      const char* tag;
    } rows[] = {{"MMMM", 7, 300, "a"}, {"CCCC", -3, 20, "b"}, {"XXXX", 7, 300, "c"},
                {"AAAA", -3, 1, "d"},  {"PPPP", 7, 65000, "e"}};
    for (const auto& r : rows) ASSERT_EQ(engine_.insert(block_, record(r.k0, r.k1, r.k2, r.tag)), 0);
  }
  void TearDown() override { engine_.reset(); }

  // Tags met walking key `k` from First with Next (or Last with Previous).
  std::string walk(int k, bool forward) {
    std::string tags;
    Answer a = engine_.fetch(forward ? 12 : 13, block_, k);
    while (a.status == 0) {
      tags += tagOf(a);
      a = engine_.fetch(forward ? 6 : 7, block_, k);
    }
    EXPECT_EQ(a.status, 9);
    return tags;
  }

  vorlan::testing::TempDir dir_;
  Engine engine_{GetParam()};
  std::string path_;
  uint8_t block_[128] = {};
};

TEST_P(NavigationTest, KeysOrderRecordsAndDuplicatesKeepInsertionOrder) {
  EXPECT_EQ(walk(0, true), "dbaec");
  EXPECT_EQ(walk(0, false), "ceabd");
  EXPECT_EQ(walk(1, true), "bdace");   // -3 before 7, each in insertion order
  EXPECT_EQ(walk(1, false), "ecadb");  // exactly reversed
  EXPECT_EQ(walk(2, true), "eacbd");   // descending: 65000, 300 (a, c), 20, 1
  EXPECT_EQ(walk(2, false), "dbcae");

  std::string steps;
  for (Answer a = engine_.fetch(33, block_, 0); a.status == 0; a = engine_.fetch(24, block_, 0)) steps += tagOf(a);
  EXPECT_EQ(steps, "abcde");  // physical order is insertion order
  steps.clear();
  for (Answer a = engine_.fetch(34, block_, 0); a.status == 0; a = engine_.fetch(35, block_, 0)) steps += tagOf(a);
  EXPECT_EQ(steps, "edcba");
}

TEST_P(NavigationTest, KeyedSearchesFindTheRightRecordAndReturnTheKey) {
  const struct {
    uint32_t op;
    const char* value;
    int status;
    const char* tag;
  } cases[] = {
      {5, "MMMM", 0, "a"},  {5, "MMMN", 4, ""},  {8, "MMMM", 0, "e"}, {8, "XXXX", 9, ""}, {9, "MMMM", 0, "a"},
      {9, "MMMA", 0, "a"},  {9, "ZZZZ", 9, ""},  {10, "MMMM", 0, "b"}, {10, "AAAA", 9, ""}, {11, "MMMM", 0, "a"},
      {11, "NNNN", 0, "a"}, {11, "0000", 9, ""},
  };
  for (const auto& c : cases) {
    Answer a = engine_.fetch(c.op, block_, 0, bytesOf(c.value));
    EXPECT_EQ(a.status, c.status) << c.op << " " << c.value;
    if (c.status != 0) continue;
    EXPECT_EQ(tagOf(a), c.tag) << c.op << " " << c.value;
    EXPECT_EQ(a.data.size(), kLength);
    EXPECT_EQ(text(a.key, 0, 4), text(a.data, 0, 4)) << "key buffer holds the record's key";
  }
  // Get Equal on a duplicate key gives the first one inserted.
  Bytes seven = {7, 0};
  EXPECT_EQ(tagOf(engine_.fetch(5, block_, 1, seven)), "a");
  EXPECT_EQ(tagOf(engine_.fetch(6, block_, 1)), "c");
}

TEST_P(NavigationTest, CurrencyFollowsInsertUpdateAndDelete) {
  // After an insert on key 0 the new record is current there.
  ASSERT_EQ(engine_.insert(block_, record("NNNN", 7, 5, "f"), 0), 0);
  EXPECT_EQ(tagOf(engine_.fetch(6, block_, 0)), "e");
  EXPECT_EQ(tagOf(engine_.fetch(7, block_, 0)), "f");

  // Delete "a" (MMMM): Next goes to the record after it, Previous before it.
  ASSERT_EQ(engine_.fetch(5, block_, 0, bytesOf("MMMM")).status, 0);
  ASSERT_EQ(engine_.call(4, block_, {}, 0, {}, 0).status, 0);
  EXPECT_EQ(engine_.call(22, block_, {}, 4, {}, 0).status, 8) << "no current record after a delete";
  EXPECT_EQ(tagOf(engine_.fetch(6, block_, 0)), "f");
  ASSERT_EQ(engine_.fetch(5, block_, 0, bytesOf("MMMM")).status, 4);
  ASSERT_EQ(engine_.fetch(5, block_, 0, bytesOf("NNNN")).status, 0);
  ASSERT_EQ(engine_.call(4, block_, {}, 0, {}, 0).status, 0);
  EXPECT_EQ(tagOf(engine_.fetch(7, block_, 0)), "b");
  // Physical currency survives a delete too.
  ASSERT_EQ(engine_.fetch(5, block_, 0, bytesOf("CCCC")).status, 0);
  ASSERT_EQ(engine_.call(4, block_, {}, 0, {}, 0).status, 0);
  EXPECT_EQ(tagOf(engine_.fetch(24, block_, 0)), "c");

  // Update moving a record to another duplicate value puts it last there;
  // Get Next continues from its new place.
  ASSERT_EQ(engine_.fetch(5, block_, 0, bytesOf("XXXX")).status, 0);
  Bytes changed = bytesOf(record("XXXX", -3, 300, "c"));
  ASSERT_EQ(engine_.call(3, block_, changed, kLength, {}, 0).status, 0);
  EXPECT_EQ(walk(1, true), "dce");
  ASSERT_EQ(engine_.fetch(5, block_, 0, bytesOf("XXXX")).status, 0);
  Bytes back = bytesOf(record("XXXX", -3, 300, "C"));
  ASSERT_EQ(engine_.call(3, block_, back, kLength, {}, 1).status, 0);
  EXPECT_EQ(engine_.fetch(6, block_, 0).status, 9) << "still on key 0, at its last record";
}

TEST_P(NavigationTest, WritesAreCheckedAndNavigationNeedsAPlace) {
  uint8_t other[128] = {};
  ASSERT_EQ(engine_.open(other, path_), 0);
  const struct {
    uint32_t op;
    int keyNumber;
    int status;
  } unplaced[] = {{6, 0, 8}, {7, 0, 8}, {24, 0, 8}, {35, 0, 8}, {22, 0, 8}, {3, 0, 8}, {4, 0, 8}};
  for (const auto& c : unplaced) {
    Bytes data = bytesOf(record("QQQQ", 1, 1, "q"));
    EXPECT_EQ(engine_.call(c.op, other, data, kLength, {}, c.keyNumber).status, c.status) << c.op;
  }
  EXPECT_EQ(engine_.fetch(12, other, 3).status, 6);
  EXPECT_EQ(engine_.fetch(12, other, 125).status, 6) << "no system data in this file";
  EXPECT_EQ(engine_.insert(other, record("MMMM", 0, 0, "z")), 5);
  EXPECT_EQ(engine_.insert(other, std::string("short")), 22);
  ASSERT_EQ(engine_.fetch(12, other, 0).status, 0);
  EXPECT_EQ(engine_.fetch(6, other, 1).status, 7) << "Get Next on another key than the current one";

  // A non-modifiable key refuses a changed value with 10.
  const std::string fixedPath = dir_.file("FIXED.MKD");
  ASSERT_EQ(engine_.create(fixedPath, definition(8, 0, {key(1, 4, kTypeString)})), 0);
  uint8_t fixed[128] = {};
  ASSERT_EQ(engine_.open(fixed, fixedPath), 0);
  ASSERT_EQ(engine_.insert(fixed, std::string("KEY1data")), 0);
  Bytes renamed = bytesOf("KEY2data");
  EXPECT_EQ(engine_.call(3, fixed, renamed, 8, {}, 0).status, 10);
  Bytes same = bytesOf("KEY1DATA");
  EXPECT_EQ(engine_.call(3, fixed, same, 8, {}, 0).status, 0);
  EXPECT_EQ(text(engine_.fetch(5, fixed, 0, bytesOf("KEY1")).data), "KEY1DATA");
}

TEST_P(NavigationTest, GarbageAndStalePositionBlocksAnswerThree) {
  uint8_t garbage[128];
  std::memset(garbage, 0xA5, sizeof garbage);
  EXPECT_EQ(engine_.fetch(12, garbage, 0).status, 3);
  uint8_t stale[128];
  std::memcpy(stale, block_, sizeof stale);
  ASSERT_EQ(engine_.close(block_), 0);
  EXPECT_EQ(engine_.fetch(12, stale, 0).status, 3);
  EXPECT_EQ(engine_.close(block_), 3);
  EXPECT_EQ(engine_.fetch(12, nullptr, 0).status, 3);
}

// A walk goes on from where the previous fetch left it without searching
// again; whatever changes the file in between must still be seen.
TEST_P(NavigationTest, AWalkSeesWhatAnotherPositionBlockChangesOnTheWay) {
  uint8_t other[128] = {};
  ASSERT_EQ(engine_.open(other, path_), 0);
  std::string seen;
  Answer a = engine_.fetch(12, block_, 0);  // AAAA d
  seen += tagOf(a);
  a = engine_.fetch(6, block_, 0);  // CCCC b
  seen += tagOf(a);
  ASSERT_EQ(engine_.insert(other, record("DDDD", 1, 1, "f")), 0);  // right after b
  a = engine_.fetch(6, block_, 0);
  seen += tagOf(a);
  // Physical order too: a step walk meets a record added behind it.
  Answer step = engine_.fetch(33, block_, 0);
  std::string steps = tagOf(step);
  ASSERT_EQ(engine_.insert(other, record("ZZZZ", 2, 2, "g")), 0);
  for (step = engine_.fetch(24, block_, 0); step.status == 0; step = engine_.fetch(24, block_, 0))
    steps += tagOf(step);
  EXPECT_EQ(seen, "dbf");
  EXPECT_EQ(steps, "abcdefg");
}

INSTANTIATE_TEST_SUITE_P(Entries, NavigationTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Wide" : "Standard"; });

}  // namespace
}  // namespace vorlan::rm::testing

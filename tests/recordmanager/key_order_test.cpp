// Key order through the engine, for the key types and flags: records
// inserted in one order come back along the key in Btrieve's order, the
// same reversed, with duplicates in insertion order.
#include <gtest/gtest.h>

#include <cstring>

#include "recordmanager/engine_fixture.h"

namespace vorlan::rm::testing {
namespace {

constexpr uint16_t kLength = 12;

Bytes field(const void* bytes, size_t n) {
  Bytes r(kLength, 0);
  std::memcpy(r.data(), bytes, n);
  r[kLength - 1] = 0;
  return r;
}
Bytes i16(int16_t v) { return field(&v, 2); }
Bytes u16(uint16_t v) { return field(&v, 2); }
Bytes i32(int32_t v) { return field(&v, 4); }
Bytes f64(double v) { return field(&v, 8); }
Bytes str(const char* s, size_t n) { return field(s, n); }

KeyDefinition segmentedKey() {
  KeyDefinition k;
  KeySegment a, b;
  a.position = 1, a.length = 1, a.type = kTypeString, a.flags = kKeySegmented | kKeyExtendedType | kKeyDuplicates;
  b.position = 2, b.length = 2, b.type = kTypeInteger, b.flags = kKeyExtendedType | kKeyDuplicates | kKeyDescending;
  k.segments = {a, b};
  return k;
}

Bytes seg(char c, int16_t v, uint8_t tag = 0) {
  Bytes r(kLength, 0);
  r[0] = uint8_t(c);
  std::memcpy(r.data() + 1, &v, 2);
  r[10] = tag;  // outside the key: tells equal keys apart
  return r;
}

struct OrderCase {
  const char* name;
  KeyDefinition key;
  std::vector<Bytes> records;  // in insertion order
  std::vector<int> order;      // indexes of `records` in key order
};

TEST(KeyOrderTest, EachTypeAndFlagOrdersAsBtrieveDoes) {
  const std::vector<OrderCase> cases = {
      {"integer", key(1, 2, kTypeInteger), {i16(5), i16(-1), i16(300), i16(-300), i16(0)}, {3, 1, 4, 0, 2}},
      {"integer 4", key(1, 4, kTypeInteger), {i32(70000), i32(-70000), i32(1)}, {1, 2, 0}},
      {"unsigned", key(1, 2, kTypeUnsigned), {u16(5), u16(65535), u16(0), u16(256)}, {2, 0, 3, 1}},
      {"float", key(1, 8, kTypeFloat), {f64(1.5), f64(-2.0), f64(0.0), f64(1e10), f64(-1e-3)}, {1, 4, 2, 0, 3}},
      {"string", key(1, 3, kTypeString), {str("b", 1), str("ab", 2), str("B", 1), str("abc", 3)}, {2, 1, 3, 0}},
      {"descending", key(1, 2, kTypeString, kKeyDescending), {str("b", 1), str("a", 1), str("c", 1)}, {2, 0, 1}},
      {"case-insensitive duplicates", key(1, 1, kTypeString, kKeyCaseInsensitive | kKeyDuplicates),
       {str("b", 1), str("A", 1), str("c", 1), str("a", 1), str("B", 1)}, {1, 3, 0, 4, 2}},
      {"zstring", key(1, 5, kTypeZString), {str("ab\0zz", 5), str("a\0yyy", 5), str("b", 1)}, {1, 0, 2}},
      {"lstring", key(1, 4, kTypeLString), {str("\x02" "ab", 3), str("\x01" "b", 2), str("\x01" "a", 2)}, {2, 0, 1}},
      {"segmented, second segment descending", segmentedKey(),
       {seg('a', 5), seg('b', -9), seg('a', -1), seg('a', 5, 1)}, {0, 3, 2, 1}},
  };
  Engine engine;
  for (const OrderCase& c : cases) {
    vorlan::testing::TempDir dir;
    const std::string path = dir.file("ORDER.MKD");
    ASSERT_EQ(engine.create(path, definition(kLength, 0, {c.key})), 0) << c.name;
    uint8_t block[128] = {};
    ASSERT_EQ(engine.open(block, path), 0) << c.name;
    for (const Bytes& r : c.records) ASSERT_EQ(engine.insert(block, r), 0) << c.name;
    std::vector<int> forward, backward;
    auto indexOf = [&c](const Bytes& data) {
      return int(std::find(c.records.begin(), c.records.end(), data) - c.records.begin());
    };
    for (Answer a = engine.fetch(12, block, 0); a.status == 0; a = engine.fetch(6, block, 0))
      forward.push_back(indexOf(a.data));
    for (Answer a = engine.fetch(13, block, 0); a.status == 0; a = engine.fetch(7, block, 0))
      backward.insert(backward.begin(), indexOf(a.data));
    EXPECT_EQ(forward, c.order) << c.name;
    EXPECT_EQ(backward, c.order) << c.name;
    engine.reset();
  }
}

TEST(KeyOrderTest, AutoincrementKeysNumberZeroValues) {
  vorlan::testing::TempDir dir;
  Engine engine;
  const std::string path = dir.file("AUTO.MKD");
  ASSERT_EQ(engine.create(path, definition(kLength, 0, {key(1, 4, kTypeAutoIncrement)})), 0);
  uint8_t block[128] = {};
  ASSERT_EQ(engine.open(block, path), 0);
  const struct {
    int32_t given;
    int32_t stored;
  } inserts[] = {{0, 1}, {0, 2}, {10, 10}, {0, 11}, {5, 5}, {0, 12}};
  for (const auto& i : inserts) {
    Bytes record = i32(i.given);
    Answer a = engine.call(2, block, record, kLength, {}, 0);
    ASSERT_EQ(a.status, 0);
    EXPECT_EQ(int32_t(little(a.data.data(), 4)), i.stored) << "the caller's record carries the value";
    EXPECT_EQ(int32_t(little(engine.fetch(5, block, 0, i32(i.stored)).data.data(), 4)), i.stored);
  }
  EXPECT_EQ(engine.insert(block, i32(5)), 5);
  engine.reset();
}

}  // namespace
}  // namespace vorlan::rm::testing

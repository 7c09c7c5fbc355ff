#include "recordmanager/extended_filter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "recordmanager/file_definition.h"

namespace vorlan::rm {
namespace {

using Bytes = std::vector<uint8_t>;

void putLe(Bytes& b, size_t at, uint64_t v, int width) {
  for (int i = 0; i < width; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
uint64_t getLe(const uint8_t* p, int width) {
  uint64_t v = 0;
  for (int i = width - 1; i >= 0; --i) v = v << 8 | p[i];
  return v;
}
Bytes le(uint64_t v, int width) {
  Bytes b(width);
  putLe(b, 0, v, width);
  return b;
}

constexpr uint64_t kCutoff = 0x08DC1234567890ABull;

// The purge's descriptors, byte for byte: DeleteExtended or Get Next
// Extended, aged (two terms) or all (one term), at the start of a 64129-byte
// data buffer.
Bytes purgeDescriptor(bool deleteExtended, bool aged) {
  Bytes b(64129, 0xCC);
  size_t at = 0;
  auto u8 = [&](uint8_t v) { b[at++] = v; };
  auto u16 = [&](uint16_t v) {
    putLe(b, at, v, 2);
    at += 2;
  };
  u16(0);  // length, below
  u8('E');
  u8('G');
  u16(65000);
  u16(aged ? 2 : 1);
  u8(0);
  u16(1);
  u16(30);
  u8(1);
  u8(aged ? 1 : 0);
  u8('D');
  if (aged) {
    u8(20);
    u16(8);
    u16(32);
    u8(3);
    u8(0);
    putLe(b, at, kCutoff, 8);
    at += 8;
  }
  u16(deleteExtended ? 6400 : 1);
  u16(deleteExtended ? 0 : 1);
  const size_t stated = deleteExtended ? at : at + 4;
  u16(deleteExtended ? 0 : 48);
  u16(0);
  putLe(b, 0, stated, 2);
  return b;
}

// A PDC-like record: state at 30, last-updated timestamp at 32..39.
Bytes pdcRecord(char state, uint64_t lastUpdated, size_t length = 48) {
  Bytes r(std::max<size_t>(length, 40), 0);
  for (size_t i = 0; i < 30; ++i) r[i] = static_cast<uint8_t>('a' + i % 26);
  r[30] = static_cast<uint8_t>(state);
  putLe(r, 32, lastUpdated, 8);
  r.resize(length);
  return r;
}

TEST(ExtendedDescriptor, ParsesThePurgeDescriptors) {
  const struct {
    bool deleteExtended, aged;
    uint16_t length;
  } forms[] = {{true, false, 20}, {false, false, 24}, {true, true, 35}, {false, true, 39}};
  for (const auto& f : forms) {
    SCOPED_TRACE(std::to_string(f.length));
    const Bytes b = purgeDescriptor(f.deleteExtended, f.aged);
    ASSERT_EQ(getLe(b.data(), 2), f.length);
    ExtendedDescriptor d;
    ASSERT_EQ(parseExtendedDescriptor(b.data(), uint32_t(b.size()), &d), 0);
    EXPECT_FALSE(d.includeCurrent);
    EXPECT_EQ(d.descriptorLength, f.length);
    EXPECT_EQ(d.rejectCount, 65000);
    ASSERT_EQ(d.terms.size(), f.aged ? 2u : 1u);
    EXPECT_EQ(d.terms[0].type, kTypeString);
    EXPECT_EQ(d.terms[0].offset, 30);
    EXPECT_EQ(d.terms[0].value, b.data() + 15);
    if (f.aged) {
      EXPECT_EQ(d.terms[1].type, kTypeTimestamp);
      EXPECT_EQ(d.terms[1].comparison, kCompareLess);
      EXPECT_EQ(getLe(d.terms[1].value, 8), kCutoff);
    }
    EXPECT_EQ(d.maxRecords, f.deleteExtended ? 6400 : 1);
    ASSERT_EQ(d.fields.size(), f.deleteExtended ? 0u : 1u);
    if (!f.deleteExtended) {
      EXPECT_EQ(d.fields[0].length, 48);
      EXPECT_EQ(d.fields[0].offset, 0);
    }
    // Exactly the stated bytes are enough.
    EXPECT_EQ(parseExtendedDescriptor(b.data(), f.length, &d), 0);
  }
}

TEST(ExtendedDescriptor, PurgeFiltersSelectObituaries) {
  const struct {
    const char* what;
    Bytes record;
    bool aged, all;
  } cases[] = {
      {"old obituary", pdcRecord('D', kCutoff - 1), true, true},
      {"obituary at the cutoff", pdcRecord('D', kCutoff), false, true},
      {"new obituary", pdcRecord('D', kCutoff + 1), false, true},
      {"oldest obituary", pdcRecord('D', 0), true, true},
      {"timestamp above 2^63 is not old", pdcRecord('D', ~0ull), false, true},
      {"old live record", pdcRecord('N', 1), false, false},
      {"lower-case d", pdcRecord('d', 1), false, false},
      {"timestamp cut off the record", pdcRecord('D', 1, 39), false, true},
      {"state is the last byte", pdcRecord('D', 1, 31), false, true},
      {"state beyond the record", pdcRecord('D', 1, 30), false, false},
  };
  for (bool deleteExtended : {true, false}) {
    const Bytes agedBytes = purgeDescriptor(deleteExtended, true);
    const Bytes allBytes = purgeDescriptor(deleteExtended, false);
    ExtendedDescriptor aged, all;
    ASSERT_EQ(parseExtendedDescriptor(agedBytes.data(), uint32_t(agedBytes.size()), &aged), 0);
    ASSERT_EQ(parseExtendedDescriptor(allBytes.data(), uint32_t(allBytes.size()), &all), 0);
    for (const auto& c : cases) {
      const uint32_t n = uint32_t(c.record.size());
      EXPECT_EQ(matchesFilter(aged, c.record.data(), n), c.aged) << c.what;
      EXPECT_EQ(matchesFilter(all, c.record.data(), n), c.all) << c.what;
    }
  }
}

TEST(ExtendedDescriptor, ExtractsIntoTheAnswerLayout) {
  const Bytes gne = purgeDescriptor(false, true);
  const Bytes del = purgeDescriptor(true, true);
  ExtendedDescriptor fields, whole;
  ASSERT_EQ(parseExtendedDescriptor(gne.data(), uint32_t(gne.size()), &fields), 0);
  ASSERT_EQ(parseExtendedDescriptor(del.data(), uint32_t(del.size()), &whole), 0);
  const Bytes record = pdcRecord('D', 5, 60);

  for (bool wide : {false, true}) {
    SCOPED_TRACE(wide ? "wide" : "standard");
    const uint32_t positionSize = wide ? 8 : 4;
    Bytes out(200, 0xEE);
    const uint32_t size = 2 + positionSize + 48;
    EXPECT_EQ(extractedRecordSize(fields, 60, wide), size);
    ASSERT_EQ(writeExtractedRecord(fields, record.data(), 60, 0x1122334455667788ull, wide, out.data(), 200), size);
    EXPECT_EQ(getLe(&out[0], 2), 48u);
    EXPECT_EQ(getLe(&out[2], positionSize), wide ? 0x1122334455667788ull : 0x55667788ull);
    EXPECT_EQ(0, std::memcmp(&out[2 + positionSize], record.data(), 48));
    EXPECT_EQ(out[size], 0xEE);
    // One byte short of room: nothing.
    EXPECT_EQ(writeExtractedRecord(fields, record.data(), 60, 1, wide, out.data(), size - 1), 0u);

    // Without fields the whole record goes.
    EXPECT_EQ(writeExtractedRecord(whole, record.data(), 60, 7, wide, out.data(), 200), 2 + positionSize + 60);
    EXPECT_EQ(getLe(&out[0], 2), 60u);
    EXPECT_EQ(0, std::memcmp(&out[2 + positionSize], record.data(), 60));
  }

  // A field beyond a short record: the caller answers 65; the bytes that
  // are there are copied, the rest zero.
  EXPECT_TRUE(extractorFits(fields, 48));
  EXPECT_FALSE(extractorFits(fields, 47));
  EXPECT_TRUE(extractorFits(whole, 0));
  Bytes out(60, 0xEE);
  ASSERT_EQ(writeExtractedRecord(fields, record.data(), 40, 1, false, out.data(), 60), 54u);
  EXPECT_EQ(0, std::memcmp(&out[6], record.data(), 40));
  EXPECT_EQ(out[6 + 40], 0);
  EXPECT_EQ(out[6 + 47], 0);
}

TEST(ExtendedDescriptor, MalformedDescriptorsAnswer62) {
  using Edit = std::function<void(Bytes&, uint32_t&)>;
  const struct {
    const char* what;
    Edit edit;
    int status;
  } cases[] = {
      {"as sent", [](Bytes&, uint32_t&) {}, 0},
      {"UC", [](Bytes& b, uint32_t&) { b[2] = 'U', b[3] = 'C'; }, 0},
      {"length one more", [](Bytes& b, uint32_t&) { b[0] = 40; }, 62},
      {"length one less", [](Bytes& b, uint32_t&) { b[0] = 38; }, 62},
      {"length zero", [](Bytes& b, uint32_t&) { b[0] = 0; }, 62},
      {"truncated buffer", [](Bytes&, uint32_t& n) { n = 38; }, 62},
      {"header only", [](Bytes&, uint32_t& n) { n = 7; }, 62},
      {"lower-case letters", [](Bytes& b, uint32_t&) { b[2] = 'e', b[3] = 'g'; }, 62},
      {"unknown letters", [](Bytes& b, uint32_t&) { b[2] = 'G', b[3] = 'E'; }, 62},
      {"comparison 0", [](Bytes& b, uint32_t&) { b[13] = 0; }, 62},
      {"comparison 7", [](Bytes& b, uint32_t&) { b[13] = 7; }, 62},
      {"comparison with bit 8", [](Bytes& b, uint32_t&) { b[13] = 8 + 1; }, 62},
      {"comparison with bias bits", [](Bytes& b, uint32_t&) { b[13] = 32 + 128 + 1; }, 0},
      {"connector 3", [](Bytes& b, uint32_t&) { b[14] = 3; }, 62},
      {"first of two terms ends", [](Bytes& b, uint32_t&) { b[14] = 0; }, 62},
      {"last term connects on", [](Bytes& b, uint32_t&) { b[22] = 2; }, 62},
      {"term length 0", [](Bytes& b, uint32_t&) { b[9] = 0; }, 62},
      {"term runs past the length", [](Bytes& b, uint32_t&) { b[17] = 200; }, 62},
      {"three terms", [](Bytes& b, uint32_t&) { b[6] = 3; }, 62},
      {"no records", [](Bytes& b, uint32_t&) { b[31] = 0; }, 62},
      {"two fields", [](Bytes& b, uint32_t&) { b[33] = 2; }, 62},
      {"field length 0", [](Bytes& b, uint32_t&) { b[35] = 0; }, 62},
      {"zero terms, stated length kept", [](Bytes& b, uint32_t&) { b[6] = 0; }, 62},
  };
  for (const auto& c : cases) {
    Bytes b = purgeDescriptor(false, true);
    uint32_t available = uint32_t(b.size());
    c.edit(b, available);
    // An exactly sized copy, so that the sanitizer sees any overread.
    Bytes exact(b.begin(), b.begin() + available);
    ExtendedDescriptor d;
    EXPECT_EQ(parseExtendedDescriptor(exact.data(), available, &d), c.status) << c.what;
  }
  // Every cut of a valid descriptor is refused.
  const Bytes b = purgeDescriptor(false, true);
  for (uint32_t n = 0; n < 39; ++n) {
    Bytes exact(b.begin(), b.begin() + n);
    ExtendedDescriptor d;
    EXPECT_EQ(parseExtendedDescriptor(exact.data(), n, &d), 62) << n;
  }
}

// Builds descriptors for the filter cases: terms, then an extractor of one
// record without fields.
struct Term {
  uint8_t type;
  uint16_t length, offset;
  uint8_t comparison, connector;
  Bytes value;
};
Bytes descriptor(const std::vector<Term>& terms) {
  Bytes b(8, 0);
  b[2] = 'U';
  b[3] = 'C';
  putLe(b, 6, terms.size(), 2);
  for (const Term& t : terms) {
    Bytes h(7, 0);
    h[0] = t.type;
    putLe(h, 1, t.length, 2);
    putLe(h, 3, t.offset, 2);
    h[5] = t.comparison;
    h[6] = t.connector;
    b.insert(b.end(), h.begin(), h.end());
    b.insert(b.end(), t.value.begin(), t.value.end());
  }
  const Bytes extractor = {1, 0, 0, 0};
  b.insert(b.end(), extractor.begin(), extractor.end());
  putLe(b, 0, b.size(), 2);
  return b;
}
Bytes text(const std::string& s, size_t width) {
  Bytes b(s.begin(), s.end());
  b.resize(width, 0);
  return b;
}

TEST(ExtendedDescriptor, FilterComparesByType) {
  // Record: 0..1 int16 -5, 2..3 uint16 65535, 4..11 double 2.5, 12..17
  // zstring "abc", 18..23 lstring "ab", 24..27 string "AbCd", 28..29 int16 -5.
  Bytes record(30, 0);
  putLe(record, 0, uint64_t(-5), 2);
  putLe(record, 2, 65535, 2);
  const double d = 2.5;
  std::memcpy(&record[4], &d, 8);
  std::memcpy(&record[12], "abc\0zz", 6);
  std::memcpy(&record[18], "\x02" "abxyz", 6);
  std::memcpy(&record[24], "AbCd", 4);
  putLe(record, 28, uint64_t(-5), 2);
  auto dbl = [](double v) {
    Bytes b(8);
    std::memcpy(b.data(), &v, 8);
    return b;
  };

  const struct {
    const char* what;
    Term term;
    bool matches;
  } cases[] = {
      {"int -5 < 1", {kTypeInteger, 2, 0, kCompareLess, 0, le(1, 2)}, true},
      {"int -5 > -6", {kTypeInteger, 2, 0, kCompareGreater, 0, le(uint64_t(-6), 2)}, true},
      {"int -5 = -5", {kTypeInteger, 2, 0, kCompareEqual, 0, le(uint64_t(-5), 2)}, true},
      {"int -5 >= -4", {kTypeInteger, 2, 0, kCompareGreaterOrEqual, 0, le(uint64_t(-4), 2)}, false},
      {"int -5 <= -5", {kTypeInteger, 2, 0, kCompareLessOrEqual, 0, le(uint64_t(-5), 2)}, true},
      {"int -5 != -5", {kTypeInteger, 2, 0, kCompareNotEqual, 0, le(uint64_t(-5), 2)}, false},
      {"unsigned 65535 > 1", {kTypeUnsigned, 2, 2, kCompareGreater, 0, le(1, 2)}, true},
      {"string bytes are unsigned", {kTypeString, 2, 2, kCompareGreater, 0, {0x01, 0x00}}, true},
      {"double 2.5 > -3", {kTypeFloat, 8, 4, kCompareGreater, 0, dbl(-3)}, true},
      {"double 2.5 < 10", {kTypeFloat, 8, 4, kCompareLess, 0, dbl(10)}, true},
      {"zstring ignores bytes after the zero", {kTypeZString, 6, 12, kCompareEqual, 0, text("abc", 6)}, true},
      {"zstring abc > ab", {kTypeZString, 6, 12, kCompareGreater, 0, text("ab", 6)}, true},
      {"lstring by its length", {kTypeLString, 6, 18, kCompareEqual, 0, text("\x02" "abQQQ", 6)}, true},
      {"lstring ab < abc", {kTypeLString, 6, 18, kCompareLess, 0, text("\x03" "abc", 6)}, true},
      {"string case matters", {kTypeString, 4, 24, kCompareEqual, 0, text("ABCD", 4)}, false},
      {"string case-insensitive", {kTypeString, 4, 24, kCompareEqual + kCompareNoCaseBias, 0, text("abcd", 4)}, true},
      {"ACS bias is plain", {kTypeString, 4, 24, kCompareEqual + kCompareAcsBias, 0, text("AbCd", 4)}, true},
      {"field with field, equal", {kTypeInteger, 2, 0, kCompareEqual + kCompareFieldBias, 0, le(28, 2)}, true},
      {"field with field, less", {kTypeInteger, 2, 0, kCompareLess + kCompareFieldBias, 0, le(2, 2)}, true},
      {"other field beyond the record", {kTypeInteger, 2, 0, kCompareNotEqual + kCompareFieldBias, 0, le(29, 2)}, false},
      {"field beyond the record", {kTypeString, 2, 29, kCompareNotEqual, 0, text("", 2)}, false},
      {"timestamp unsigned", {kTypeTimestamp, 8, 22, kCompareGreater, 0, le(1ull << 62, 8)}, true},
  };
  for (const auto& c : cases) {
    const Bytes b = descriptor({c.term});
    ExtendedDescriptor desc;
    ASSERT_EQ(parseExtendedDescriptor(b.data(), uint32_t(b.size()), &desc), 0) << c.what;
    EXPECT_TRUE(desc.includeCurrent);
    EXPECT_EQ(matchesFilter(desc, record.data(), uint32_t(record.size())), c.matches) << c.what;
  }
}

TEST(ExtendedDescriptor, ConnectorsGoStrictlyLeftToRight) {
  const Bytes record = text("ABC", 3);
  auto is = [](uint16_t offset, char c, uint8_t connector) {
    return Term{kTypeString, 1, offset, kCompareEqual, connector, {uint8_t(c)}};
  };
  const struct {
    const char* what;
    std::vector<Term> terms;
    bool matches;
  } cases[] = {
      {"no terms", {}, true},
      {"true AND false", {is(0, 'A', 1), is(1, 'X', 0)}, false},
      {"false OR true", {is(0, 'X', 2), is(1, 'B', 0)}, true},
      // (true OR true) AND false: false; with AND first it would be true.
      {"true OR true AND false", {is(0, 'A', 2), is(1, 'B', 1), is(2, 'X', 0)}, false},
      // (false AND x) OR true: true.
      {"false AND false OR true", {is(0, 'X', 1), is(1, 'X', 2), is(2, 'C', 0)}, true},
      {"true AND true AND true", {is(0, 'A', 1), is(1, 'B', 1), is(2, 'C', 0)}, true},
  };
  for (const auto& c : cases) {
    const Bytes b = descriptor(c.terms);
    ExtendedDescriptor desc;
    ASSERT_EQ(parseExtendedDescriptor(b.data(), uint32_t(b.size()), &desc), 0) << c.what;
    EXPECT_EQ(matchesFilter(desc, record.data(), 3), c.matches) << c.what;
  }
}

}  // namespace
}  // namespace vorlan::rm

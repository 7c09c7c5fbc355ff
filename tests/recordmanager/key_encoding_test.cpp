#include "recordmanager/key_encoding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace vorlan::rm {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes le(uint64_t v, int width) {
  Bytes b(width);
  for (int i = 0; i < width; ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
  return b;
}
Bytes f32(float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, 4);
  return le(bits, 4);
}
Bytes f64(double d) {
  uint64_t bits;
  std::memcpy(&bits, &d, 8);
  return le(bits, 8);
}
// `text` padded with zero bytes to `width`.
Bytes str(const std::string& text, size_t width) {
  Bytes b(text.begin(), text.end());
  b.resize(width, 0);
  return b;
}
// An lstring field of `width` bytes: length byte, then the text.
Bytes lstr(uint8_t length, const std::string& text, size_t width) {
  Bytes b(width, 0);
  b[0] = length;
  for (size_t i = 0; i < text.size() && i + 1 < width; ++i) b[i + 1] = static_cast<uint8_t>(text[i]);
  return b;
}
Bytes date(int day, int month, int year) { return {uint8_t(day), uint8_t(month), uint8_t(year), uint8_t(year >> 8)}; }
Bytes time(int hour, int minute, int second, int hundredths) {
  return {uint8_t(hundredths), uint8_t(second), uint8_t(minute), uint8_t(hour)};
}
Bytes cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

KeySegment seg(uint8_t type, uint16_t length, uint16_t flags = 0, uint16_t position = 1) {
  KeySegment s;
  s.type = type;
  s.length = length;
  s.flags = static_cast<uint16_t>(flags | kKeyExtendedType);
  s.position = position;
  return s;
}

KeyDefinition key(std::vector<KeySegment> segments) {
  KeyDefinition k;
  for (size_t i = 0; i + 1 < segments.size(); ++i) segments[i].flags |= kKeySegmented;
  k.segments = std::move(segments);
  return k;
}

Bytes encode(const FileDefinition& file, const KeyDefinition& k, const Bytes& value) {
  EXPECT_EQ(value.size(), k.valueLength());
  Bytes out(encodedKeyLength(k));
  encodeKeyValue(file, k, value.data(), out.data());
  return out;
}

// Each group's values encode equal; the groups come out strictly ascending.
struct OrderCase {
  const char* what;
  KeyDefinition k;
  std::vector<std::vector<Bytes>> groups;
};

void expectOrder(const FileDefinition& file, const OrderCase& c) {
  SCOPED_TRACE(c.what);
  Bytes previous;
  for (size_t g = 0; g < c.groups.size(); ++g) {
    const Bytes first = encode(file, c.k, c.groups[g][0]);
    for (size_t i = 1; i < c.groups[g].size(); ++i) {
      EXPECT_EQ(encode(file, c.k, c.groups[g][i]), first) << "group " << g << " member " << i;
    }
    if (g > 0) {
      EXPECT_LT(std::memcmp(previous.data(), first.data(), first.size()), 0) << "group " << g;
    }
    previous = first;
  }
}

const int64_t kMin64 = std::numeric_limits<int64_t>::min();
const int64_t kMax64 = std::numeric_limits<int64_t>::max();
const float kInfF = std::numeric_limits<float>::infinity();
const double kInf = std::numeric_limits<double>::infinity();

TEST(KeyEncoding, NumericTypesSortByValue) {
  const FileDefinition file;
  const OrderCase cases[] = {
      {"integer 1", key({seg(kTypeInteger, 1)}), {{le(-128, 1)}, {le(-1, 1)}, {le(0, 1)}, {le(1, 1)}, {le(127, 1)}}},
      {"integer 2",
       key({seg(kTypeInteger, 2)}),
       {{le(-32768, 2)}, {le(-256, 2)}, {le(-1, 2)}, {le(0, 2)}, {le(1, 2)}, {le(255, 2)}, {le(256, 2)}, {le(32767, 2)}}},
      {"integer 4",
       key({seg(kTypeInteger, 4)}),
       {{le(-2147483648ll, 4)}, {le(-65536, 4)}, {le(-1, 4)}, {le(0, 4)}, {le(65536, 4)}, {le(2147483647, 4)}}},
      {"integer 8",
       key({seg(kTypeInteger, 8)}),
       {{le(kMin64, 8)}, {le(-1, 8)}, {le(0, 8)}, {le(1ull << 40, 8)}, {le(kMax64, 8)}}},
      {"unsigned 2", key({seg(kTypeUnsigned, 2)}), {{le(0, 2)}, {le(1, 2)}, {le(255, 2)}, {le(256, 2)}, {le(65535, 2)}}},
      {"unsigned 8",
       key({seg(kTypeUnsigned, 8)}),
       {{le(0, 8)}, {le(1ull << 32, 8)}, {le(1ull << 63, 8)}, {le(~0ull, 8)}}},
      {"autoincrement 4", key({seg(kTypeAutoIncrement, 4)}), {{le(-5, 4)}, {le(0, 4)}, {le(7, 4)}}},
      {"timestamp",
       key({seg(kTypeTimestamp, 8)}),
       {{le(0, 8)}, {le(1, 8)}, {le(1ull << 56, 8)}, {le(1ull << 63, 8)}, {le(~0ull, 8)}}},
      {"float 4",
       key({seg(kTypeFloat, 4)}),
       {{f32(-kInfF)}, {f32(-1e10f)}, {f32(-1.5f)}, {f32(-1e-30f)}, {f32(-0.0f), f32(0.0f)}, {f32(1e-30f)},
        {f32(1.0f)}, {f32(2.0f)}, {f32(1e10f)}, {f32(kInfF)}}},
      {"float 8",
       key({seg(kTypeFloat, 8)}),
       {{f64(-kInf)}, {f64(-1e300)}, {f64(-1.0)}, {f64(-0.0), f64(0.0)}, {f64(5e-324)}, {f64(1.0)}, {f64(1.5)},
        {f64(kInf)}}},
      {"date", key({seg(kTypeDate, 4)}), {{date(31, 12, 1999)}, {date(1, 1, 2000)}, {date(2, 1, 2000)}, {date(1, 2, 2000)}}},
      {"time",
       key({seg(kTypeTime, 4)}),
       {{time(0, 0, 0, 0)}, {time(0, 0, 0, 99)}, {time(0, 0, 1, 0)}, {time(0, 59, 59, 99)}, {time(23, 0, 0, 0)}}},
      {"integer 2 descending",
       key({seg(kTypeInteger, 2, kKeyDescending)}),
       {{le(32767, 2)}, {le(1, 2)}, {le(0, 2)}, {le(-1, 2)}, {le(-32768, 2)}}},
      {"float 8 descending", key({seg(kTypeFloat, 8, kKeyDescending)}), {{f64(2.0)}, {f64(0.0), f64(-0.0)}, {f64(-2.0)}}},
  };
  for (const OrderCase& c : cases) expectOrder(file, c);
}

// 16-bit code units, little-endian, zero-filled to `width` bytes.
Bytes wide(std::vector<uint16_t> units, size_t width) {
  Bytes b(width, 0);
  for (size_t i = 0; i < units.size() && 2 * i + 1 < width; ++i) {
    b[2 * i] = static_cast<uint8_t>(units[i]);
    b[2 * i + 1] = static_cast<uint8_t>(units[i] >> 8);
  }
  return b;
}

TEST(KeyEncoding, DecimalBFloatNumericAndWideTypesSortByValue) {
  const FileDefinition file;
  const OrderCase cases[] = {
      {"decimal",
       key({seg(kTypeDecimal, 2)}),
       {{{0x99, 0x9D}}, {{0x01, 0x2B}}, {{0x00, 0x1D}}, {{0x00, 0x0D}}, {{0x00, 0x0F}, {0x00, 0x0C}},
        {{0x00, 0x1F}, {0x00, 0x1C}}, {{0x01, 0x0C}}, {{0x99, 0x9F}}}},
      {"money descending", key({seg(kTypeMoney, 2, kKeyDescending)}), {{{0x00, 0x5C}}, {{0x00, 0x0C}}, {{0x00, 0x5D}}}},
      {"numeric, sign overpunched",
       key({seg(kTypeNumeric, 3)}),
       {{str("01K", 3)}, {str("00J", 3)}, {str("00{", 3), str("000", 3)}, {str("00A", 3), str("001", 3)},
        {str("12B", 3)}, {str("99I", 3)}}},
      {"numeric with trailing sign",
       key({seg(kTypeNumericSts, 3)}),
       {{str("12-", 3)}, {str("01-", 3)}, {str("00+", 3), str("00 ", 3)}, {str("05+", 3)}, {str("99+", 3)}}},
      {"bfloat 4",
       key({seg(kTypeBFloat, 4)}),
       {{{0, 0, 0x80, 0x82}}, {{0, 0, 0x80, 0x81}}, {{0, 0, 0, 0}, {0, 0, 0x80, 0}}, {{0, 0, 0, 0x80}},
        {{0, 0, 0, 0x81}}, {{0, 0, 0x40, 0x81}}, {{0, 0, 0, 0x82}}}},
      {"bfloat 8",
       key({seg(kTypeBFloat, 8)}),
       {{{0, 0, 0, 0, 0, 0, 0x80, 0x81}}, {{0, 0, 0, 0, 0, 0, 0, 0}}, {{1, 0, 0, 0, 0, 0, 0, 0x81}},
        {{0, 0, 0, 0, 0, 0, 0x40, 0x81}}}},
      {"wstring by code unit",
       key({seg(kTypeWString, 4)}),
       {{wide({'A'}, 4)}, {wide({'A', 'B'}, 4)}, {wide({0x00FF}, 4)}, {wide({0x0100}, 4)}, {wide({0x3000}, 4)}}},
      {"wzstring case-insensitive",
       key({seg(kTypeWZString, 6, kKeyCaseInsensitive)}),
       {{wide({'a'}, 6), wide({'A', 0, 'x'}, 6)}, {wide({'A', 1}, 6)}, {wide({'a', 'b'}, 6), wide({'A', 'B'}, 6)},
        {wide({'B'}, 6)}}},
  };
  for (const OrderCase& c : cases) expectOrder(file, c);
}

TEST(KeyEncoding, OldStyleKeysAreStringOrUnsignedBinary) {
  const FileDefinition file;
  KeyDefinition binary;
  binary.segments = {KeySegment{1, 3, kKeyBinary, kTypeUnsigned}};
  KeyDefinition plain;
  plain.segments = {KeySegment{1, 2, 0, kTypeString}};
  const OrderCase cases[] = {
      {"binary 3", binary, {{le(0, 3)}, {le(1, 3)}, {le(0x100, 3)}, {le(0x10000, 3)}, {le(0xFFFFFF, 3)}}},
      {"string 2", plain, {{{0x00, 0xFF}}, {{0x01, 0x00}}, {{0x7F, 0x00}}, {{0x80, 0x00}}, {{0xFF, 0x00}}}},
  };
  for (const OrderCase& c : cases) expectOrder(file, c);
}

TEST(KeyEncoding, StringTypesSortByTheirText) {
  const FileDefinition file;
  const OrderCase cases[] = {
      {"string",
       key({seg(kTypeString, 3)}),
       {{str("", 3)}, {str("\x01", 3)}, {str("AAA", 3)}, {str("AB", 3)}, {str("ABC", 3)}, {str("A\x7f", 3)},
        {str("A\x80", 3)}, {str("a", 3)}, {str("\xff", 3)}}},
      {"string case-insensitive",
       key({seg(kTypeString, 3, kKeyCaseInsensitive)}),
       {{str("abc", 3), str("ABC", 3), str("aBc", 3)}, {str("ABD", 3)}, {str("zzz", 3), str("ZZZ", 3)},
        {str("[[[", 3)}, {str("```", 3)}}},
      {"zstring",
       key({seg(kTypeZString, 5)}),
       {{str("", 5), str(std::string("\0XYZ", 4), 5)}, {str("A", 5)}, {str("AB", 5), str(std::string("AB\0Q", 4), 5)},
        {str("ABC", 5)}, {str("ABCDE", 5)}, {str("B", 5)}}},
      {"zstring case-insensitive",
       key({seg(kTypeZString, 4, kKeyCaseInsensitive)}),
       {{str("ab", 4), str("AB", 4)}, {str("abc", 4), str("ABC", 4)}, {str("b", 4)}}},
      {"lstring",
       key({seg(kTypeLString, 5)}),
       {{lstr(0, "", 5), lstr(0, "XYZ", 5)},
        {lstr(1, "A", 5), lstr(1, "AQQ", 5)},
        {lstr(2, std::string("A\0", 2), 5)},
        {lstr(2, "AB", 5)},
        {lstr(4, "ABCD", 5), lstr(9, "ABCD", 5), lstr(255, "ABCD", 5)},
        {lstr(1, "B", 5)}}},
      {"lstring case-insensitive",
       key({seg(kTypeLString, 4, kKeyCaseInsensitive)}),
       {{lstr(2, "ab", 4), lstr(2, "AB", 4)}, {lstr(3, "abc", 4)}, {lstr(1, "b", 4)}}},
      {"string descending",
       key({seg(kTypeString, 2, kKeyDescending)}),
       {{str("\xff", 2)}, {str("B", 2)}, {str("AB", 2)}, {str("A", 2)}, {str("", 2)}}},
      {"zstring descending",
       key({seg(kTypeZString, 3, kKeyDescending)}),
       {{str("B", 3)}, {str("AB", 3)}, {str("A", 3), str(std::string("A\0Z", 3), 3)}, {str("", 3)}}},
  };
  for (const OrderCase& c : cases) expectOrder(file, c);
}

TEST(KeyEncoding, AlternateCollatingSequenceMapsEveryByte) {
  FileDefinition file;
  AlternateSequence acs{};
  acs[0] = 0xAC;
  for (int i = 0; i < 256; ++i) acs[kAcsMapOffset + i] = static_cast<uint8_t>(255 - i);  // reversed
  AlternateSequence second = acs;
  for (int i = 0; i < 256; ++i) second[kAcsMapOffset + i] = static_cast<uint8_t>(i);  // identity
  file.alternateSequences = {acs, second};
  KeySegment reversed = seg(kTypeString, 2, kKeyAcs);
  KeySegment identity = seg(kTypeString, 2, kKeyAcs | kKeyCaseInsensitive);
  identity.acsNumber = 1;  // the sequence wins over case-insensitivity
  const OrderCase cases[] = {
      {"reversed", key({reversed}), {{str("B", 2)}, {str("A", 2)}}},
      {"identity", key({identity}), {{str("AB", 2)}, {str("Ab", 2)}, {str("a", 2)}}},
  };
  for (const OrderCase& c : cases) expectOrder(file, c);
}

TEST(KeyEncoding, SegmentsMixTypesAndDirections) {
  const FileDefinition file;
  const OrderCase cases[] = {
      {"integer then descending string",
       key({seg(kTypeInteger, 2), seg(kTypeString, 2, kKeyDescending, 3)}),
       {{cat(le(-1, 2), str("ZZ", 2))}, {cat(le(-1, 2), str("AA", 2))}, {cat(le(0, 2), str("ZZ", 2))},
        {cat(le(0, 2), str("AA", 2))}, {cat(le(5, 2), str("BB", 2))}}},
      {"zstring then unsigned",
       key({seg(kTypeZString, 3), seg(kTypeUnsigned, 1, 0, 4)}),
       {{cat(str("A", 3), le(2, 1)), cat(str(std::string("A\0x", 3), 3), le(2, 1))}, {cat(str("A", 3), le(3, 1))},
        {cat(str("AB", 3), le(0, 1))}}},
      {"descending timestamp then float",
       key({seg(kTypeTimestamp, 8, kKeyDescending), seg(kTypeFloat, 4, 0, 9)}),
       {{cat(le(9, 8), f32(-1))}, {cat(le(9, 8), f32(1))}, {cat(le(1, 8), f32(-1))}}},
  };
  for (const OrderCase& c : cases) expectOrder(file, c);
}

TEST(KeyEncoding, ExtractsSegmentsFromTheRecord) {
  const KeyDefinition k = key({seg(kTypeString, 2, 0, 5), seg(kTypeString, 3, 0, 1)});
  const Bytes record = str("ABCDEF", 6);
  Bytes value(5, 0xEE);
  extractKeyValue(k, record.data(), 6, value.data());
  EXPECT_EQ(value, str("EFABC", 5));
  // Beyond a short (variable-length) record the key reads as zero.
  extractKeyValue(k, record.data(), 5, value.data());
  EXPECT_EQ(value, str(std::string("E\0ABC", 5), 5));
  extractKeyValue(k, record.data(), 2, value.data());
  EXPECT_EQ(value, str(std::string("\0\0AB", 4), 5));
}

TEST(KeyEncoding, NullKeysByTheirFlags) {
  auto twoSegments = [](uint16_t flags) {
    KeyDefinition k = key({seg(kTypeString, 2, flags), seg(kTypeString, 2, flags, 3)});
    k.segments[0].nullValue = ' ';
    k.segments[1].nullValue = 0;
    return k;
  };
  const struct {
    uint16_t flags;
    const char* value;
    bool isNull;
  } cases[] = {
      {0, "  \0\0", false},          {kKeyNullAll, "  \0\0", true}, {kKeyNullAll, "  A\0", false},
      {kKeyNullAll, "A \0\0", false}, {kKeyNullAny, "  A\0", true}, {kKeyNullAny, "AB\0\0", true},
      {kKeyNullAny, "A B\0", false},  {kKeyNullAny, "\0\0  ", false},
  };
  for (const auto& c : cases) {
    const KeyDefinition k = twoSegments(c.flags);
    EXPECT_EQ(isNullKey(k, reinterpret_cast<const uint8_t*>(c.value)), c.isNull)
        << std::hex << c.flags << " '" << std::string(c.value, 4) << "'";
  }
}

TEST(KeyEncoding, ValidateKeyRefusesAMissingSequence) {
  FileDefinition file;
  file.recordLength = 10;
  KeySegment s = seg(kTypeString, 4, kKeyAcs);
  EXPECT_EQ(validateKey(file, key({s})), 48);
  file.alternateSequences.resize(1);
  EXPECT_EQ(validateKey(file, key({s})), 0);
  EXPECT_EQ(validateKey(file, KeyDefinition{}), 29);
}

}  // namespace
}  // namespace vorlan::rm

#include "recordmanager/file_definition.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace vorlan::rm {
namespace {

using Bytes = std::vector<uint8_t>;

void put16(Bytes& b, size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
uint64_t get(const Bytes& b, size_t at, int width) {
  uint64_t v = 0;
  for (int i = width - 1; i >= 0; --i) v = v << 8 | b[at + i];
  return v;
}

struct Seg {
  uint16_t position, length, flags;
  uint8_t type = 0, nullValue = 0, keyNumber = 0, acs = 0;
};

// A standard-layout Create buffer: 16-byte header, segment blocks, ACS blocks.
Bytes createBuffer(uint16_t recordLength, uint16_t pageSize, uint8_t keys, uint16_t fileFlags,
                   const std::vector<Seg>& segs, int acsBlocks = 0) {
  Bytes b(16 + 16 * segs.size() + 265 * acsBlocks, 0);
  put16(b, 0, recordLength);
  put16(b, 2, pageSize);
  b[4] = keys;
  put16(b, 10, fileFlags);
  for (size_t i = 0; i < segs.size(); ++i) {
    const size_t at = 16 + 16 * i;
    put16(b, at, segs[i].position);
    put16(b, at + 2, segs[i].length);
    put16(b, at + 4, segs[i].flags);
    b[at + 10] = segs[i].type;
    b[at + 11] = segs[i].nullValue;
    b[at + 14] = segs[i].keyNumber;
    b[at + 15] = segs[i].acs;
  }
  for (int a = 0; a < acsBlocks; ++a) {
    const size_t at = 16 + 16 * segs.size() + 265 * a;
    b[at] = 0xAC;
    std::memcpy(&b[at + 1], "UPPER   ", 8);
    for (int i = 0; i < 256; ++i) b[at + 9 + i] = static_cast<uint8_t>(255 - i);
  }
  return b;
}

constexpr uint16_t kExt = kKeyExtendedType;

// Three keys: a two-segment key (integer + case-insensitive string), an
// old-style binary key with ACS, and a timestamp key with duplicates.
Bytes richCreateBuffer() {
  return createBuffer(
      64, 4096, 3, kFileSystemData | kFileVariableLength,
      {{1, 4, kExt | kKeySegmented | kKeyModifiable, kTypeInteger},
       {5, 10, kExt | kKeyCaseInsensitive | kKeyModifiable, kTypeString},
       {15, 6, kKeyBinary | kKeyAcs | kKeyNullAll, 0, 0x20, 0, 0},
       {21, 8, kExt | kKeyDuplicates | kKeyDescending, kTypeTimestamp}},
      1);
}

TEST(FileDefinition, ParsesTheStandardCreateBuffer) {
  const Bytes b = richCreateBuffer();
  FileDefinition def;
  ASSERT_EQ(parseFileDefinition(b.data(), uint32_t(b.size()), false, &def), 0);
  EXPECT_EQ(def.recordLength, 64);
  EXPECT_EQ(def.pageSize, 4096);
  EXPECT_EQ(def.fileFlags, kFileSystemData | kFileVariableLength);
  ASSERT_EQ(def.keys.size(), 3u);
  EXPECT_EQ(def.keys[0].segments.size(), 2u);
  EXPECT_EQ(def.keys[0].valueLength(), 14u);
  EXPECT_TRUE(def.keys[0].isModifiable());
  EXPECT_EQ(def.keys[1].segments[0].type, kTypeUnsigned);  // old-style binary
  EXPECT_EQ(def.keys[1].segments[0].nullValue, 0x20);
  EXPECT_EQ(def.keys[1].keyNumber, 1);
  EXPECT_TRUE(def.keys[2].allowsDuplicates());
  EXPECT_EQ(def.keys[2].segments[0].type, kTypeTimestamp);
  ASSERT_EQ(def.alternateSequences.size(), 1u);
  const uint8_t* map = alternateSequenceMap(def, def.keys[1].segments[0]);
  ASSERT_NE(map, nullptr);
  EXPECT_EQ(map[0], 255);
  EXPECT_EQ(alternateSequenceMap(def, def.keys[0].segments[1]), nullptr);
  EXPECT_EQ(def.systemDataMode(), 1);
}

TEST(FileDefinition, StatAnswerLayoutsAndRoundTrip) {
  const Bytes create = richCreateBuffer();
  FileDefinition def;
  ASSERT_EQ(parseFileDefinition(create.data(), uint32_t(create.size()), false, &def), 0);
  def.versionByte = 0x95;
  def.duplicatePointers = 3;
  def.preallocatedPages = 7;

  for (bool wide : {false, true}) {
    SCOPED_TRACE(wide ? "wide" : "standard");
    const uint32_t size = fileDefinitionSize(def, wide);
    EXPECT_EQ(size, (wide ? 32u : 16u) + 4 * 16 + 265);
    Bytes stat(wide ? 36612 : 33236, 0xEE);
    const uint64_t count = wide ? 0x123456789ull : 70000;
    ASSERT_EQ(writeFileDefinition(def, count, wide, stat.data(), uint32_t(stat.size())), size);
    EXPECT_EQ(stat[size], 0xEE);  // nothing written past the answer
    EXPECT_EQ(get(stat, 0, 2), 64u);
    EXPECT_EQ(get(stat, 4, 1), 3u);
    if (wide) {
      EXPECT_EQ(get(stat, 8, 8), count);
      EXPECT_EQ(get(stat, 18, 2), 0x95u);
      EXPECT_EQ(get(stat, 16, 2), def.fileFlags);
    } else {
      EXPECT_EQ(get(stat, 5, 1), 0x95u);
      EXPECT_EQ(get(stat, 6, 4), count);
      EXPECT_EQ(get(stat, 10, 2), def.fileFlags);
    }
    // The segment blocks and the ACS follow the header as Create gave them.
    const uint32_t header = wide ? 32 : 16;
    EXPECT_EQ(0, std::memcmp(&stat[header], &create[16], 4 * 16 + 265));

    FileDefinition back;
    ASSERT_EQ(parseFileDefinition(stat.data(), size, wide, &back), 0);
    EXPECT_EQ(back, def);
  }
}

// A Stat answer handed back to Create with only the version and the record
// count changed defines the same file; its next Stat is byte for byte the
// first one but for those fields.
TEST(FileDefinition, CloneThroughStatAndCreate) {
  const Bytes create = richCreateBuffer();
  FileDefinition source;
  ASSERT_EQ(parseFileDefinition(create.data(), uint32_t(create.size()), false, &source), 0);
  source.versionByte = 0x60;
  for (bool wide : {false, true}) {
    SCOPED_TRACE(wide ? "wide" : "standard");
    Bytes stat(wide ? 36612 : 33236, 0);
    const uint32_t size = writeFileDefinition(source, 12345, wide, stat.data(), uint32_t(stat.size()));
    if (wide) {
      put16(stat, 18, 0x00FF);
      std::memset(&stat[8], 0, 8);
    } else {
      stat[5] = 0xFF;
      std::memset(&stat[6], 0, 4);
    }
    FileDefinition clone;
    ASSERT_EQ(parseFileDefinition(stat.data(), size, wide, &clone), 0);
    EXPECT_EQ(clone.versionByte, 0xFF);
    clone.versionByte = source.versionByte;
    EXPECT_EQ(clone, source);

    clone.versionByte = 0xFF;
    Bytes again(stat.size(), 0);
    ASSERT_EQ(writeFileDefinition(clone, 0, wide, again.data(), uint32_t(again.size())), size);
    EXPECT_EQ(again, stat);
  }
}

TEST(FileDefinition, UniqueValueCountsGoIntoEverySegmentOfTheirKey) {
  const Bytes create = richCreateBuffer();
  FileDefinition def;
  ASSERT_EQ(parseFileDefinition(create.data(), uint32_t(create.size()), false, &def), 0);
  const uint32_t unique[] = {11, 22, 33};
  Bytes stat(fileDefinitionSize(def, false), 0);
  writeFileDefinition(def, 0, false, stat.data(), uint32_t(stat.size()), unique);
  EXPECT_EQ(get(stat, 16 + 6, 4), 11u);
  EXPECT_EQ(get(stat, 32 + 6, 4), 11u);
  EXPECT_EQ(get(stat, 48 + 6, 4), 22u);
  EXPECT_EQ(get(stat, 64 + 6, 4), 33u);
  FileDefinition back;
  ASSERT_EQ(parseFileDefinition(stat.data(), uint32_t(stat.size()), false, &back), 0);
  EXPECT_EQ(back, def);
}

TEST(FileDefinition, ShortStatBufferGetsWhatFitsAndNoMore) {
  const Bytes create = richCreateBuffer();
  FileDefinition def;
  ASSERT_EQ(parseFileDefinition(create.data(), uint32_t(create.size()), false, &def), 0);
  Bytes full(fileDefinitionSize(def, true), 0);
  writeFileDefinition(def, 9, true, full.data(), uint32_t(full.size()));
  for (uint32_t capacity : {0u, 1u, 9u, 31u, 40u, 100u}) {
    Bytes part(capacity + 4, 0xEE);
    EXPECT_EQ(writeFileDefinition(def, 9, true, part.data(), capacity), capacity);
    EXPECT_EQ(0, std::memcmp(part.data(), full.data(), capacity));
    EXPECT_EQ(part[capacity], 0xEE);
  }
}

TEST(FileDefinition, ManualKeyNumbers) {
  const Bytes b = createBuffer(20, 1024, 2, kFileKeyNumbersGiven,
                               {{1, 4, kExt, kTypeInteger, 0, 7}, {5, 4, kExt, kTypeUnsigned, 0, 3}});
  FileDefinition def;
  ASSERT_EQ(parseFileDefinition(b.data(), uint32_t(b.size()), false, &def), 0);
  ASSERT_NE(def.findKey(7), nullptr);
  EXPECT_EQ(def.findKey(7)->segments[0].type, kTypeInteger);
  EXPECT_EQ(def.findKey(3)->segments[0].type, kTypeUnsigned);
  EXPECT_EQ(def.findKey(0), nullptr);
}

TEST(FileDefinition, SystemDataModeFromFileFlags) {
  const struct {
    uint16_t flags;
    int mode;
  } cases[] = {{0, 0},      {0x0200, 1}, {0x1200, 0}, {0x1000, 0},
               {0x4000, 2}, {0x4200, 2}, {0x0201, 1}};
  for (const auto& c : cases) {
    FileDefinition def;
    def.fileFlags = c.flags;
    EXPECT_EQ(def.systemDataMode(), c.mode) << std::hex << c.flags;
  }
}

TEST(FileDefinition, RejectsBadDefinitionsWithTheirStatus) {
  const Seg intKey{1, 4, kExt, kTypeInteger};
  const struct Case {
    const char* what;
    std::function<Bytes()> make;
    int status;
  } cases[] = {
      {"valid", [&] { return createBuffer(16, 512, 1, 0, {intKey}); }, 0},
      {"no keys", [&] { return createBuffer(16, 512, 0, 0, {}); }, 0},
      {"page 8192", [&] { return createBuffer(16, 8192, 1, 0, {intKey}); }, 0},
      {"page 16384", [&] { return createBuffer(16, 16384, 1, 0, {intKey}); }, 0},
      {"record length 3", [&] { return createBuffer(3, 512, 0, 0, {}); }, 28},
      {"page 0", [&] { return createBuffer(16, 0, 1, 0, {intKey}); }, 24},
      {"page 1000", [&] { return createBuffer(16, 1000, 1, 0, {intKey}); }, 24},
      {"page 5120", [&] { return createBuffer(16, 5120, 1, 0, {intKey}); }, 24},
      {"page 32768", [&] { return createBuffer(16, 32768, 1, 0, {intKey}); }, 24},
      {"120 keys", [&] { return createBuffer(16, 512, 120, 0, {}); }, 26},
      {"position 0", [&] { return createBuffer(16, 512, 1, 0, {{0, 4, kExt, kTypeInteger}}); }, 27},
      {"key ends at record end", [&] { return createBuffer(16, 512, 1, 0, {{13, 4, 0}}); }, 0},
      {"key past record end", [&] { return createBuffer(16, 512, 1, 0, {{14, 4, 0}}); }, 27},
      {"length 0", [&] { return createBuffer(16, 512, 1, 0, {{1, 0, 0}}); }, 29},
      {"integer 3", [&] { return createBuffer(16, 512, 1, 0, {{1, 3, kExt, kTypeInteger}}); }, 29},
      {"integer 8", [&] { return createBuffer(16, 512, 1, 0, {{1, 8, kExt, kTypeInteger}}); }, 0},
      {"unsigned 6", [&] { return createBuffer(16, 512, 1, 0, {{1, 6, kExt, kTypeUnsigned}}); }, 29},
      {"old binary 6", [&] { return createBuffer(16, 512, 1, 0, {{1, 6, kKeyBinary}}); }, 0},
      {"float 2", [&] { return createBuffer(16, 512, 1, 0, {{1, 2, kExt, kTypeFloat}}); }, 29},
      {"autoincrement 1", [&] { return createBuffer(16, 512, 1, 0, {{1, 1, kExt, kTypeAutoIncrement}}); }, 29},
      {"timestamp 4", [&] { return createBuffer(16, 512, 1, 0, {{1, 4, kExt, kTypeTimestamp}}); }, 29},
      {"lstring 1", [&] { return createBuffer(16, 512, 1, 0, {{1, 1, kExt, kTypeLString}}); }, 29},
      {"zstring 1", [&] { return createBuffer(16, 512, 1, 0, {{1, 1, kExt, kTypeZString}}); }, 29},
      {"zstring 2", [&] { return createBuffer(16, 512, 1, 0, {{1, 2, kExt, kTypeZString}}); }, 0},
      {"note type", [&] { return createBuffer(16, 512, 1, 0, {{1, 4, kExt, kTypeNote}}); }, 29},
      {"key of 256 bytes",
       [&] { return createBuffer(300, 512, 1, 0, {{1, 200, kKeySegmented}, {201, 56, 0}}); }, 29},
      {"segment of second key past record",
       [&] { return createBuffer(16, 512, 2, 0, {intKey, {5, 4, kKeySegmented}, {9, 9, 0}}); }, 27},
      {"manual number used twice",
       [&] { return createBuffer(16, 512, 2, kFileKeyNumbersGiven, {{1, 4, 0, 0, 0, 5}, {5, 4, 0, 0, 0, 5}}); }, 6},
      {"manual number 119",
       [&] { return createBuffer(16, 512, 1, kFileKeyNumbersGiven, {{1, 4, 0, 0, 0, 119}}); }, 6},
      {"bad ACS signature",
       [&] {
         Bytes b = createBuffer(16, 512, 1, 0, {{1, 4, kKeyAcs}}, 1);
         b[32] = 0x41;
         return b;
       }, 48},
      {"second ACS present", [&] { return createBuffer(16, 512, 1, 0, {{1, 4, kKeyAcs, 0, 0, 0, 1}}, 2); }, 0},
      // Fewer bytes than the definition announces.
      {"header cut", [&] { return Bytes(15, 0); }, 22},
      {"segment cut",
       [&] {
         Bytes b = createBuffer(16, 512, 1, 0, {intKey});
         b.pop_back();
         return b;
       }, 22},
      {"keys without blocks", [&] { return createBuffer(16, 512, 2, 0, {intKey}); }, 22},
      {"last key runs on", [&] { return createBuffer(16, 512, 1, 0, {{1, 4, kKeySegmented}}); }, 22},
      {"ACS missing", [&] { return createBuffer(16, 512, 1, 0, {{1, 4, kKeyAcs}}); }, 22},
      {"second ACS missing", [&] { return createBuffer(16, 512, 1, 0, {{1, 4, kKeyAcs, 0, 0, 0, 1}}, 1); }, 22},
  };
  for (const Case& c : cases) {
    const Bytes b = c.make();
    FileDefinition def;
    def.recordLength = 999;
    const int status = parseFileDefinition(b.data(), uint32_t(b.size()), false, &def);
    EXPECT_EQ(status, c.status) << c.what;
    if (status != 0) {
      EXPECT_EQ(def.recordLength, 999) << c.what << ": output touched on failure";
    }
  }
}

TEST(FileDefinition, EveryTruncationOfAValidBufferIsRefused) {
  for (bool wide : {false, true}) {
    FileDefinition def;
    const Bytes create = richCreateBuffer();
    ASSERT_EQ(parseFileDefinition(create.data(), uint32_t(create.size()), false, &def), 0);
    const uint32_t size = fileDefinitionSize(def, wide);
    Bytes full(size);
    writeFileDefinition(def, 0, wide, full.data(), size);
    for (uint32_t length = 0; length < size; ++length) {
      // An exactly sized heap copy, so that the sanitizer sees any overread.
      Bytes cut(full.begin(), full.begin() + length);
      FileDefinition out;
      EXPECT_EQ(parseFileDefinition(cut.data(), length, wide, &out), 22) << length;
    }
  }
}

}  // namespace
}  // namespace vorlan::rm

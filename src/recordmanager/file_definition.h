// A Btrieve file's definition (record length, page size, flags, keys with
// their segments, alternate collating sequences) and its two byte layouts:
// the file definition that Create takes and Stat gives back, on the
// standard entry and on the wide entry.
//
// All integers little-endian. The two layouts differ only in their header;
// the key segment blocks and the alternate collating sequences that follow
// it are the same.
//
//   standard header, 16 bytes          wide header, 32 bytes
//   off width                          off width
//    0  2  fixed record length          0  2  fixed record length
//    2  2  page size                    2  2  page size
//    4  1  number of keys               4  1  number of keys
//    5  1  file version byte            5  3  reserved (0)
//    6  4  number of records (Stat)     8  8  number of records (Stat)
//   10  2  file flags                  16  2  file flags
//   12  1  duplicate pointers          18  2  file version (the version byte
//   13  1  reserved (0)                       widened; high byte ignored)
//   14  2  pages to preallocate        20  1  duplicate pointers
//                                      21  1  reserved (0)
//                                      22  2  pages to preallocate
//                                      24  8  reserved (0)
//
// Key segment block, 16 bytes, one per segment, the segments of a key in a
// row (every segment but a key's last carries kKeySegmented):
//    0 2 position (1-based)   2 2 length   4 2 key flags
//    6 4 count of unique values (Stat; ignored by Create)
//   10 1 extended type (0 without kKeyExtendedType)   11 1 null value
//   12 2 reserved (0)
//   14 1 key number (with kFileKeyNumbersGiven)   15 1 ACS number
//
// Then one 265-byte alternate collating sequence per ACS number in use
// (1 + the highest ACS number of a segment with kKeyAcs): signature (0xAC
// user-defined, 0xAD code page, 0xAE international), 8-byte name, 256-byte
// map. Only a 0xAC sequence's map is applied to key bytes; the other two
// keep the bytes as they are.
//
// The Create buffer's record count is ignored. The Stat answer gives back
// exactly what Create took (duplicate pointers and preallocated pages in
// the places Create read them), so that Stat handed back to Create with its
// version and count changed defines the same file again.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace vorlan::rm {

// Layout sizes.
constexpr uint32_t kStandardHeaderSize = 16;
constexpr uint32_t kWideHeaderSize = 32;
constexpr uint32_t kSegmentBlockSize = 16;
constexpr uint32_t kAcsBlockSize = 265;
constexpr uint32_t kAcsMapOffset = 9;  // signature (1) and name (8) first

// Limits checked by parseFileDefinition.
constexpr uint32_t kMinRecordLength = 4;
constexpr uint32_t kMaxKeys = 119;
constexpr uint32_t kMaxKeyValueLength = 255;  // sum of a key's segments

// File flags.
constexpr uint16_t kFileVariableLength = 0x0001;
constexpr uint16_t kFileBlankTruncation = 0x0002;
constexpr uint16_t kFilePreallocation = 0x0004;
constexpr uint16_t kFileDataCompression = 0x0008;
constexpr uint16_t kFileKeyOnly = 0x0010;
constexpr uint16_t kFileKeyNumbersGiven = 0x0400;
constexpr uint16_t kFileSystemData = 0x0200;
constexpr uint16_t kFileNoSystemData = 0x1000;
constexpr uint16_t kFileSystemDataWithUpdate = 0x4000;

// Key flags.
constexpr uint16_t kKeyDuplicates = 0x0001;
constexpr uint16_t kKeyModifiable = 0x0002;
constexpr uint16_t kKeyBinary = 0x0004;
constexpr uint16_t kKeyNullAll = 0x0008;
constexpr uint16_t kKeySegmented = 0x0010;
constexpr uint16_t kKeyAcs = 0x0020;
constexpr uint16_t kKeyDescending = 0x0040;
constexpr uint16_t kKeyRepeatingDuplicates = 0x0080;
constexpr uint16_t kKeyExtendedType = 0x0100;
constexpr uint16_t kKeyNullAny = 0x0200;
constexpr uint16_t kKeyCaseInsensitive = 0x0400;

// Extended key types.
constexpr uint8_t kTypeString = 0;
constexpr uint8_t kTypeInteger = 1;
constexpr uint8_t kTypeFloat = 2;
constexpr uint8_t kTypeDate = 3;
constexpr uint8_t kTypeTime = 4;
constexpr uint8_t kTypeDecimal = 5;
constexpr uint8_t kTypeMoney = 6;
constexpr uint8_t kTypeLogical = 7;
constexpr uint8_t kTypeNumeric = 8;
constexpr uint8_t kTypeBFloat = 9;
constexpr uint8_t kTypeLString = 10;
constexpr uint8_t kTypeZString = 11;
constexpr uint8_t kTypeNote = 12;
constexpr uint8_t kTypeLVar = 13;
constexpr uint8_t kTypeUnsigned = 14;
constexpr uint8_t kTypeAutoIncrement = 15;
constexpr uint8_t kTypeBit = 16;
constexpr uint8_t kTypeNumericSts = 17;
constexpr uint8_t kTypeCurrency = 19;
constexpr uint8_t kTypeTimestamp = 20;
constexpr uint8_t kTypeBlob = 21;
constexpr uint8_t kTypeWString = 25;
constexpr uint8_t kTypeWZString = 26;
constexpr uint8_t kTypeGuid = 27;

// The system keys: the system data value and the update value.
constexpr int kSystemDataKey = 125;
constexpr int kUpdateSystemDataKey = 124;

struct KeySegment {
  uint16_t position = 1;  // 1-based offset of the segment in the record
  uint16_t length = 0;
  uint16_t flags = 0;  // as given; kKeySegmented on every segment but the last
  uint8_t type = kTypeString;  // extended type (derived from kKeyBinary when
                               // kKeyExtendedType is clear)
  uint8_t nullValue = 0;
  uint8_t manualKeyNumber = 0;
  uint8_t acsNumber = 0;

  bool operator==(const KeySegment&) const = default;
};

struct KeyDefinition {
  std::vector<KeySegment> segments;  // at least one
  uint8_t keyNumber = 0;             // the key's number (0, 1, ... or manual)

  // Key-level flags are those of the first segment.
  uint16_t flags() const { return segments.empty() ? 0 : segments[0].flags; }
  bool allowsDuplicates() const { return flags() & kKeyDuplicates; }
  bool isModifiable() const { return flags() & kKeyModifiable; }
  // Sum of the segment lengths: the size of the key value in a key buffer.
  uint32_t valueLength() const;

  bool operator==(const KeyDefinition&) const = default;
};

using AlternateSequence = std::array<uint8_t, 265>;

struct FileDefinition {
  uint16_t recordLength = 0;
  uint16_t pageSize = 4096;
  uint8_t versionByte = 0;  // file format version (0x95 = 9.5, ...)
  uint16_t fileFlags = 0;
  uint8_t duplicatePointers = 0;
  uint16_t preallocatedPages = 0;
  std::vector<KeyDefinition> keys;
  std::vector<AlternateSequence> alternateSequences;

  int systemDataMode() const;  // 0 none, 1 system data, 2 with update value
  const KeyDefinition* findKey(int keyNumber) const;  // nullptr if none

  bool operator==(const FileDefinition&) const = default;
};

// The 256-byte map that a segment's bytes go through before comparison:
// its user-defined alternate collating sequence when it has kKeyAcs, else
// nullptr (no map; case-insensitivity is the key encoding's business).
const uint8_t* alternateSequenceMap(const FileDefinition& file,
                                    const KeySegment& segment);

// Reads a Create data buffer of `length` bytes in the layout above. Returns
// 0 or a Btrieve status: 6 a given key number out of range or used twice,
// 22 buffer too short for what it announces, 24 bad page size (a multiple of
// 512 up to 4096, or 8192 or 16384), 26 bad number of keys (more than 119),
// 27 bad key position (a segment not inside the fixed record), 28 bad
// record length (under 4), 29 key length the type does not allow (or a key
// longer than 255 bytes, or a type that cannot be a key), 48 an alternate
// collating sequence with a bad signature. `out` is written only on 0.
int parseFileDefinition(const uint8_t* buffer, uint32_t length, bool wide,
                           FileDefinition* out);

// Size of the Stat answer for this definition on the given entry.
uint32_t fileDefinitionSize(const FileDefinition& definition, bool wide);

// Writes the Stat answer with the given record count (and, in the standard
// layout, the version byte at offset 5; in the wide one at offset 18). The
// standard layout's 32-bit count saturates at 0xFFFFFFFF. Each segment
// block carries the count of unique values of its key from
// `uniqueValuesPerKey` (one entry per key, in the order of
// definition.keys), or 0 when it is nullptr. Writes at most `capacity`
// bytes and returns the number written; the caller answers 22 when it is
// short of fileDefinitionSize. Giving the answer back to
// parseFileDefinition yields the same definition.
uint32_t writeFileDefinition(const FileDefinition& definition,
                                uint64_t recordCount, bool wide,
                                uint8_t* out, uint32_t capacity,
                                const uint32_t* uniqueValuesPerKey = nullptr);

}  // namespace vorlan::rm

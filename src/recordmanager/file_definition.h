// A Btrieve file's definition (record length, page size, flags, keys with
// their segments, alternate collating sequences) and its two byte layouts:
// the file specification that Create takes and Stat gives back, on the
// standard entry and on the wide entry.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace vorlan::rm {

// File flags.
constexpr uint16_t kFileVariableLength = 0x0001;
constexpr uint16_t kFileBlankTruncation = 0x0002;
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
constexpr uint8_t kTypeLString = 10;
constexpr uint8_t kTypeZString = 11;
constexpr uint8_t kTypeUnsigned = 14;
constexpr uint8_t kTypeAutoIncrement = 15;
constexpr uint8_t kTypeTimestamp = 20;

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
};

// Reads a Create data buffer of `length` bytes. The wide layout is the one
// the wide entry takes and gives (64-bit record count at offset 8, 16-bit
// file version at offset 18). Returns 0 or a Btrieve status: 22 buffer too
// short for what it announces, 24 bad page size, 26 bad number of keys, 27 bad
// key position, 28 bad record length, 29 key length the type does not allow.
int parseFileSpecification(const uint8_t* buffer, uint32_t length, bool wide,
                           FileDefinition* out);

// Size of the Stat answer for this definition on the given entry.
uint32_t fileSpecificationSize(const FileDefinition& definition, bool wide);

// Writes the Stat answer with the given record count (and, in the standard
// layout, the version byte at offset 5). Writes at most `capacity` bytes and
// returns the number written; the caller answers 22 when it is short of
// fileSpecificationSize. Giving the answer back to parseFileSpecification
// yields the same definition.
uint32_t writeFileSpecification(const FileDefinition& definition,
                                uint64_t recordCount, bool wide,
                                uint8_t* out, uint32_t capacity);

}  // namespace vorlan::rm

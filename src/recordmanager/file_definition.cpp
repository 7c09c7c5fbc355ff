#include "recordmanager/file_definition.h"

#include <algorithm>
#include <cstring>

#include "recordmanager/key_encoding.h"

namespace vorlan::rm {

namespace {

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// Writes little-endian values into a buffer of `capacity` bytes, dropping
// whatever falls beyond it.
struct BoundedWriter {
  uint8_t* out;
  uint32_t capacity;

  void put(uint32_t offset, uint64_t value, uint32_t width) {
    for (uint32_t i = 0; i < width; ++i) {
      if (offset + i >= capacity) return;
      out[offset + i] = static_cast<uint8_t>(value >> (8 * i));
    }
  }
  void bytes(uint32_t offset, const uint8_t* data, uint32_t size) {
    if (offset >= capacity) return;
    std::memcpy(out + offset, data, std::min(size, capacity - offset));
  }
};

bool validPageSize(uint32_t size) {
  if (size == 8192 || size == 16384) return true;
  return size >= 512 && size <= 4096 && size % 512 == 0;
}

uint32_t segmentCount(const FileDefinition& definition) {
  uint32_t count = 0;
  for (const KeyDefinition& key : definition.keys) count += static_cast<uint32_t>(key.segments.size());
  return count;
}

}  // namespace

uint32_t KeyDefinition::valueLength() const {
  uint32_t total = 0;
  for (const KeySegment& segment : segments) total += segment.length;
  return total;
}

int FileDefinition::systemDataMode() const {
  if (fileFlags & kFileSystemDataWithUpdate) return 2;
  if ((fileFlags & (kFileSystemData | kFileNoSystemData)) == kFileSystemData) return 1;
  return 0;
}

const KeyDefinition* FileDefinition::findKey(int keyNumber) const {
  for (const KeyDefinition& key : keys) {
    if (key.keyNumber == keyNumber) return &key;
  }
  return nullptr;
}

const uint8_t* alternateSequenceMap(const FileDefinition& file, const KeySegment& segment) {
  if (!(segment.flags & kKeyAcs)) return nullptr;
  if (segment.acsNumber >= file.alternateSequences.size()) return nullptr;
  const AlternateSequence& sequence = file.alternateSequences[segment.acsNumber];
  if (sequence[0] != 0xAC) return nullptr;
  return sequence.data() + kAcsMapOffset;
}

int parseFileDefinition(const uint8_t* buffer, uint32_t length, bool wide,
                           FileDefinition* out) {
  const uint32_t header = wide ? kWideHeaderSize : kStandardHeaderSize;
  if (buffer == nullptr || length < header) return 22;

  FileDefinition def;
  def.recordLength = le16(buffer);
  def.pageSize = le16(buffer + 2);
  const uint32_t keyCount = buffer[4];
  if (wide) {
    def.fileFlags = le16(buffer + 16);
    def.versionByte = buffer[18];
    def.duplicatePointers = buffer[20];
    def.preallocatedPages = le16(buffer + 22);
  } else {
    def.versionByte = buffer[5];
    def.fileFlags = le16(buffer + 10);
    def.duplicatePointers = buffer[12];
    def.preallocatedPages = le16(buffer + 14);
  }

  if (def.recordLength < kMinRecordLength) return 28;
  if (!validPageSize(def.pageSize)) return 24;
  if (keyCount > kMaxKeys) return 26;

  // Key segment blocks: a key runs on while its segments carry kKeySegmented.
  uint32_t offset = header;
  uint32_t acsCount = 0;
  const bool numbersGiven = (def.fileFlags & kFileKeyNumbersGiven) != 0;
  def.keys.reserve(keyCount);
  for (uint32_t k = 0; k < keyCount; ++k) {
    KeyDefinition key;
    for (;;) {
      if (length - offset < kSegmentBlockSize) return 22;
      const uint8_t* block = buffer + offset;
      offset += kSegmentBlockSize;
      KeySegment segment;
      segment.position = le16(block);
      segment.length = le16(block + 2);
      segment.flags = le16(block + 4);
      if (segment.flags & kKeyExtendedType) {
        segment.type = block[10];
      } else {
        segment.type = (segment.flags & kKeyBinary) ? kTypeUnsigned : kTypeString;
      }
      segment.nullValue = block[11];
      segment.manualKeyNumber = block[14];
      segment.acsNumber = block[15];
      if (segment.flags & kKeyAcs) acsCount = std::max<uint32_t>(acsCount, segment.acsNumber + 1u);
      key.segments.push_back(segment);
      if (!(segment.flags & kKeySegmented)) break;
      // A key's value must fit a key buffer: this also bounds the loop.
      if (key.valueLength() > kMaxKeyValueLength || key.segments.size() > kMaxKeyValueLength) return 29;
    }
    key.keyNumber = numbersGiven ? key.segments[0].manualKeyNumber : static_cast<uint8_t>(k);
    def.keys.push_back(std::move(key));
  }

  if (numbersGiven) {
    for (size_t i = 0; i < def.keys.size(); ++i) {
      if (def.keys[i].keyNumber >= kMaxKeys) return 6;
      for (size_t j = 0; j < i; ++j) {
        if (def.keys[j].keyNumber == def.keys[i].keyNumber) return 6;
      }
    }
  }

  if (acsCount > 0) {
    if ((length - offset) / kAcsBlockSize < acsCount) return 22;
    def.alternateSequences.resize(acsCount);
    for (uint32_t i = 0; i < acsCount; ++i) {
      std::memcpy(def.alternateSequences[i].data(), buffer + offset, kAcsBlockSize);
      offset += kAcsBlockSize;
      const uint8_t signature = def.alternateSequences[i][0];
      if (signature != 0xAC && signature != 0xAD && signature != 0xAE) return 48;
    }
  }

  for (const KeyDefinition& key : def.keys) {
    int status = validateKey(def, key);
    if (status != 0) return status;
  }

  *out = std::move(def);
  return 0;
}

uint32_t fileDefinitionSize(const FileDefinition& definition, bool wide) {
  return (wide ? kWideHeaderSize : kStandardHeaderSize) + kSegmentBlockSize * segmentCount(definition) +
         kAcsBlockSize * static_cast<uint32_t>(definition.alternateSequences.size());
}

uint32_t writeFileDefinition(const FileDefinition& definition, uint64_t recordCount, bool wide,
                                uint8_t* out, uint32_t capacity, const uint32_t* uniqueValuesPerKey) {
  if (out == nullptr) return 0;
  const uint32_t size = fileDefinitionSize(definition, wide);
  const uint32_t written = std::min(size, capacity);
  std::memset(out, 0, written);
  BoundedWriter w{out, capacity};

  w.put(0, definition.recordLength, 2);
  w.put(2, definition.pageSize, 2);
  w.put(4, definition.keys.size(), 1);
  if (wide) {
    w.put(8, recordCount, 8);
    w.put(16, definition.fileFlags, 2);
    w.put(18, definition.versionByte, 2);
    w.put(20, definition.duplicatePointers, 1);
    w.put(22, definition.preallocatedPages, 2);
  } else {
    w.put(5, definition.versionByte, 1);
    w.put(6, std::min<uint64_t>(recordCount, 0xFFFFFFFFu), 4);
    w.put(10, definition.fileFlags, 2);
    w.put(12, definition.duplicatePointers, 1);
    w.put(14, definition.preallocatedPages, 2);
  }

  uint32_t offset = wide ? kWideHeaderSize : kStandardHeaderSize;
  for (size_t k = 0; k < definition.keys.size(); ++k) {
    const uint32_t unique = uniqueValuesPerKey ? uniqueValuesPerKey[k] : 0;
    for (const KeySegment& segment : definition.keys[k].segments) {
      w.put(offset, segment.position, 2);
      w.put(offset + 2, segment.length, 2);
      w.put(offset + 4, segment.flags, 2);
      w.put(offset + 6, unique, 4);
      // Without the extended-type flag the type follows from kKeyBinary.
      w.put(offset + 10, (segment.flags & kKeyExtendedType) ? segment.type : 0, 1);
      w.put(offset + 11, segment.nullValue, 1);
      w.put(offset + 14, segment.manualKeyNumber, 1);
      w.put(offset + 15, segment.acsNumber, 1);
      offset += kSegmentBlockSize;
    }
  }
  for (const AlternateSequence& sequence : definition.alternateSequences) {
    w.bytes(offset, sequence.data(), kAcsBlockSize);
    offset += kAcsBlockSize;
  }
  return written;
}

}  // namespace vorlan::rm

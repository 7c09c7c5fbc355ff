#include "recordmanager/key_encoding.h"

#include <array>
#include <cstring>

namespace vorlan::rm {

namespace {

constexpr std::array<uint8_t, 256> makeUpperCaseMap() {
  std::array<uint8_t, 256> map{};
  for (int i = 0; i < 256; ++i) {
    map[i] = static_cast<uint8_t>((i >= 'a' && i <= 'z') ? i - 'a' + 'A' : i);
  }
  return map;
}

constexpr std::array<uint8_t, 256> kUpperCase = makeUpperCaseMap();

void copyMapped(const uint8_t* map, const uint8_t* from, uint32_t count, uint8_t* to) {
  if (map == nullptr) {
    std::memcpy(to, from, count);
  } else {
    for (uint32_t i = 0; i < count; ++i) to[i] = map[from[i]];
  }
}

// Little-endian in, most significant byte first out.
void reverseBytes(const uint8_t* value, uint32_t length, uint8_t* encoded) {
  for (uint32_t i = 0; i < length; ++i) encoded[i] = value[length - 1 - i];
}

void encodeSigned(const uint8_t* value, uint32_t length, uint8_t* encoded) {
  reverseBytes(value, length, encoded);
  if (length > 0) encoded[0] ^= 0x80;
}

void encodeFloat(const uint8_t* value, uint32_t length, uint8_t* encoded) {
  reverseBytes(value, length, encoded);
  bool zero = (encoded[0] & 0x7F) == 0;
  for (uint32_t i = 1; zero && i < length; ++i) zero = encoded[i] == 0;
  if (zero) {
    encoded[0] = 0;  // negative zero is zero
  }
  if (encoded[0] & 0x80) {
    for (uint32_t i = 0; i < length; ++i) encoded[i] = static_cast<uint8_t>(~encoded[i]);
  } else {
    encoded[0] |= 0x80;
  }
}

bool oneOf(uint32_t length, uint32_t a, uint32_t b, uint32_t c = 0, uint32_t d = 0) {
  return length == a || length == b || length == c || length == d;
}

// 0 when a segment of this type may have this length, else 29.
int checkTypeLength(const KeySegment& segment) {
  const uint32_t n = segment.length;
  if (n == 0) return 29;
  if (!(segment.flags & kKeyExtendedType)) return 0;  // old-style string or binary
  switch (segment.type) {
    case kTypeInteger:
    case kTypeUnsigned:
      return oneOf(n, 1, 2, 4, 8) ? 0 : 29;
    case kTypeFloat:
    case kTypeBFloat:
      return oneOf(n, 4, 8) ? 0 : 29;
    case kTypeDate:
    case kTypeTime:
      return n == 4 ? 0 : 29;
    case kTypeLogical:
      return oneOf(n, 1, 2) ? 0 : 29;
    case kTypeLString:
    case kTypeZString:
      return n >= 2 ? 0 : 29;
    case kTypeAutoIncrement:
      return oneOf(n, 2, 4, 8) ? 0 : 29;
    case kTypeCurrency:
    case kTypeTimestamp:
      return n == 8 ? 0 : 29;
    case kTypeWString:
    case kTypeWZString:
      return (n >= 2 && n % 2 == 0) ? 0 : 29;
    case kTypeGuid:
      return n == 16 ? 0 : 29;
    case kTypeNote:
    case kTypeLVar:
    case kTypeBlob:
    case 22:
    case 23:
    case 24:
      return 29;
    default:
      return segment.type <= 31 ? 0 : 29;
  }
}

}  // namespace

const uint8_t* upperCaseMap() { return kUpperCase.data(); }

uint32_t encodedKeyLength(const KeyDefinition& key) { return key.valueLength(); }

void extractKeyValue(const KeyDefinition& key, const uint8_t* record, uint32_t recordLength,
                     uint8_t* value) {
  for (const KeySegment& segment : key.segments) {
    const uint32_t start = segment.position > 0 ? segment.position - 1u : 0u;
    uint32_t available = 0;
    if (record != nullptr && start < recordLength) {
      available = recordLength - start < segment.length ? recordLength - start : segment.length;
      std::memcpy(value, record + start, available);
    }
    std::memset(value + available, 0, segment.length - available);
    value += segment.length;
  }
}

void encodeField(uint8_t type, uint32_t length, const uint8_t* map, const uint8_t* value,
                 uint8_t* encoded) {
  if (length == 0) return;
  switch (type) {
    case kTypeInteger:
    case kTypeAutoIncrement:
    case kTypeCurrency:
      encodeSigned(value, length, encoded);
      return;
    case kTypeUnsigned:
    case kTypeTimestamp:
    case kTypeLogical:
    case kTypeBit:
      reverseBytes(value, length, encoded);
      return;
    case kTypeFloat:
      if (length == 4 || length == 8) {
        encodeFloat(value, length, encoded);
        return;
      }
      break;
    case kTypeDate:
      if (length == 4) {
        encoded[0] = value[3];
        encoded[1] = value[2];
        encoded[2] = value[1];
        encoded[3] = value[0];
        return;
      }
      break;
    case kTypeTime:
      if (length == 4) {
        reverseBytes(value, 4, encoded);
        return;
      }
      break;
    case kTypeZString: {
      const void* zero = std::memchr(value, 0, length);
      const uint32_t used =
          zero ? static_cast<uint32_t>(static_cast<const uint8_t*>(zero) - value) : length;
      copyMapped(map, value, used, encoded);
      std::memset(encoded + used, 0, length - used);
      return;
    }
    case kTypeLString: {
      const uint32_t room = length - 1;
      const uint32_t used = value[0] < room ? value[0] : room;
      copyMapped(map, value + 1, used, encoded);
      std::memset(encoded + used, 0, room - used);
      encoded[room] = static_cast<uint8_t>(used);
      return;
    }
    default:
      break;
  }
  copyMapped(map, value, length, encoded);
}

void encodeKeyValue(const FileDefinition& file, const KeyDefinition& key, const uint8_t* value,
                    uint8_t* encoded) {
  for (const KeySegment& segment : key.segments) {
    const uint8_t* map = alternateSequenceMap(file, segment);
    if (map == nullptr && (segment.flags & kKeyCaseInsensitive)) map = kUpperCase.data();
    encodeField(segment.type, segment.length, map, value, encoded);
    if (segment.flags & kKeyDescending) {
      for (uint32_t i = 0; i < segment.length; ++i) encoded[i] = static_cast<uint8_t>(~encoded[i]);
    }
    value += segment.length;
    encoded += segment.length;
  }
}

bool isNullKey(const KeyDefinition& key, const uint8_t* value) {
  const uint16_t flags = key.flags();
  if (!(flags & (kKeyNullAll | kKeyNullAny))) return false;
  const bool any = (flags & kKeyNullAny) != 0;
  for (const KeySegment& segment : key.segments) {
    bool segmentNull = true;
    for (uint32_t i = 0; segmentNull && i < segment.length; ++i) {
      segmentNull = value[i] == segment.nullValue;
    }
    value += segment.length;
    if (any && segmentNull) return true;
    if (!any && !segmentNull) return false;
  }
  return !any;
}

int validateKey(const FileDefinition& file, const KeyDefinition& key) {
  if (key.segments.empty()) return 29;
  if (key.valueLength() > kMaxKeyValueLength) return 29;
  for (const KeySegment& segment : key.segments) {
    if (int status = checkTypeLength(segment); status != 0) return status;
    if (segment.position == 0 ||
        uint32_t(segment.position) - 1u + segment.length > file.recordLength) {
      return 27;
    }
    if ((segment.flags & kKeyAcs) && segment.acsNumber >= file.alternateSequences.size()) {
      return 48;
    }
  }
  return 0;
}

}  // namespace vorlan::rm

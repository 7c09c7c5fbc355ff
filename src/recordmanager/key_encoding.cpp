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

// Packs nibbles, most significant first, into `encoded`; the nibbles
// not given are zero.
struct NibbleWriter {
  uint8_t* out;
  uint32_t capacity;  // in bytes
  uint32_t count = 0;

  void put(uint32_t nibble) {
    if (count >= 2 * capacity) return;
    uint8_t& byte = out[count / 2];
    if (count % 2 == 0) {
      byte = static_cast<uint8_t>((nibble & 0x0F) << 4);
    } else {
      byte = static_cast<uint8_t>(byte | (nibble & 0x0F));
    }
    ++count;
  }
  void finish() {
    while (count < 2 * capacity) put(0);
  }
};

// Packed decimal (decimal, money): two digits a byte, the last nibble the
// sign (0xD or 0xB negative). Encoded as a sign nibble (0 negative, 1 not)
// and the digits, inverted when negative.
void encodeDecimal(const uint8_t* value, uint32_t length, uint8_t* encoded) {
  const uint32_t sign = value[length - 1] & 0x0F;
  const bool negative = sign == 0x0D || sign == 0x0B;
  NibbleWriter w{encoded, length};
  w.put(negative ? 0 : 1);
  for (uint32_t i = 0; i + 1 < 2 * length; ++i) {
    const uint32_t nibble = (i % 2 == 0) ? value[i / 2] >> 4 : value[i / 2] & 0x0F;
    w.put(negative ? 15 - nibble : nibble);
  }
}

// ASCII digits; anything else reads as zero.
uint32_t digitOf(uint8_t c) { return (c >= '0' && c <= '9') ? c - '0' : 0; }

// Numeric: ASCII digits, the sign overpunched on the last one ('{' and
// 'A'..'I' positive 0..9, '}' and 'J'..'R' negative 0..9). Numeric with
// trailing sign: digits, then '-' or another byte for the sign.
void encodeNumeric(const uint8_t* value, uint32_t length, bool trailingSign, uint8_t* encoded) {
  const uint8_t last = value[length - 1];
  bool negative = false;
  uint32_t lastDigit = 0;
  uint32_t digits = length;
  if (trailingSign) {
    negative = last == '-';
    digits = length - 1;
  } else if (last == '{') {
    lastDigit = 0;
  } else if (last >= 'A' && last <= 'I') {
    lastDigit = last - 'A' + 1u;
  } else if (last == '}') {
    negative = true;
  } else if (last >= 'J' && last <= 'R') {
    negative = true;
    lastDigit = last - 'J' + 1u;
  } else {
    lastDigit = digitOf(last);
  }
  NibbleWriter w{encoded, length};
  w.put(negative ? 0 : 1);
  for (uint32_t i = 0; i < digits; ++i) {
    const uint32_t digit = (!trailingSign && i + 1 == length) ? lastDigit : digitOf(value[i]);
    w.put(negative ? 9 - digit : digit);
  }
  w.finish();
}

// Microsoft binary format, 4 or 8 bytes: mantissa little-endian, the sign in
// the top bit of the byte before the last, the exponent in the last (0 means
// zero). Rearranged as sign, exponent, mantissa and then ordered like IEEE.
void encodeBFloat(const uint8_t* value, uint32_t length, uint8_t* encoded) {
  const uint32_t exponent = value[length - 1];
  const bool negative = exponent != 0 && (value[length - 2] & 0x80);
  uint64_t mantissa = value[length - 2] & 0x7Fu;
  for (uint32_t i = length - 2; i-- > 0;) mantissa = mantissa << 8 | value[i];
  const uint32_t mantissaBits = 8 * length - 9;
  uint64_t bits = exponent == 0 ? 0 : (uint64_t(exponent) << mantissaBits | mantissa);
  bits |= uint64_t(1) << (8 * length - 1);
  if (negative) bits = ~bits;
  for (uint32_t i = 0; i < length; ++i) encoded[i] = static_cast<uint8_t>(bits >> (8 * (length - 1 - i)));
}

// Wide strings: 16-bit little-endian code units compared as numbers; the
// map folds the units below 256. A zero-terminated one stops at its first
// zero unit.
void encodeWide(const uint8_t* value, uint32_t length, const uint8_t* map, bool zeroTerminated,
                uint8_t* encoded) {
  uint32_t i = 0;
  bool stopped = false;
  for (; i + 1 < length; i += 2) {
    uint32_t unit = value[i] | uint32_t(value[i + 1]) << 8;
    if (zeroTerminated && unit == 0) {
      stopped = true;
      break;
    }
    if (map != nullptr && unit < 256) unit = map[unit];
    encoded[i] = static_cast<uint8_t>(unit >> 8);
    encoded[i + 1] = static_cast<uint8_t>(unit);
  }
  if (!stopped && i < length) {
    encoded[i] = value[i];  // an odd last byte
    ++i;
  }
  std::memset(encoded + i, 0, length - i);
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
    case kTypeDecimal:
    case kTypeMoney:
      encodeDecimal(value, length, encoded);
      return;
    case kTypeNumeric:
      encodeNumeric(value, length, false, encoded);
      return;
    case kTypeNumericSts:
      encodeNumeric(value, length, true, encoded);
      return;
    case kTypeBFloat:
      if (length == 4 || length == 8) {
        encodeBFloat(value, length, encoded);
        return;
      }
      break;
    case kTypeWString:
    case kTypeWZString:
      encodeWide(value, length, map, type == kTypeWZString, encoded);
      return;
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

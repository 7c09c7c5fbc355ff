#include "recordmanager/extended_filter.h"

#include <cstring>

#include "recordmanager/file_definition.h"
#include "recordmanager/key_encoding.h"

namespace vorlan::rm {

namespace {

constexpr uint32_t kHeaderSize = 8;
constexpr uint32_t kTermHeaderSize = 7;
constexpr uint32_t kExtractorHeaderSize = 4;
constexpr uint32_t kExtractorFieldSize = 4;
constexpr uint8_t kBiasBits = kCompareAcsBias | kCompareFieldBias | kCompareNoCaseBias;

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

void putLe(uint8_t* out, uint64_t value, uint32_t width) {
  for (uint32_t i = 0; i < width; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

// Lexicographic comparison of two byte runs through an optional map; a run
// that is a prefix of the other sorts first.
int compareRuns(const uint8_t* a, uint32_t na, const uint8_t* b, uint32_t nb, const uint8_t* map) {
  const uint32_t n = na < nb ? na : nb;
  for (uint32_t i = 0; i < n; ++i) {
    const uint8_t x = map ? map[a[i]] : a[i];
    const uint8_t y = map ? map[b[i]] : b[i];
    if (x != y) return x < y ? -1 : 1;
  }
  return na == nb ? 0 : (na < nb ? -1 : 1);
}

uint32_t zeroTerminatedLength(const uint8_t* p, uint32_t n) {
  const void* zero = std::memchr(p, 0, n);
  return zero ? static_cast<uint32_t>(static_cast<const uint8_t*>(zero) - p) : n;
}

// Fields of the types with an order of their own are compared by their key
// encoding, up to this length (longer ones byte by byte).
constexpr uint32_t kEncodedMax = 256;

bool comparedByEncoding(uint8_t type, uint32_t length) {
  if (length > kEncodedMax) return false;
  return type != kTypeString && type != kTypeLString && type != kTypeZString;
}

int compareFields(uint8_t type, uint32_t length, bool noCase, const uint8_t* a, const uint8_t* b) {
  const uint8_t* map = noCase ? upperCaseMap() : nullptr;
  if (comparedByEncoding(type, length)) {
    uint8_t x[kEncodedMax];
    uint8_t y[kEncodedMax];
    encodeField(type, length, map, a, x);
    encodeField(type, length, map, b, y);
    return std::memcmp(x, y, length);
  }
  switch (type) {
    case kTypeZString:
      return compareRuns(a, zeroTerminatedLength(a, length), b, zeroTerminatedLength(b, length), map);
    case kTypeLString: {
      const uint32_t room = length - 1;
      const uint32_t na = a[0] < room ? a[0] : room;
      const uint32_t nb = b[0] < room ? b[0] : room;
      return compareRuns(a + 1, na, b + 1, nb, map);
    }
    default:
      return compareRuns(a, length, b, length, map);
  }
}

bool within(uint32_t offset, uint32_t length, uint32_t recordLength) {
  return offset <= recordLength && length <= recordLength - offset;
}

bool termHolds(const FilterTerm& term, const uint8_t* record, uint32_t recordLength) {
  if (!within(term.offset, term.length, recordLength)) return false;
  const uint8_t* other = term.value;
  if (term.comparison & kCompareFieldBias) {
    const uint32_t otherOffset = le16(term.value);
    if (!within(otherOffset, term.length, recordLength)) return false;
    other = record + otherOffset;
  }
  const int c = compareFields(term.type, term.length, (term.comparison & kCompareNoCaseBias) != 0,
                              record + term.offset, other);
  switch (term.comparison & ~kBiasBits) {
    case kCompareEqual: return c == 0;
    case kCompareGreater: return c > 0;
    case kCompareLess: return c < 0;
    case kCompareNotEqual: return c != 0;
    case kCompareGreaterOrEqual: return c >= 0;
    case kCompareLessOrEqual: return c <= 0;
    default: return false;
  }
}

uint32_t extractedBytes(const ExtendedDescriptor& descriptor, uint32_t recordLength) {
  if (descriptor.fields.empty()) return recordLength;
  uint32_t total = 0;
  for (const ExtractorField& field : descriptor.fields) total += field.length;
  return total;
}

}  // namespace

int parseExtendedDescriptor(const uint8_t* buffer, uint32_t available, ExtendedDescriptor* out) {
  if (buffer == nullptr || out == nullptr || available < kHeaderSize) return 62;
  const uint32_t stated = le16(buffer);
  if (stated > available || stated < kHeaderSize) return 62;

  ExtendedDescriptor d;
  d.descriptorLength = static_cast<uint16_t>(stated);
  if (buffer[2] == 'E' && buffer[3] == 'G') {
    d.includeCurrent = false;
  } else if (buffer[2] == 'U' && buffer[3] == 'C') {
    d.includeCurrent = true;
  } else {
    return 62;
  }
  d.rejectCount = le16(buffer + 4);
  const uint32_t termCount = le16(buffer + 6);

  // Everything is read within the stated length, which lies within the
  // buffer; the stated length must then be used up exactly.
  uint32_t at = kHeaderSize;
  if (termCount > (stated - at) / kTermHeaderSize) return 62;
  d.terms.reserve(termCount);
  for (uint32_t i = 0; i < termCount; ++i) {
    if (stated - at < kTermHeaderSize) return 62;
    const uint8_t* p = buffer + at;
    FilterTerm term;
    term.type = p[0];
    term.length = le16(p + 1);
    term.offset = le16(p + 3);
    term.comparison = p[5];
    term.connector = p[6];
    at += kTermHeaderSize;
    const uint8_t base = term.comparison & ~kBiasBits;
    if (term.length == 0 || base < kCompareEqual || base > kCompareLessOrEqual) return 62;
    if (term.connector > kConnectorOr) return 62;
    const bool last = i + 1 == termCount;
    if (last != (term.connector == kConnectorLast)) return 62;
    const uint32_t valueSize = (term.comparison & kCompareFieldBias) ? 2u : term.length;
    if (stated - at < valueSize) return 62;
    term.value = buffer + at;
    at += valueSize;
    d.terms.push_back(term);
  }

  if (stated - at < kExtractorHeaderSize) return 62;
  d.maxRecords = le16(buffer + at);
  const uint32_t fieldCount = le16(buffer + at + 2);
  at += kExtractorHeaderSize;
  if (d.maxRecords == 0) return 62;
  if (fieldCount > (stated - at) / kExtractorFieldSize) return 62;
  d.fields.reserve(fieldCount);
  for (uint32_t i = 0; i < fieldCount; ++i) {
    ExtractorField field;
    field.length = le16(buffer + at);
    field.offset = le16(buffer + at + 2);
    at += kExtractorFieldSize;
    if (field.length == 0) return 62;
    d.fields.push_back(field);
  }
  if (at != stated) return 62;

  *out = std::move(d);
  return 0;
}

bool matchesFilter(const ExtendedDescriptor& descriptor, const uint8_t* record, uint32_t recordLength) {
  bool result = false;
  uint8_t pending = kConnectorOr;  // the first term decides alone
  for (const FilterTerm& term : descriptor.terms) {
    const bool decided = pending == kConnectorAnd ? !result : result;
    if (!decided) result = termHolds(term, record, recordLength);
    pending = term.connector;
  }
  return descriptor.terms.empty() ? true : result;
}

bool extractorFits(const ExtendedDescriptor& descriptor, uint32_t recordLength) {
  for (const ExtractorField& field : descriptor.fields) {
    if (!within(field.offset, field.length, recordLength)) return false;
  }
  return true;
}

uint32_t extractedRecordSize(const ExtendedDescriptor& descriptor, uint32_t recordLength,
                             bool widePosition) {
  return 2u + (widePosition ? 8u : 4u) + extractedBytes(descriptor, recordLength);
}

uint32_t writeExtractedRecord(const ExtendedDescriptor& descriptor, const uint8_t* record,
                              uint32_t recordLength, uint64_t position, bool widePosition,
                              uint8_t* out, uint32_t capacity) {
  const uint32_t bytes = extractedBytes(descriptor, recordLength);
  if (bytes > 0xFFFF || out == nullptr) return 0;
  const uint32_t positionSize = widePosition ? 8u : 4u;
  const uint32_t size = 2u + positionSize + bytes;
  if (size > capacity) return 0;

  putLe(out, bytes, 2);
  putLe(out + 2, position, positionSize);
  uint8_t* to = out + 2 + positionSize;
  if (descriptor.fields.empty()) {
    if (record != nullptr) {
      std::memcpy(to, record, bytes);
    } else {
      std::memset(to, 0, bytes);
    }
    return size;
  }
  for (const ExtractorField& field : descriptor.fields) {
    uint32_t present = 0;
    if (record != nullptr && field.offset < recordLength) {
      present = recordLength - field.offset;
      if (present > field.length) present = field.length;
      std::memcpy(to, record + field.offset, present);
    }
    std::memset(to + present, 0, field.length - present);
    to += field.length;
  }
  return size;
}

}  // namespace vorlan::rm

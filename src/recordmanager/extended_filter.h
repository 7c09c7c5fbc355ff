// The descriptor of the extended operations (36 Get Next Extended, 85
// DeleteExtended): header, filter terms, extractor; evaluating its filter on
// a record and building its answer.
//
// Descriptor bytes, little-endian:
//   0 2 total length (exactly the bytes below, extractor included)
//   2 2 "EG" (start after the current record) or "UC" (include it)
//   4 2 reject count   6 2 number of terms
//   per term: type 1, field length 2, field offset 2 (0-based),
//             comparison 1, connector 1 (0 last, 1 and, 2 or),
//             value: field length bytes, or 2 (the other field's offset)
//             with the compare-with-field bias
//   extractor: number of records 2, number of fields 2,
//              per field: length 2, offset 2
#pragma once

#include <cstdint>
#include <vector>

namespace vorlan::rm {

// Comparison codes and their bias bits.
constexpr uint8_t kCompareEqual = 1;
constexpr uint8_t kCompareGreater = 2;
constexpr uint8_t kCompareLess = 3;
constexpr uint8_t kCompareNotEqual = 4;
constexpr uint8_t kCompareGreaterOrEqual = 5;
constexpr uint8_t kCompareLessOrEqual = 6;
constexpr uint8_t kCompareAcsBias = 32;        // treated as a plain comparison
constexpr uint8_t kCompareFieldBias = 64;      // value: the other field's offset
constexpr uint8_t kCompareNoCaseBias = 128;    // case-insensitive

constexpr uint8_t kConnectorLast = 0;
constexpr uint8_t kConnectorAnd = 1;
constexpr uint8_t kConnectorOr = 2;

struct FilterTerm {
  uint8_t type = 0;         // data type (0 string, 20 timestamp, ...)
  uint16_t length = 0;      // field length
  uint16_t offset = 0;      // 0-based field offset in the record
  uint8_t comparison = 0;   // 1 = 2 > 3 < 4 != 5 >= 6 <=, plus bias bits
  uint8_t connector = 0;    // 0 last, 1 and, 2 or
  const uint8_t* value = nullptr;  // into the caller's buffer; `length`
                                   // bytes, or a 2-byte field offset when the
                                   // compare-with-field bias (64) is set
};

struct ExtractorField {
  uint16_t length = 0;
  uint16_t offset = 0;
};

struct ExtendedDescriptor {
  bool includeCurrent = false;  // "UC": start at the current record
  uint16_t rejectCount = 0;     // as given; 0 is left to the store to read
  std::vector<FilterTerm> terms;
  uint16_t maxRecords = 0;  // extractor: number of records (at least 1)
  std::vector<ExtractorField> fields;
  uint16_t descriptorLength = 0;  // the total length the descriptor gave
};

// Parses a descriptor; its length field must match exactly what it holds,
// and that must lie within the `available` bytes of the buffer. Returns 0
// or 62: letters other than "EG" and "UC", a comparison outside 1..6 (bias
// bits apart) or with unknown bits, a connector other than 0..2, a last term
// that connects on or an earlier term that ends, a term of length 0, a
// number of records of 0, an extractor field of length 0, or a length field
// that is not exact. The terms keep pointers into `buffer`, so copy it first
// when the answer will overwrite it.
int parseExtendedDescriptor(const uint8_t* buffer, uint32_t available,
                            ExtendedDescriptor* out);

// True when the record satisfies the filter (no terms: every record).
// Terms are evaluated strictly left to right with their connectors; a term
// whose field (or other field) lies beyond the record's length is false.
bool matchesFilter(const ExtendedDescriptor& descriptor, const uint8_t* record,
                   uint32_t recordLength);

// Size of one extracted record in the answer: 2 (length) + 4 or 8
// (position) + the extracted bytes (the fields' lengths, or the whole
// record when the descriptor has no fields).
uint32_t extractedRecordSize(const ExtendedDescriptor& descriptor,
                             uint32_t recordLength, bool widePosition);

// Appends one extracted record (length, position of 4 or 8 bytes, the
// extracted fields; a descriptor without fields extracts the whole record)
// at `out`; returns the bytes written, or 0 when it would pass `capacity`
// (or the extracted bytes would not fit the 2-byte length). Bytes of a
// field beyond the record are written as zero; 65 is answered by the caller
// when a field lies beyond the record: extractorFits tells.
bool extractorFits(const ExtendedDescriptor& descriptor, uint32_t recordLength);
uint32_t writeExtractedRecord(const ExtendedDescriptor& descriptor,
                              const uint8_t* record, uint32_t recordLength,
                              uint64_t position, bool widePosition,
                              uint8_t* out, uint32_t capacity);

}  // namespace vorlan::rm

// The descriptor of the extended operations (36 Get Next Extended, 85
// DeleteExtended): header, filter terms, extractor; evaluating its filter on
// a record and building its answer.
#pragma once

#include <cstdint>
#include <vector>

namespace vorlan::rm {

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
  uint16_t rejectCount = 0;
  std::vector<FilterTerm> terms;
  uint16_t maxRecords = 0;  // extractor: number of records
  std::vector<ExtractorField> fields;
};

// Parses a descriptor; its length field must match exactly what it holds
// (given `available` bytes in the buffer). Returns 0 or 62. The terms keep
// pointers into `buffer`, so copy it first when the answer will overwrite it.
int parseExtendedDescriptor(const uint8_t* buffer, uint32_t available,
                            ExtendedDescriptor* out);

// True when the record satisfies the filter (no terms: every record).
// Terms are evaluated strictly left to right with their connectors.
bool matchesFilter(const ExtendedDescriptor& descriptor, const uint8_t* record,
                   uint32_t recordLength);

// Appends one extracted record (length, position of 4 or 8 bytes, the
// extracted fields; a descriptor without fields extracts the whole record)
// at `out`; returns the bytes written, or 0 when it would pass `capacity`.
// 65 is answered by the caller when a field lies beyond the record:
// extractorFits tells.
bool extractorFits(const ExtendedDescriptor& descriptor, uint32_t recordLength);
uint32_t writeExtractedRecord(const ExtendedDescriptor& descriptor,
                              const uint8_t* record, uint32_t recordLength,
                              uint64_t position, bool widePosition,
                              uint8_t* out, uint32_t capacity);

}  // namespace vorlan::rm

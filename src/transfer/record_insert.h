// Writing records into a file with their system data, shared by import and
// copy: the insert with system data values, the chunked append of a long
// record, the lookup by system data value, the duplicate report, and the
// replacement of /U, which keeps the record it replaces until its successor
// is in.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/file_session.h"
#include "engine/whole_record.h"

namespace vorlan {

constexpr uint32_t kInsertRequestSize = kRecordBufferSize + 48;  // 64177
constexpr uint32_t kInsertTrailerSize = 44;

// Receives the record a lookup finds, so that recordBuffer and the entry's
// bytes stay untouched.
extern unsigned char lookupBuffer[kRecordBufferSize];

// The working storage of one import or copy run.
struct InsertWorkspace {
  unsigned char request[kInsertRequestSize];  // insert and chunk-write requests
  unsigned char query[8];                     // the duplicate-key query
  bool keepsUpdateValue = false;  // the target file has key 124 (mode 2)
  // The record a replacement removed, whole, until its successor is in.
  std::vector<unsigned char> removed;
  SystemData removedValues;
};

// Lays out the insert-with-system-data request for `length` bytes (at most
// kRecordBufferSize) in `out`; returns its data length, length + 48.
uint32_t buildSysDataInsertRequest(unsigned char* out, const unsigned char* record,
                                   uint16_t length, const SystemData& values);

// Insert (operation 2) when the record has no system data value, else
// insert with system data (operation 52). The key buffer is keyBuffer; the
// key number stays what the session's previous request set.
int insertRecord(FileSession& session, InsertWorkspace& w, const unsigned char* record,
                 uint16_t length, const SystemData& values);

// Update Chunk (operation 53) appending the bytes after the last ones
// written to the record just inserted.
int appendChunk(FileSession& session, InsertWorkspace& w, const unsigned char* bytes,
                uint16_t length);

// Get Equal on the system data key into lookupBuffer. Returns the status:
// 0, or 22 for a record longer than the buffer, means found.
int lookupBySystemData(FileSession& session, uint64_t value);
inline bool lookupFound(int status) { return status == 0 || status == 22; }

// The diagnosis after an insert answered 5 or 146: which key, and the first
// 24 bytes of the record (00 beyond `available`).
void reportDuplicate(FileSession& session, InsertWorkspace& w, uint64_t recordNumber,
                     const unsigned char* record, uint32_t available);

// For /U: when the file holds a record with the value, reads it whole into
// the workspace and deletes it. True when a record was removed; false when
// there was none, or it could not be kept whole (then it is left in place).
bool removeForReplacement(FileSession& session, InsertWorkspace& w, uint64_t sysData);

// The replacement did not make it in: deletes what was written of it when
// `discardCurrent` (the session's current record), and puts the removed
// record back as it was. Reports on standard error.
void undoReplacement(FileSession& session, InsertWorkspace& w, bool discardCurrent);

}  // namespace vorlan

#include "transfer/record_insert.h"

#include <cstdio>
#include <cstring>

#include "engine/byte_order.h"
#include "engine/operations.h"

namespace vorlan {

unsigned char lookupBuffer[kRecordBufferSize];

namespace {

constexpr uint32_t kDuplicateKeySubfunction = 3;

unsigned high(uint64_t v) { return static_cast<unsigned>(v >> 32); }
unsigned low(uint64_t v) { return static_cast<unsigned>(v); }

// Reads the rest of a long record found by the lookup; false when a chunk
// read fails.
bool readRemainingChunks(FileSession& s, InsertWorkspace& w, RecordPosition position) {
  for (;;) {
    uint32_t offset = static_cast<uint32_t>(w.removed.size());
    int status = readChunkOf(s, w.request, position, offset);
    if (status == 103) return true;
    if (status != 0) return false;
    uint16_t n = s.dataLength > kRecordBufferSize ? kRecordBufferSize : s.dataLength;
    w.removed.insert(w.removed.end(), w.request, w.request + n);
    if (n < kRecordBufferSize) return true;
  }
}

}  // namespace

uint32_t buildSysDataInsertRequest(unsigned char* out, const unsigned char* record,
                                   uint16_t length, const SystemData& values) {
  writeLe32(out, 1);
  memcpy(out + 4, record, length);
  unsigned char* trailer = out + 4 + length;
  memset(trailer, 0, kInsertTrailerSize);
  writeLe64(trailer + 12, values.sysData);
  writeLe64(trailer + 20, values.updateSysData);
  writeLe32(trailer + 40, 0x00070000);
  return length + 48u;
}

int insertRecord(FileSession& s, InsertWorkspace& w, const unsigned char* record,
                 uint16_t length, const SystemData& values) {
  s.keyBuffer = keyBuffer;
  if (values.sysData == 0) {
    s.dataBuffer = const_cast<unsigned char*>(record);
    s.dataLength = length;
    s.operation = kOpInsert;
  } else {
    s.dataBuffer = w.request;
    s.dataLength = static_cast<uint16_t>(buildSysDataInsertRequest(w.request, record, length, values));
    s.operation = kOpInsertWithSystemData;
  }
  return callEngine(s);
}

int appendChunk(FileSession& s, InsertWorkspace& w, const unsigned char* bytes, uint16_t length) {
  ChunkDescriptor descriptor;
  descriptor.chunkLength = length;
  writeChunkDescriptor(w.request, descriptor);
  memcpy(w.request + kChunkDescriptorSize, bytes, length);
  s.dataBuffer = w.request;
  s.dataLength = static_cast<uint16_t>(length + kChunkDescriptorSize);
  s.operation = kOpUpdateChunk;
  return callEngine(s);
}

int lookupBySystemData(FileSession& s, uint64_t value) {
  writeLe64(keyBuffer, value);
  s.dataBuffer = lookupBuffer;
  s.dataLength = kRecordBufferSize;
  s.keyBuffer = keyBuffer;
  s.keyNumber = kSystemDataKey;
  s.operation = kOpGetEqual;
  return callEngine(s);
}

void reportDuplicate(FileSession& s, InsertWorkspace& w, uint64_t recordNumber,
                     const unsigned char* record, uint32_t available) {
  memcpy(w.query, "ExSt", 4);
  writeLe32(w.query + 4, kDuplicateKeySubfunction);
  s.dataBuffer = w.query;
  s.dataLength = sizeof w.query;
  s.keyNumber = 0;
  s.operation = kOpExtendedStats;
  if (callEngine(s) == 0)
    fprintf(stderr, "Duplicate Record %llu found on Key %d. First 24 bytes of record:\n",
            static_cast<unsigned long long>(recordNumber), readLe16(w.query + 4));
  else
    fprintf(stderr, "Duplicate Record %llu found. First 24 bytes:\n",
            static_cast<unsigned long long>(recordNumber));
  for (uint32_t i = 0; i < 24; ++i) fprintf(stderr, "%.2X ", i < available ? record[i] : 0);
  fputs("\n", stderr);
}

bool removeForReplacement(FileSession& s, InsertWorkspace& w, uint64_t sysData) {
  int status = lookupBySystemData(s, sysData);
  if (!lookupFound(status)) return false;
  uint16_t n = s.dataLength > kRecordBufferSize ? kRecordBufferSize : s.dataLength;
  w.removed.assign(lookupBuffer, lookupBuffer + n);
  w.removedValues = SystemData{sysData, 0};

  RecordPosition position = 0;
  if (readPositionOf(s, position) != 0) return false;
  if (w.keepsUpdateValue)
    readSystemKeyOf(s, w.request, position, kUpdateSystemDataKey, w.removedValues.updateSysData);
  if (status == 22 && !readRemainingChunks(s, w, position)) {
    fprintf(stderr, "The record with system data value %.8X%.8X could not be read whole; it is kept.\n",
            high(sysData), low(sysData));
    return false;
  }
  s.dataBuffer = lookupBuffer;
  s.dataLength = 0;
  s.keyNumber = kSystemDataKey;
  s.operation = kOpDelete;
  return callEngine(s) == 0;
}

void undoReplacement(FileSession& s, InsertWorkspace& w, bool discardCurrent) {
  if (discardCurrent) {
    s.dataLength = 0;
    s.operation = kOpDelete;
    callEngine(s);
  }
  const SystemData& values = w.removedValues;
  size_t total = w.removed.size();
  uint16_t first = total > kRecordBufferSize ? kRecordBufferSize : static_cast<uint16_t>(total);
  int status = insertRecord(s, w, w.removed.data(), first, values);
  for (size_t offset = first; status == 0 && offset < total;) {
    uint16_t n = total - offset > kRecordBufferSize ? kRecordBufferSize
                                                    : static_cast<uint16_t>(total - offset);
    status = appendChunk(s, w, w.removed.data() + offset, n);
    offset += n;
  }
  if (status == 0)
    fprintf(stderr, "The record with system data value %.8X%.8X was put back as it was.\n",
            high(values.sysData), low(values.sysData));
  else
    fprintf(stderr,
            "ERROR: Status %d putting back the record with system data value %.8X%.8X.\n",
            status, high(values.sysData), low(values.sysData));
}

}  // namespace vorlan

// Insert (2), insert with system data (52), Update (3), Delete (4) and
// Update Chunk (53) as the entries receive them.
#include <algorithm>
#include <cstring>

#include "recordmanager/operations.h"
#include "recordmanager/record_access.h"
#include "recordmanager/record_writes.h"

namespace vorlan::rm {

namespace {

constexpr uint32_t kChunkDirect = 0x80000000u;
constexpr uint32_t kChunkTruncate = 0x80000004u;
constexpr uint32_t kChunkNextInRecord = 0x40000000u;
constexpr uint32_t kChunkAppend = 0x20000000u;

// The insert with system data: 4-byte header, the record, a 44-byte
// trailer holding sysData at +12 and updateSysData at +20.
constexpr uint32_t kSysDataHeader = 4;
constexpr uint32_t kSysDataTrailer = 44;

void answerInsertKey(Handle* handle, const Request& request) {
  KeyPath* path = handle->currency.path;
  if (path) deliverKeyValue(handle, request, path);
}

}  // namespace

int insertOperation(Handle* handle, const Request& request) {
  const int status = insertRecord(handle, request.data, request.capacity, GivenSystemData{}, request.keyNumber);
  if (status == 0) answerInsertKey(handle, request);
  return status;
}

int insertWithSystemData(Handle* handle, const Request& request) {
  if (request.capacity < kSysDataHeader + kSysDataTrailer) return 22;
  const uint32_t length = request.capacity - kSysDataHeader - kSysDataTrailer;
  const uint8_t* trailer = request.data + kSysDataHeader + length;
  GivenSystemData given;
  given.present = true;
  given.sysData = getLittle(trailer + 12, 8);
  given.updateSysData = getLittle(trailer + 20, 8);
  const int status = insertRecord(handle, request.data + kSysDataHeader, length, given, request.keyNumber);
  if (status == 0) answerInsertKey(handle, request);
  return status;
}

int updateOperation(Handle* handle, const Request& request) {
  return updateRecord(handle, request.data, request.capacity, true);
}

int deleteOperation(Handle* handle, const Request&) { return deleteRecord(handle); }

// Update Chunk on the current record: direct chunks (their bytes follow the
// descriptor), optionally continuing after the last byte read or written
// (next-in-record) or at the end (append); or a truncation.
int updateChunk(Handle* handle, const Request& request) {
  Store* store = handle->store;
  Currency& c = handle->currency;
  if (handle->readOnly) return 46;
  if (c.state != CurrencyState::kOnRecord) return 8;
  if (request.capacity < 8) return 62;
  const uint32_t subfunction = static_cast<uint32_t>(getLittle(request.data, 4));
  const bool next = (subfunction & kChunkNextInRecord) != 0;
  const bool append = (subfunction & kChunkAppend) != 0;
  const uint32_t kind = subfunction & ~(kChunkNextInRecord | kChunkAppend);
  if (next && c.chunkPosition != c.position) return 106;

  int status = beginWrite(store);
  if (status != 0) return status;
  status = loadPosition(store, c.position);
  if (status == 43) return 80;
  if (status != 0) return status;
  std::vector<uint8_t>& record = handle->scratch;
  record = store->cache.data;
  uint64_t cursor = c.chunkOffset;

  if (kind == kChunkTruncate) {
    const uint64_t offset = next ? cursor : getLittle(request.data + 4, 4);
    if (offset > record.size()) return 103;
    record.resize(offset);
    cursor = offset;
  } else if (kind == kChunkDirect) {
    const uint32_t count = static_cast<uint32_t>(getLittle(request.data + 4, 4));
    if (count == 0 || count > (request.capacity - 8) / 12) return 62;
    uint64_t dataOffset = 8 + 12ull * count;
    for (uint32_t i = 0; i < count; ++i) {
      const uint8_t* entry = request.data + 8 + 12 * i;
      const uint32_t chunkLength = static_cast<uint32_t>(getLittle(entry + 4, 4));
      if (dataOffset + chunkLength > request.capacity) return 62;
      uint64_t offset = next ? cursor : (append ? record.size() : getLittle(entry, 4));
      if (offset > record.size()) return 103;
      if (offset + chunkLength > kMaxRecordSize) return 103;
      if (offset + chunkLength > record.size()) record.resize(offset + chunkLength);
      std::memcpy(record.data() + offset, request.data + dataOffset, chunkLength);
      dataOffset += chunkLength;
      cursor = offset + chunkLength;
    }
  } else {
    return 62;
  }
  if (!store->variableLength && record.size() != store->definition.recordLength) return 103;
  status = updateRecord(handle, record.data(), static_cast<uint32_t>(record.size()), false);
  if (status == 0) {
    c.chunkPosition = c.position;
    c.chunkOffset = cursor;
  }
  return status;
}

}  // namespace vorlan::rm

// Get and Step operations, Get Position and Get Direct.
#include <algorithm>
#include <cstring>

#include "recordmanager/operations.h"
#include "recordmanager/record_access.h"

namespace vorlan::rm {

namespace {

constexpr uint32_t kChunkDirect = 0x80000000u;
constexpr uint32_t kChunkNextInRecord = 0x40000000u;

// Answers a record just found: data (unless key-only) and key value.
int answerFound(Handle* handle, const Request& request, const KeyPath* path, bool keyOnly) {
  int status = 0;
  if (!keyOnly) status = deliverRecord(handle, request);
  if (path) deliverKeyValue(handle, request, path);
  return status;
}

}  // namespace

int getOperation(Handle* handle, const Request& request, uint32_t operation, bool keyOnly) {
  Store* store = handle->store;
  KeyPath* path = findPath(store, request.keyNumber);
  if (!path) return 6;
  if (!keyBufferFits(request, path)) return 21;
  Currency& c = handle->currency;
  int status = 0;
  switch (operation) {
    case kOpGetFirst: status = navigate(handle, path, kPathFirst, nullptr, 0); break;
    case kOpGetLast: status = navigate(handle, path, kPathLast, nullptr, 0); break;
    case kOpGetNext:
    case kOpGetPrevious: {
      if (c.state == CurrencyState::kNone || !c.path) return 8;
      if (c.path != path) return 7;
      const PathStatement onward = operation == kOpGetNext ? kPathAfter : kPathBefore;
      if (!continuesOnward(handle, path, onward)) {
        status = ensurePathValue(handle);
        if (status != 0) return status;
      }
      status = navigate(handle, path, onward, c.value.data(), c.seq);
      break;
    }
    default: {
      encodeSearchValue(store, path, request.key);
      const uint8_t* wanted = path->encoded.data();
      switch (operation) {
        case kOpGetEqual:
          status = navigate(handle, path, kPathEqual, wanted, 0);
          if (status == 9) status = 4;
          break;
        case kOpGetGreater: status = navigate(handle, path, kPathGreater, wanted, 0); break;
        case kOpGetGreaterOrEqual: status = navigate(handle, path, kPathGreaterOrEqual, wanted, 0); break;
        case kOpGetLess: status = navigate(handle, path, kPathLess, wanted, 0); break;
        case kOpGetLessOrEqual:
          status = navigate(handle, path, kPathEqual, wanted, 0);
          if (status == 9) {
            encodeSearchValue(store, path, request.key);
            status = navigate(handle, path, kPathLess, path->encoded.data(), 0);
          }
          break;
        default: return 1;
      }
    }
  }
  if (status != 0) return status;
  return answerFound(handle, request, path, keyOnly);
}

int stepOperation(Handle* handle, const Request& request, uint32_t operation) {
  Currency& c = handle->currency;
  int status = 0;
  switch (operation) {
    case kOpStepFirst: status = stepPhysical(handle, kStepFirst, 0); break;
    case kOpStepLast: status = stepPhysical(handle, kStepLast, 0); break;
    case kOpStepNext:
    case kOpStepPrevious:
      if (c.state == CurrencyState::kNone) return 8;
      status = stepPhysical(handle, operation == kOpStepNext ? kStepNext : kStepPrevious, c.position);
      break;
    default: return 1;
  }
  if (status != 0) return status;
  return deliverRecord(handle, request);
}

int getPosition(Handle* handle, const Request& request) {
  const Currency& c = handle->currency;
  if (c.state != CurrencyState::kOnRecord) return 8;
  const uint32_t width = request.positionWidth();
  if (request.capacity < width) return 22;
  putLittle(request.data, static_cast<uint64_t>(c.position), width);
  request.answerLength(width);
  return 0;
}

namespace {

// Get Direct/Chunk (key -2): position, then the chunk descriptor; the
// chunks' bytes come back one after the other from the buffer's start.
int readChunks(Handle* handle, const Request& request) {
  Store* store = handle->store;
  const uint32_t width = request.positionWidth();
  if (request.capacity < width + 8) return 62;
  const int64_t position = static_cast<int64_t>(getLittle(request.data, width));
  const uint32_t subfunction = static_cast<uint32_t>(getLittle(request.data + width, 4));
  const uint32_t count = static_cast<uint32_t>(getLittle(request.data + width + 4, 4));
  if ((subfunction & ~kChunkNextInRecord) != kChunkDirect || count == 0 ||
      count > (request.capacity - width - 8) / 12)
    return 62;
  // The descriptor is overwritten by the answer: keep it.
  std::vector<uint8_t>& descriptor = handle->scratch;
  descriptor.assign(request.data + width + 8, request.data + width + 8 + 12 * count);

  int status = loadPosition(store, position);
  if (status != 0) return status;
  Currency& c = handle->currency;
  const bool next = (subfunction & kChunkNextInRecord) != 0;
  if (next && c.chunkPosition != position) return 106;
  const bool samePlace = c.state == CurrencyState::kOnRecord && c.position == position;
  c.state = CurrencyState::kOnRecord;
  c.position = position;
  if (!samePlace) c.valueKnown = false;

  const RecordCache& cache = store->cache;
  const uint64_t length = cache.data.size();
  uint64_t cursor = c.chunkOffset;
  uint32_t written = 0;
  status = 0;
  for (uint32_t i = 0; i < count && status == 0; ++i) {
    const uint64_t offset = next ? cursor : getLittle(descriptor.data() + 12 * i, 4);
    const uint32_t wanted = static_cast<uint32_t>(getLittle(descriptor.data() + 12 * i + 4, 4));
    if (offset >= length) {
      status = 103;
      break;
    }
    uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(wanted, length - offset));
    if (n > request.capacity - written) {
      n = request.capacity - written;
      status = 22;
    }
    std::memcpy(request.data + written, cache.data.data() + offset, n);
    written += n;
    cursor = offset + n;
  }
  c.chunkPosition = position;
  c.chunkOffset = cursor;
  request.answerLength(written);
  return status;
}

}  // namespace

int getDirect(Handle* handle, const Request& request) {
  if (request.keyNumber == -2) return readChunks(handle, request);
  Store* store = handle->store;
  // Key number -1: the record only, without a key path.
  KeyPath* path = request.keyNumber == -1 ? nullptr : findPath(store, request.keyNumber);
  if (!path && request.keyNumber != -1) return 6;
  if (path && !keyBufferFits(request, path)) return 21;
  const uint32_t width = request.positionWidth();
  if (request.capacity < width) return 22;
  const int64_t position = static_cast<int64_t>(getLittle(request.data, width));
  const int status = loadPosition(store, position);
  if (status != 0) return status;
  Currency& c = handle->currency;
  c.state = CurrencyState::kOnRecord;
  c.position = position;
  c.path = path;
  c.valueKnown = false;
  if (path && path->system) {
    // A read of the system data value: the record's first bytes come along,
    // but the chunk cursor stays where the last real read left it.
    const int64_t chunkPosition = c.chunkPosition;
    const uint64_t chunkOffset = c.chunkOffset;
    const int status = answerFound(handle, request, path, false);
    if (chunkPosition == position) c.chunkOffset = chunkOffset;
    else c.chunkPosition = 0;
    return status;
  }
  return answerFound(handle, request, path, false);
}

}  // namespace vorlan::rm

// Reading records along key paths and in physical order.
#include "recordmanager/record_access.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "recordmanager/key_encoding.h"

namespace vorlan::rm {

namespace {

constexpr uint64_t kUnixEpochTicks = 621355968000000000ull;

// Columns from `first` on: data, sys_data, update_sys_data.
void cacheRow(Store* store, sqlite3_stmt* statement, int first, int64_t position) {
  RecordCache& cache = store->cache;
  const auto* data = static_cast<const uint8_t*>(sqlite3_column_blob(statement, first));
  const int length = sqlite3_column_bytes(statement, first);
  cache.data.assign(data, data + length);
  cache.hasSysData = sqlite3_column_bytes(statement, first + 1) == 8;
  cache.sysData =
      cache.hasSysData ? getBig(static_cast<const uint8_t*>(sqlite3_column_blob(statement, first + 1))) : 0;
  cache.hasUpdateSysData = sqlite3_column_bytes(statement, first + 2) == 8;
  cache.updateSysData =
      cache.hasUpdateSysData ? getBig(static_cast<const uint8_t*>(sqlite3_column_blob(statement, first + 2))) : 0;
  cache.position = position;
  cache.serial = store->serial;
}

// True when `st` is the cursor this position block left on the row that is
// still its current record on the same path: the next row is one step away.
bool continuesHeldCursor(const Handle* handle, sqlite3_stmt* st, const KeyPath* path) {
  const Store* store = handle->store;
  const Currency& c = handle->currency;
  return store->heldCursor == st && store->heldBy == handle && c.state == CurrencyState::kOnRecord &&
         c.path == path && c.position == store->heldPosition;
}

// After a fetch: an onward cursor that found its row is held for the next
// call; every other statement is reset.
void finishStep(Handle* handle, sqlite3_stmt* st, bool hold) {
  Store* store = handle->store;
  if (!hold) {
    if (store->heldCursor == st) {
      store->heldCursor = nullptr;
      store->heldBy = nullptr;
    }
    sqlite3_reset(st);
    return;
  }
  if (store->heldCursor != st) releaseCursor(store);
  store->heldCursor = st;
  store->heldBy = handle;
  store->heldPosition = handle->currency.position;
}

int stepResult(int rc) {
  if (rc == SQLITE_ROW) return 0;
  if (rc == SQLITE_DONE) return 9;
  return statusFromSqlite(rc);
}

}  // namespace

void bindBlob(sqlite3_stmt* statement, int index, const uint8_t* bytes, uint32_t length) {
  static const uint8_t empty = 0;
  sqlite3_bind_blob(statement, index, length ? bytes : &empty, static_cast<int>(length), SQLITE_STATIC);
}

int navigate(Handle* handle, KeyPath* path, PathStatement which, const uint8_t* value, int64_t seq) {
  Store* store = handle->store;
  int status = beginRead(store);
  if (status != 0) return status;
  sqlite3_stmt* st = pathStatement(store, path, which);
  if (!st) return 2;
  const bool onward = which == kPathAfter || which == kPathBefore;
  if (!continuesHeldCursor(handle, st, path)) {
    if (store->heldCursor == st) releaseCursor(store);
    // An onward cursor outlives this call while the currency it started
    // from changes: it keeps its own copy of the value.
    if (value && onward)
      sqlite3_bind_blob(st, 1, value, static_cast<int>(path->encodedLength), SQLITE_TRANSIENT);
    else if (value)
      bindBlob(st, 1, value, path->encodedLength);
    if (onward) sqlite3_bind_int64(st, 2, seq);
  }
  status = stepResult(sqlite3_step(st));
  if (status == 0) {
    Currency& c = handle->currency;
    const auto* found = static_cast<const uint8_t*>(sqlite3_column_blob(st, 0));
    const uint32_t foundLength = static_cast<uint32_t>(sqlite3_column_bytes(st, 0));
    c.value.assign(found, found + foundLength);
    c.seq = sqlite3_column_int64(st, 1);
    c.position = sqlite3_column_int64(st, 2);
    c.valueKnown = true;
    c.path = path;
    c.state = CurrencyState::kOnRecord;
    cacheRow(store, st, 3, c.position);
  }
  finishStep(handle, st, onward && status == 0);
  return status;
}

int stepPhysical(Handle* handle, FileStatement which, int64_t from) {
  Store* store = handle->store;
  int status = beginRead(store);
  if (status != 0) return status;
  sqlite3_stmt* st = fileStatement(store, which);
  if (!st) return 2;
  const bool onward = which == kStepNext || which == kStepPrevious;
  if (!continuesHeldCursor(handle, st, nullptr)) {
    if (store->heldCursor == st) releaseCursor(store);
    if (onward) sqlite3_bind_int64(st, 1, from);
  }
  status = stepResult(sqlite3_step(st));
  if (status == 0) {
    Currency& c = handle->currency;
    c.position = sqlite3_column_int64(st, 0);
    c.state = CurrencyState::kOnRecord;
    c.path = nullptr;
    c.valueKnown = false;
    cacheRow(store, st, 1, c.position);
  }
  finishStep(handle, st, onward && status == 0);
  return status;
}

int loadPosition(Store* store, int64_t position) {
  if (position <= 0) return 43;
  int status = beginRead(store);
  if (status != 0) return status;
  if (store->cache.position == position && store->cache.serial == store->serial) return 0;
  sqlite3_stmt* st = fileStatement(store, kRecordFetch);
  if (!st) return 2;
  sqlite3_bind_int64(st, 1, position);
  status = stepResult(sqlite3_step(st));
  if (status == 0) cacheRow(store, st, 0, position);
  sqlite3_reset(st);
  return status == 9 ? 43 : status;
}

bool continuesOnward(Handle* handle, KeyPath* path, PathStatement which) {
  Store* store = handle->store;
  return store->heldCursor != nullptr && store->heldCursor == path->statements[which] &&
         continuesHeldCursor(handle, store->heldCursor, path);
}

int ensurePathValue(Handle* handle) {
  Currency& c = handle->currency;
  if (!c.path || c.state == CurrencyState::kNone) return 8;
  if (c.valueKnown) return 0;
  if (c.state != CurrencyState::kOnRecord) return 8;
  Store* store = handle->store;
  int status = beginRead(store);
  if (status != 0) return status;
  sqlite3_stmt* st = pathStatement(store, c.path, kPathKeyOf);
  if (!st) return 2;
  sqlite3_bind_int64(st, 1, c.position);
  status = stepResult(sqlite3_step(st));
  if (status == 0) {
    const auto* found = static_cast<const uint8_t*>(sqlite3_column_blob(st, 0));
    c.value.assign(found, found + sqlite3_column_bytes(st, 0));
    c.seq = sqlite3_column_int64(st, 1);
    c.valueKnown = true;
  }
  sqlite3_reset(st);
  return status == 9 ? 8 : status;
}

void computeRecordKey(Store* store, KeyPath* path, const uint8_t* record, uint32_t length) {
  extractKeyValue(*path->key, record, length, path->value.data());
  path->isNull = isNullKey(*path->key, path->value.data());
  encodeKeyValue(store->definition, *path->key, path->value.data(), path->encoded.data());
}

void encodeSearchValue(Store* store, KeyPath* path, const uint8_t* keyValue) {
  if (path->system) {
    putBig(path->encoded.data(), getLittle(keyValue, 8));
    return;
  }
  encodeKeyValue(store->definition, *path->key, keyValue, path->encoded.data());
}

int deliverRecord(Handle* handle, const Request& request) {
  const RecordCache& cache = handle->store->cache;
  const uint32_t length = static_cast<uint32_t>(cache.data.size());
  Currency& c = handle->currency;
  c.chunkPosition = cache.position;
  if (length <= request.capacity) {
    if (length) std::memcpy(request.data, cache.data.data(), length);
    request.answerLength(length);
    c.chunkOffset = length;
    return 0;
  }
  uint32_t given = handle->store->variableLength ? request.capacity : 0;
  if (given) std::memcpy(request.data, cache.data.data(), given);
  request.answerLength(given);
  c.chunkOffset = given;
  return 22;
}

bool keyBufferFits(const Request& request, const KeyPath* path) {
  return request.key && request.keyLength >= path->valueLength;
}

void deliverKeyValue(Handle* handle, const Request& request, const KeyPath* path) {
  if (!keyBufferFits(request, path)) return;
  const RecordCache& cache = handle->store->cache;
  if (path->system) {
    putLittle(request.key, path->keyNumber == kSystemDataKey ? cache.sysData : cache.updateSysData, 8);
    return;
  }
  extractKeyValue(*path->key, cache.data.data(), static_cast<uint32_t>(cache.data.size()), request.key);
}

uint64_t nextSystemValue(Store* store) {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const uint64_t ticks =
      kUnixEpochTicks + static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count() / 100);
  const uint64_t value = std::max(ticks, store->lastSysData + 1);
  store->lastSysData = value;
  store->countersDirty = true;
  return value;
}

}  // namespace vorlan::rm

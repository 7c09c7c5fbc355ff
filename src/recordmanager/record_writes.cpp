// Insert, Update and Delete.
#include "recordmanager/record_writes.h"

#include <cstring>

#include "recordmanager/record_access.h"
#include "recordmanager/request.h"

namespace vorlan::rm {

namespace {

// Savepoint around one operation, so that a failure halfway leaves the
// bundle as it was before the operation.
int beginOperation(Store* store) { return runStatement(fileStatement(store, kSavepoint)); }

int endOperation(Store* store, int status) {
  if (status != 0) runStatement(fileStatement(store, kRollbackTo));
  const int released = runStatement(fileStatement(store, kRelease));
  return status != 0 ? status : released;
}

bool valueExists(Store* store, KeyPath* path, const uint8_t* encoded, int64_t except, int* status) {
  sqlite3_stmt* st = pathStatement(store, path, kPathExists);
  if (!st) {
    *status = 2;
    return false;
  }
  bindBlob(st, 1, encoded, path->encodedLength);
  sqlite3_bind_int64(st, 2, except);
  const int rc = sqlite3_step(st);
  sqlite3_reset(st);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) *status = statusFromSqlite(rc);
  return rc == SQLITE_ROW;
}

int insertKeyEntry(Store* store, KeyPath* path, int64_t position) {
  sqlite3_stmt* st = pathStatement(store, path, kPathInsert);
  if (!st) return 2;
  bindBlob(st, 1, path->encoded.data(), path->encodedLength);
  sqlite3_bind_int64(st, 2, ++store->lastSeq);
  sqlite3_bind_int64(st, 3, position);
  store->countersDirty = true;
  return runStatement(st);
}

int removeKeyEntries(Store* store, KeyPath* path, int64_t position) {
  sqlite3_stmt* st = pathStatement(store, path, kPathRemove);
  if (!st) return 2;
  sqlite3_bind_int64(st, 1, position);
  return runStatement(st);
}

void bindSystemValue(sqlite3_stmt* st, int index, bool present, uint64_t value, uint8_t* scratch) {
  if (!present) {
    sqlite3_bind_null(st, index);
    return;
  }
  putBig(scratch, value);
  sqlite3_bind_blob(st, index, scratch, 8, SQLITE_STATIC);
}

bool isAutoIncrement(const KeyPath& path) {
  if (path.system || path.key->segments.size() != 1) return false;
  const KeySegment& segment = path.key->segments[0];
  return segment.type == kTypeAutoIncrement && (segment.length == 2 || segment.length == 4 || segment.length == 8);
}

int64_t signedValue(const uint8_t* bytes, uint32_t width) {
  uint64_t value = getLittle(bytes, width);
  if (width < 8 && (value >> (8 * width - 1)) & 1) value |= ~0ull << (8 * width);
  return static_cast<int64_t>(value);
}

// The highest value of an autoincrement key in the file (0 when empty):
// found at one end of the key's order or the other.
int highestValue(Store* store, KeyPath* path, int64_t* highest) {
  *highest = 0;
  const KeySegment& segment = path->key->segments[0];
  for (PathStatement end : {kPathFirst, kPathLast}) {
    sqlite3_stmt* st = pathStatement(store, path, end);
    if (!st) return 2;
    const int rc = sqlite3_step(st);
    if (rc == SQLITE_ROW) {
      const auto* data = static_cast<const uint8_t*>(sqlite3_column_blob(st, 3));
      const uint32_t length = static_cast<uint32_t>(sqlite3_column_bytes(st, 3));
      if (data && segment.position >= 1 && segment.position - 1u + segment.length <= length) {
        const int64_t value = signedValue(data + segment.position - 1, segment.length);
        if (value > *highest) *highest = value;
      }
    }
    sqlite3_reset(st);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) return statusFromSqlite(rc);
  }
  return 0;
}

// Gives autoincrement keys whose value is 0 the next value.
int assignAutoIncrements(Store* store, uint8_t* record, uint32_t length) {
  for (KeyPath& path : store->paths) {
    if (!isAutoIncrement(path)) continue;
    const KeySegment& segment = path.key->segments[0];
    if (segment.position < 1 || segment.position - 1u + segment.length > length) continue;
    uint8_t* field = record + segment.position - 1;
    if (getLittle(field, segment.length) != 0) continue;
    int64_t highest = 0;
    const int status = highestValue(store, &path, &highest);
    if (status != 0) return status;
    putLittle(field, static_cast<uint64_t>(highest + 1), segment.length);
  }
  return 0;
}

}  // namespace

int checkRecordLength(const Store* store, uint32_t length) {
  const uint32_t fixed = store->definition.recordLength;
  if (store->variableLength) return (length < fixed || length > kMaxRecordSize) ? 22 : 0;
  return length != fixed ? 22 : 0;
}

int insertRecord(Handle* handle, uint8_t* record, uint32_t length, const GivenSystemData& given, int keyNumber) {
  Store* store = handle->store;
  if (handle->readOnly) return 46;
  int status = checkRecordLength(store, length);
  if (status != 0) return status;
  status = beginWrite(store);
  if (status != 0) return status;
  status = assignAutoIncrements(store, record, length);
  if (status != 0) return status;

  for (KeyPath& path : store->paths) {
    if (path.system) continue;
    computeRecordKey(store, &path, record, length);
    if (path.unique && !path.isNull && valueExists(store, &path, path.encoded.data(), 0, &status)) {
      handle->lastDuplicateKey = path.keyNumber;
      return 5;
    }
    if (status != 0) return status;
  }

  const bool hasSystem = store->systemDataMode >= 1;
  uint64_t sysData = 0, updateSysData = 0;
  if (hasSystem) {
    if (given.present && given.sysData != 0) {
      uint8_t encoded[8];
      putBig(encoded, given.sysData);
      sqlite3_stmt* st = fileStatement(store, kSysDataExists);
      if (!st) return 2;
      sqlite3_bind_blob(st, 1, encoded, 8, SQLITE_STATIC);
      const int rc = sqlite3_step(st);
      sqlite3_reset(st);
      if (rc == SQLITE_ROW) {
        handle->lastDuplicateKey = kSystemDataKey;
        return 146;
      }
      if (rc != SQLITE_DONE) return statusFromSqlite(rc);
      sysData = given.sysData;
      if (sysData > store->lastSysData) {
        store->lastSysData = sysData;
        store->countersDirty = true;
      }
    } else {
      sysData = nextSystemValue(store);
    }
    updateSysData = (given.present && given.updateSysData != 0) ? given.updateSysData : sysData;
  }

  status = beginOperation(store);
  if (status != 0) return status;
  int64_t position = 0;
  sqlite3_stmt* st = fileStatement(store, kRecordInsert);
  uint8_t sysScratch[8], updateScratch[8];
  if (!st) {
    status = 2;
  } else {
    bindBlob(st, 1, record, length);
    bindSystemValue(st, 2, hasSystem, sysData, sysScratch);
    bindSystemValue(st, 3, store->systemDataMode == 2, updateSysData, updateScratch);
    status = runStatement(st);
    position = sqlite3_last_insert_rowid(store->db);
  }
  for (KeyPath& path : store->paths) {
    if (status != 0) break;
    if (path.system || path.isNull) continue;
    status = insertKeyEntry(store, &path, position);
  }
  status = endOperation(store, status);
  if (status != 0) return status;

  RecordCache& cache = store->cache;
  cache.data.assign(record, record + length);
  cache.position = position;
  cache.serial = store->serial;
  cache.hasSysData = hasSystem;
  cache.sysData = sysData;
  cache.hasUpdateSysData = store->systemDataMode == 2;
  cache.updateSysData = cache.hasUpdateSysData ? updateSysData : 0;

  Currency& c = handle->currency;
  c.state = CurrencyState::kOnRecord;
  c.position = position;
  c.path = findPath(store, keyNumber);
  c.valueKnown = false;  // read from the key entry when first needed
  c.chunkPosition = position;
  c.chunkOffset = length;
  return 0;
}

int updateRecord(Handle* handle, const uint8_t* record, uint32_t length, bool refreshUpdateValue) {
  Store* store = handle->store;
  Currency& c = handle->currency;
  if (handle->readOnly) return 46;
  if (c.state != CurrencyState::kOnRecord) return 8;
  int status = checkRecordLength(store, length);
  if (status != 0) return status;
  status = beginWrite(store);
  if (status != 0) return status;
  status = loadPosition(store, c.position);
  if (status == 43) return 80;  // removed by another user since it was read
  if (status != 0) return status;

  // The old key values first (the cache holds the old record).
  const RecordCache& old = store->cache;
  for (KeyPath& path : store->paths) {
    if (path.system) continue;
    computeRecordKey(store, &path, old.data.data(), static_cast<uint32_t>(old.data.size()));
    path.wasNull = path.isNull;
    std::memcpy(path.previous.data(), path.encoded.data(), path.encodedLength);
  }
  const uint64_t sysData = old.sysData;
  const bool hasSysData = old.hasSysData;
  uint64_t updateSysData = old.updateSysData;

  bool changed[256] = {};
  size_t index = 0;
  for (KeyPath& path : store->paths) {
    if (path.system) continue;
    computeRecordKey(store, &path, record, length);
    const bool differs = path.isNull != path.wasNull ||
                         std::memcmp(path.encoded.data(), path.previous.data(), path.encodedLength) != 0;
    if (index < 256) changed[index] = differs;
    ++index;
    if (!differs) continue;
    if (!path.modifiable) return 10;
    if (path.unique && !path.isNull && valueExists(store, &path, path.encoded.data(), c.position, &status)) {
      handle->lastDuplicateKey = path.keyNumber;
      return 5;
    }
    if (status != 0) return status;
  }
  if (refreshUpdateValue && store->systemDataMode == 2) updateSysData = nextSystemValue(store);

  // An Update that moves no key entry is one statement, atomic by itself:
  // no savepoint around it.
  bool entriesChange = index > 256;
  for (size_t i = 0; i < index && i < 256; ++i) entriesChange = entriesChange || changed[i];
  if (entriesChange) status = beginOperation(store);
  if (status != 0) return status;
  sqlite3_stmt* st = fileStatement(store, kRecordUpdate);
  uint8_t updateScratch[8];
  if (!st) {
    status = 2;
  } else {
    sqlite3_bind_int64(st, 1, c.position);
    bindBlob(st, 2, record, length);
    bindSystemValue(st, 3, store->systemDataMode == 2, updateSysData, updateScratch);
    status = runStatement(st);
  }
  index = 0;
  bool currentPathChanged = c.path != nullptr && c.path->system;  // 124 changes
  for (KeyPath& path : store->paths) {
    if (path.system) continue;
    const bool differs = index < 256 ? changed[index] : true;
    ++index;
    if (&path == c.path && differs) currentPathChanged = true;
    if (status != 0) break;
    if (!differs) continue;
    status = removeKeyEntries(store, &path, c.position);
    if (status == 0 && !path.isNull) status = insertKeyEntry(store, &path, c.position);
  }
  if (entriesChange) status = endOperation(store, status);
  if (status != 0) {
    store->cache.position = 0;
    return status;
  }

  RecordCache& cache = store->cache;
  cache.data.assign(record, record + length);
  cache.position = c.position;
  cache.serial = store->serial;
  cache.hasSysData = hasSysData;
  cache.sysData = sysData;
  cache.updateSysData = store->systemDataMode == 2 ? updateSysData : 0;
  if (currentPathChanged) c.valueKnown = false;  // else its key entry stays as it was
  c.chunkPosition = c.position;
  c.chunkOffset = length;
  return 0;
}

int deleteRecord(Handle* handle) {
  Store* store = handle->store;
  Currency& c = handle->currency;
  if (handle->readOnly) return 46;
  if (c.state != CurrencyState::kOnRecord) return 8;
  int status = beginWrite(store);
  if (status != 0) return status;
  if (c.path) {
    status = ensurePathValue(handle);
    if (status != 0 && status != 8) return status;
  }
  status = loadPosition(store, c.position);
  if (status == 43) return 80;
  if (status != 0) return status;
  status = beginOperation(store);
  if (status != 0) return status;
  for (KeyPath& path : store->paths) {
    if (path.system) continue;
    status = removeKeyEntries(store, &path, c.position);
    if (status != 0) break;
  }
  if (status == 0) {
    sqlite3_stmt* st = fileStatement(store, kRecordDelete);
    if (!st) {
      status = 2;
    } else {
      sqlite3_bind_int64(st, 1, c.position);
      status = runStatement(st);
    }
  }
  status = endOperation(store, status);
  if (status != 0) return status;
  store->cache.position = 0;
  c.state = CurrencyState::kBetween;
  c.chunkPosition = 0;
  return 0;
}

}  // namespace vorlan::rm

// MiscData (41), Set and Clear Owner (29, 30), and the "ExSt" extended
// statistics requests (65).
#include <cstring>

#include "recordmanager/operations.h"

namespace vorlan::rm {

namespace {

constexpr uint32_t kMaxMiscData = 65535;
constexpr uint32_t kMaxOwnerName = 24;

int writeOwner(Store* store, const uint8_t* name, uint32_t length, int mode) {
  int status = beginWrite(store);
  if (status != 0) return status;
  sqlite3_stmt* st = fileStatement(store, kOwnerWrite);
  if (!st) return 2;
  if (length)
    sqlite3_bind_blob(st, 1, name, static_cast<int>(length), SQLITE_STATIC);
  else
    sqlite3_bind_null(st, 1);
  sqlite3_bind_int(st, 2, mode);
  status = runStatement(st);
  if (status == 0) {
    store->owner.assign(name, name + length);
    store->ownerMode = mode;
  }
  return status;
}

}  // namespace

int miscDataOperation(Handle* handle, const Request& request) {
  Store* store = handle->store;
  const int which = static_cast<uint8_t>(request.keyNumber & 0xFF);
  if (which == 0x80) {  // read
    int status = beginRead(store);
    if (status != 0) return status;
    sqlite3_stmt* st = fileStatement(store, kMiscRead);
    if (!st) return 2;
    const int rc = sqlite3_step(st);
    uint32_t written = 0;
    status = 0;
    if (rc == SQLITE_ROW) {
      const auto* block = static_cast<const uint8_t*>(sqlite3_column_blob(st, 0));
      const uint32_t length = static_cast<uint32_t>(sqlite3_column_bytes(st, 0));
      written = length <= request.capacity ? length : request.capacity;
      if (block && written) std::memcpy(request.data, block, written);
      if (written < length) status = 22;
    } else {
      status = statusFromSqlite(rc);
    }
    sqlite3_reset(st);
    request.answerLength(written);
    return status;
  }
  if (which != 0) return 6;
  if (handle->readOnly) return 46;
  if (request.capacity > kMaxMiscData) return 22;
  int status = beginWrite(store);
  if (status != 0) return status;
  sqlite3_stmt* st = fileStatement(store, kMiscWrite);
  if (!st) return 2;
  if (request.capacity)
    sqlite3_bind_blob(st, 1, request.data, static_cast<int>(request.capacity), SQLITE_STATIC);
  else
    sqlite3_bind_null(st, 1);
  return runStatement(st);
}

// Set Owner: the name in the data buffer (data length bytes) and again,
// terminated, in the key buffer; the key number is the access mode (0 no
// access without the name, 1 read-only access without it; 2 and 3 the same
// with encryption, which this engine does not do).
int setOwner(Handle* handle, const Request& request) {
  if (handle->readOnly) return 46;
  Store* store = handle->store;
  if (!store->owner.empty()) return 50;
  uint32_t length = 0;
  while (length < request.capacity && request.data[length] != 0) ++length;
  if (length == 0 || length > kMaxOwnerName) return 51;
  if (!request.key || request.keyLength < length || std::memcmp(request.key, request.data, length) != 0 ||
      (request.keyLength > length && request.key[length] != 0))
    return 51;
  if (request.keyNumber < 0 || request.keyNumber > 3) return 6;
  return writeOwner(store, request.data, length, request.keyNumber);
}

int clearOwner(Handle* handle, const Request&) {
  if (handle->readOnly) return 46;
  Store* store = handle->store;
  if (store->owner.empty()) return 0;
  return writeOwner(store, nullptr, 0, 0);
}

int extendedStatistics(Handle* handle, const Request& request) {
  if (request.capacity < 8) return 22;
  if (std::memcmp(request.data, "ExSt", 4) != 0) return 62;
  const uint32_t code = static_cast<uint32_t>(getLittle(request.data + 4, 4));
  Store* store = handle->store;
  if (code == 2) {
    // System data: present, its length, its kind (1 system data, 2 with the
    // update value).
    std::memset(request.data, 0, 8);
    request.data[0] = store->systemDataMode != 0 ? 1 : 0;
    putLittle(request.data + 4, store->systemDataMode != 0 ? 8 : 0, 2);
    putLittle(request.data + 6, static_cast<uint64_t>(store->systemDataMode), 2);
    request.answerLength(8);
    return 0;
  }
  if (code == 3) {
    // The key on which the last insert or update through this position
    // block met a duplicate.
    if (handle->lastDuplicateKey < 0) return 8;
    putLittle(request.data + 4, static_cast<uint64_t>(handle->lastDuplicateKey), 2);
    putLittle(request.data + 6, 0, 2);
    request.answerLength(8);
    return 0;
  }
  return 62;
}

}  // namespace vorlan::rm

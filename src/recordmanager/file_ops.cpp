// Open, Close, Reset, Create (with rename and delete), Stat, Version.
#include <cstring>
#include <memory>
#include <string>

#include "recordmanager/durability.h"
#include "recordmanager/key_encoding.h"
#include "recordmanager/operations.h"
#include "recordmanager/os_services.h"
#include "recordmanager/record_access.h"

namespace vorlan::rm {

namespace {

constexpr uint32_t kMaxNameLength = 4096;
constexpr uint8_t kDefaultVersionByte = 0xD0;  // 13.0 format

// The file name of a key or data buffer: up to its terminator or its
// length; backslashes are directory separators. Empty: invalid.
bool fileName(const uint8_t* bytes, uint32_t length, std::string* name) {
  name->clear();
  if (!bytes) return false;
  const uint32_t limit = length < kMaxNameLength ? length : kMaxNameLength;
  uint32_t n = 0;
  while (n < limit && bytes[n] != 0) ++n;
  if (n == limit && n == kMaxNameLength) return false;
  name->assign(reinterpret_cast<const char*>(bytes), n);
  for (char& ch : *name)
    if (ch == '\\') ch = '/';
  return !name->empty();
}

int8_t lowByte(int32_t value) { return static_cast<int8_t>(static_cast<uint8_t>(value & 0xFF)); }

void installHooks() { startDurability(); }

void releaseHandle(void* positionBlock, Handle* handle) {
  Store* store = handle->store;
  --store->handles;
  if (handle->exclusive) --store->exclusiveHandles;
  dropHandle(positionBlock);
  if (store->handles <= 0) {
    const int descriptor = store->lockDescriptor;
    removeStore(store);  // commits and closes the connection first
    os::closeDescriptor(descriptor);
  } else {
    commitBundle(store);
  }
}

// A file this process does not have open, locked exclusively so that no
// other process has it open either: for replacing, renaming and deleting.
int lockUnusedFile(const std::string& path, int* descriptor) {
  *descriptor = -1;
  uint64_t device = 0, inode = 0;
  if (!os::pathIdentity(path, &device, &inode)) return 12;
  if (findStore(device, inode)) return 85;
  bool missing = false;
  *descriptor = os::openLockDescriptor(path, &missing);
  if (*descriptor < 0) return missing ? 12 : 30;
  if (!os::lockExclusive(*descriptor)) {
    os::closeDescriptor(*descriptor);
    *descriptor = -1;
    return 85;
  }
  return 0;
}

int renameFile(const Request& request) {
  std::string from, to;
  if (!fileName(request.data, request.capacity, &from) || !fileName(request.key, request.keyLength, &to)) return 11;
  int descriptor = -1;
  int status = lockUnusedFile(from, &descriptor);
  if (status == 0) status = checkpointStoreFile(from);
  if (status == 0 && os::pathExists(to)) status = 59;
  if (status == 0 && !os::renamePath(from, to)) status = 11;
  if (status == 0) {
    os::removePath(from + "-wal");
    os::removePath(from + "-shm");
  }
  os::closeDescriptor(descriptor);
  return status;
}

int deleteFile(const Request& request) {
  std::string name;
  if (!fileName(request.key, request.keyLength, &name)) return 11;
  int descriptor = -1;
  int status = lockUnusedFile(name, &descriptor);
  if (status == 0) status = checkpointStoreFile(name);
  if (status == 0) {
    os::removePath(name);
    os::removePath(name + "-wal");
    os::removePath(name + "-shm");
  }
  os::closeDescriptor(descriptor);
  return status;
}

}  // namespace

void flushAllStores() {
  for (Store* store : allStores()) commitBundle(store);
}

int openOperation(const Request& request) {
  if (!request.positionBlock) return 3;
  installHooks();
  std::string path;
  if (!fileName(request.key, request.keyLength, &path)) return 11;
  const int mode = lowByte(request.keyNumber);
  if (mode > 0 || mode < -4) return 1;
  const bool exclusive = mode == -4;
  bool readOnly = mode == -2;
  if (Handle* old = handleOfBlock(request.positionBlock)) releaseHandle(request.positionBlock, old);

  uint64_t device = 0, inode = 0;
  if (!os::pathIdentity(path, &device, &inode)) return 12;
  Store* store = findStore(device, inode);
  if (store) {
    if (store->exclusiveHandles > 0) return 85;
    if (exclusive) return 88;
  } else {
    bool missing = false;
    const int descriptor = os::openLockDescriptor(path, &missing);
    if (descriptor < 0) return missing ? 12 : 30;
    if (!(exclusive ? os::lockExclusive(descriptor) : os::lockShared(descriptor))) {
      int status = 85;
      if (exclusive && os::lockShared(descriptor)) status = 88;
      os::closeDescriptor(descriptor);
      return status;
    }
    auto fresh = std::make_unique<Store>();
    const int status = openStore(fresh.get(), path);
    if (status != 0) {
      os::closeDescriptor(descriptor);
      return status;
    }
    fresh->lockDescriptor = descriptor;
    fresh->device = device;
    fresh->inode = inode;
    store = addStore(std::move(fresh));
  }

  if (!store->owner.empty()) {
    std::string given;
    if (request.data && request.capacity) {
      uint32_t n = 0;
      while (n < request.capacity && request.data[n] != 0) ++n;
      given.assign(reinterpret_cast<const char*>(request.data), n);
    }
    const bool matches = given.size() == store->owner.size() &&
                         std::memcmp(given.data(), store->owner.data(), given.size()) == 0;
    if (!matches) {
      if (given.empty() && (store->ownerMode == 1 || store->ownerMode == 3)) {
        readOnly = true;
      } else {
        if (store->handles == 0) {
          const int descriptor = store->lockDescriptor;
          removeStore(store);
          os::closeDescriptor(descriptor);
        }
        return 51;
      }
    }
  }

  Handle* handle = newHandle(store, request.positionBlock);
  handle->readOnly = readOnly;
  handle->exclusive = exclusive;
  ++store->handles;
  if (exclusive) ++store->exclusiveHandles;
  return 0;
}

int closeOperation(const Request& request) {
  Handle* handle = handleOfBlock(request.positionBlock);
  if (!handle) return 3;
  releaseHandle(request.positionBlock, handle);
  return 0;
}

int resetOperation() {
  flushAllStores();
  for (Store* store : allStores()) {
    const int descriptor = store->lockDescriptor;
    removeStore(store);
    os::closeDescriptor(descriptor);
  }
  dropAllHandles();
  return 0;
}

int createOperation(const Request& request) {
  installHooks();
  const int mode = lowByte(request.keyNumber);
  if (mode == -127) return renameFile(request);
  if (mode == -128) return deleteFile(request);
  if (mode != 0 && mode != -1) return 1;

  std::string path;
  if (!fileName(request.key, request.keyLength, &path)) return 11;
  FileDefinition definition;
  int status = parseFileDefinition(request.data, request.data ? request.capacity : 0, request.wide, &definition);
  if (status != 0) return status;
  for (const KeyDefinition& key : definition.keys) {
    status = validateKey(definition, key);
    if (status != 0) return status;
  }
  if (definition.versionByte == 0) definition.versionByte = kDefaultVersionByte;

  int descriptor = -1;
  if (os::pathExists(path)) {
    if (mode == -1) return 59;
    status = lockUnusedFile(path, &descriptor);
    if (status == 0) status = checkpointStoreFile(path);
    if (status != 0) {
      os::closeDescriptor(descriptor);
      return status;
    }
  }
  // Build the new file beside the old one, then put it in its place.
  const std::string building = path + ".vorlan-new";
  os::removePath(building);
  os::removePath(building + "-wal");
  os::removePath(building + "-shm");
  status = createStoreFile(building, definition);
  if (status == 0) {
    os::removePath(path + "-wal");
    os::removePath(path + "-shm");
    if (!os::renamePath(building, path)) {
      os::removePath(building);
      status = 25;
    }
  }
  os::closeDescriptor(descriptor);
  return status;
}

int statOperation(Handle* handle, const Request& request) {
  Store* store = handle->store;
  int status = beginRead(store);
  if (status != 0) return status;
  sqlite3_stmt* st = fileStatement(store, kRecordCount);
  if (!st) return 2;
  uint64_t count = 0;
  const int rc = sqlite3_step(st);
  if (rc == SQLITE_ROW) count = static_cast<uint64_t>(sqlite3_column_int64(st, 0));
  sqlite3_reset(st);
  if (rc != SQLITE_ROW) return statusFromSqlite(rc);
  const uint32_t size = fileDefinitionSize(store->definition, request.wide);
  const uint32_t written = request.data ? writeFileDefinition(store->definition, count, request.wide,
                                                                 request.data, request.capacity)
                                        : 0;
  request.answerLength(written);
  return written < size ? 22 : 0;
}

int versionOperation(const Request& request) {
  // Requester, engine, and the engine a client would reach: 14.10 each.
  uint8_t answer[15];
  for (int i = 0; i < 3; ++i) {
    putLittle(answer + 5 * i, 14, 2);
    putLittle(answer + 5 * i + 2, 10, 2);
    answer[5 * i + 4] = 'L';
  }
  const uint32_t fits = request.data ? (request.capacity >= 15 ? 15 : request.capacity / 5 * 5) : 0;
  if (fits) std::memcpy(request.data, answer, fits);
  request.answerLength(fits);
  return fits == 15 ? 0 : 22;
}

}  // namespace vorlan::rm

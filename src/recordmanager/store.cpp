// The SQLite side of one file: schema, statements, bundles.
#include "recordmanager/store.h"

#include <cstring>

#include "recordmanager/key_encoding.h"
#include "recordmanager/os_services.h"

namespace vorlan::rm {

namespace {

std::chrono::milliseconds bundleLimit{1000};

// Waiting for another process's bundle: polled every millisecond, so that
// the short gap between two bundles of a busy writer is found, for up to
// two minutes (a bundle lasts about a second).
constexpr int kBusyPollMs = 1;
constexpr int kBusyLimitMs = 120000;
constexpr int kBusyRetries = 3;
// After ending a write bundle by age, a writer waits this long before its
// next one so that a waiting process gets its turn.
constexpr int kTurnGapMs = 3;

// Hooks of the store table (open_files.cpp) seen from here.
std::vector<Store*> (*listStores)() = nullptr;

int busyHandler(void* context, int count) {
  if (count * kBusyPollMs >= kBusyLimitMs) return 0;
  if (count == 0 && context && listStores) {
    // While this process waits for another, it must not hold other files
    // that the other one may be waiting for: end its other bundles now.
    for (Store* other : listStores())
      if (other != context && other->bundle != Bundle::kNone) commitBundle(other);
  }
  os::pause(kBusyPollMs);
  return 1;
}

void setBusyHandling(sqlite3* db, Store* store = nullptr) { sqlite3_busy_handler(db, busyHandler, store); }

const char* const kFileSql[kFileStatementCount] = {
    "INSERT INTO records(data, sys_data, update_sys_data) VALUES (?1, ?2, ?3)",
    "SELECT data, sys_data, update_sys_data FROM records WHERE position = ?1",
    "UPDATE records SET data = ?2, update_sys_data = ?3 WHERE position = ?1",
    "DELETE FROM records WHERE position = ?1",
    "SELECT position, data, sys_data, update_sys_data FROM records ORDER BY position LIMIT 1",
    "SELECT position, data, sys_data, update_sys_data FROM records ORDER BY position DESC LIMIT 1",
    // Step Next and Previous read on from where they stand (held cursors).
    "SELECT position, data, sys_data, update_sys_data FROM records WHERE position > ?1 "
    "ORDER BY position",
    "SELECT position, data, sys_data, update_sys_data FROM records WHERE position < ?1 "
    "ORDER BY position DESC",
    "SELECT 1 FROM records WHERE sys_data = ?1 LIMIT 1",
    "SELECT count(*) FROM records",
    "SELECT last_sys_data, last_seq FROM file_info WHERE id = 1",
    "UPDATE file_info SET last_sys_data = ?1, last_seq = ?2 WHERE id = 1",
    "SELECT misc_data FROM file_info WHERE id = 1",
    "UPDATE file_info SET misc_data = ?1 WHERE id = 1",
    "UPDATE file_info SET owner = ?1, owner_mode = ?2 WHERE id = 1",
    "SAVEPOINT operation",
    "RELEASE operation",
    "ROLLBACK TO operation",
};

int execute(sqlite3* db, const char* sql) {
  for (int attempt = 0;; ++attempt) {
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    if ((rc != SQLITE_BUSY && rc != SQLITE_LOCKED) || attempt >= kBusyRetries) return rc;
    os::pause(10);
  }
}

std::string pathSql(const KeyPath& path, PathStatement which) {
  std::string from, v, s, p, where;
  const std::string columns = ", r.data, r.sys_data, r.update_sys_data";
  if (path.system) {
    from = "records AS r";
    v = "r." + path.valueColumn;
    s = p = "r.position";
    where = v + " IS NOT NULL";
  } else {
    from = path.table + " AS k JOIN records AS r ON r.position = k.position";
    v = "k.value";
    s = "k.seq";
    p = "k.position";
    where = "1";
  }
  const std::string select = "SELECT " + v + ", " + s + ", " + p + columns + " FROM " + from + " WHERE " + where;
  // Get Next and Previous read on from where they stand (held cursors), the
  // others take one row.
  const std::string onward = " ORDER BY " + v + ", " + s;
  const std::string backward = " ORDER BY " + v + " DESC, " + s + " DESC";
  const std::string up = onward + " LIMIT 1";
  const std::string down = backward + " LIMIT 1";
  switch (which) {
    case kPathFirst: return select + up;
    case kPathLast: return select + down;
    case kPathAfter: return select + " AND (" + v + ", " + s + ") > (?1, ?2)" + onward;
    case kPathBefore: return select + " AND (" + v + ", " + s + ") < (?1, ?2)" + backward;
    case kPathEqual: return select + " AND " + v + " = ?1" + up;
    case kPathGreater: return select + " AND " + v + " > ?1" + up;
    case kPathGreaterOrEqual: return select + " AND " + v + " >= ?1" + up;
    case kPathLess: return select + " AND " + v + " < ?1" + down;
    case kPathKeyOf:
      if (path.system)
        return "SELECT " + path.valueColumn + ", position FROM records WHERE position = ?1 AND " +
               path.valueColumn + " IS NOT NULL";
      return "SELECT value, seq FROM " + path.table + " WHERE position = ?1";
    case kPathExists:
      if (path.system)
        return "SELECT 1 FROM records WHERE " + path.valueColumn + " = ?1 AND position <> ?2 LIMIT 1";
      return "SELECT 1 FROM " + path.table + " WHERE value = ?1 AND position <> ?2 LIMIT 1";
    case kPathInsert: return "INSERT INTO " + path.table + "(value, seq, position) VALUES (?1, ?2, ?3)";
    case kPathRemove: return "DELETE FROM " + path.table + " WHERE position = ?1";
    default: return "";
  }
}

sqlite3_stmt* prepare(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v3(db, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &statement,
                         nullptr) != SQLITE_OK) {
    sqlite3_finalize(statement);
    return nullptr;
  }
  return statement;
}

void buildPaths(Store* store) {
  store->paths.clear();
  store->paths.reserve(store->definition.keys.size() + 2);
  for (const KeyDefinition& key : store->definition.keys) {
    KeyPath path;
    path.keyNumber = key.keyNumber;
    path.key = &key;
    path.unique = !key.allowsDuplicates();
    path.modifiable = key.isModifiable();
    path.valueLength = key.valueLength();
    path.encodedLength = encodedKeyLength(key);
    path.table = "key_" + std::to_string(key.keyNumber);
    store->paths.push_back(std::move(path));
  }
  if (store->systemDataMode >= 1) {
    KeyPath path;
    path.keyNumber = kSystemDataKey;
    path.system = true;
    path.valueLength = path.encodedLength = 8;
    path.table = "records";
    path.valueColumn = "sys_data";
    store->paths.push_back(std::move(path));
  }
  if (store->systemDataMode == 2) {
    KeyPath path;
    path.keyNumber = kUpdateSystemDataKey;
    path.system = true;
    path.unique = false;
    path.valueLength = path.encodedLength = 8;
    path.table = "records";
    path.valueColumn = "update_sys_data";
    store->paths.push_back(std::move(path));
  }
  for (KeyPath& path : store->paths) {
    path.value.assign(path.valueLength + 8, 0);
    path.encoded.assign(path.encodedLength + 8, 0);
    path.previous.assign(path.encodedLength + 8, 0);
  }
}

int readCounters(Store* store) {
  sqlite3_stmt* st = fileStatement(store, kCountersRead);
  if (!st) return 2;
  int rc = sqlite3_step(st);
  if (rc == SQLITE_ROW) {
    store->lastSysData = static_cast<uint64_t>(sqlite3_column_int64(st, 0));
    store->lastSeq = sqlite3_column_int64(st, 1);
    rc = SQLITE_OK;
  }
  sqlite3_reset(st);
  store->countersDirty = false;
  return rc == SQLITE_OK ? 0 : statusFromSqlite(rc);
}

}  // namespace

void setBundleLimit(std::chrono::milliseconds limit) { bundleLimit = limit; }

void setStoreList(std::vector<Store*> (*list)()) { listStores = list; }

int statusFromSqlite(int rc) {
  switch (rc & 0xFF) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE: return 0;
    case SQLITE_FULL: return 18;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return 85;
    case SQLITE_NOTADB: return 30;
    case SQLITE_CANTOPEN: return 12;
    case SQLITE_READONLY:
    case SQLITE_PERM: return 46;
    default: return 2;
  }
}

sqlite3_stmt* fileStatement(Store* store, FileStatement which) {
  if (!store->statements[which]) store->statements[which] = prepare(store->db, kFileSql[which]);
  return store->statements[which];
}

sqlite3_stmt* pathStatement(Store* store, KeyPath* path, PathStatement which) {
  if (!path->statements[which]) path->statements[which] = prepare(store->db, pathSql(*path, which));
  return path->statements[which];
}

KeyPath* findPath(Store* store, int keyNumber) {
  for (KeyPath& path : store->paths)
    if (path.keyNumber == keyNumber) return &path;
  return nullptr;
}

int runStatement(sqlite3_stmt* statement) {
  if (!statement) return 2;
  const int rc = sqlite3_step(statement);
  sqlite3_reset(statement);
  return (rc == SQLITE_DONE || rc == SQLITE_ROW) ? 0 : statusFromSqlite(rc);
}

// SQLite serves only this engine in the process: no memory statistics
// (they cost a global mutex per allocation).
void configureSqliteOnce() {
  static const bool configured = [] {
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    return true;
  }();
  (void)configured;
}

int openStore(Store* store, const std::string& path) {
  configureSqliteOnce();
  store->path = path;
  int rc = sqlite3_open_v2(path.c_str(), &store->db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_close(store->db);
    store->db = nullptr;
    return rc == SQLITE_CANTOPEN ? 12 : 30;
  }
  setBusyHandling(store->db, store);
  sqlite3_stmt* st = prepare(store->db, "PRAGMA application_id");
  int32_t id = 0;
  if (st && sqlite3_step(st) == SQLITE_ROW) id = sqlite3_column_int(st, 0);
  sqlite3_finalize(st);
  if (id != kApplicationId) {
    sqlite3_close(store->db);
    store->db = nullptr;
    return 30;
  }
  execute(store->db, "PRAGMA synchronous = NORMAL");
  // Savepoint journals in memory. The page cache stays small (1 MiB): the
  // operating system caches the file anyway, and memory stays the same for
  // small and large files (a bundle larger than the cache spills to the WAL;
  // a million-record load measured no slower than with 32 MiB).
  execute(store->db, "PRAGMA temp_store = MEMORY");
  execute(store->db, "PRAGMA cache_size = -1024");
  execute(store->db, "PRAGMA journal_mode = WAL");

  int status = 30;
  st = prepare(store->db, "SELECT definition, version_byte, owner, owner_mode FROM file_info WHERE id = 1");
  if (st && sqlite3_step(st) == SQLITE_ROW) {
    const auto* spec = static_cast<const uint8_t*>(sqlite3_column_blob(st, 0));
    const int specLength = sqlite3_column_bytes(st, 0);
    if (spec && parseFileDefinition(spec, static_cast<uint32_t>(specLength), false, &store->definition) == 0) {
      store->definition.versionByte = static_cast<uint8_t>(sqlite3_column_int(st, 1));
      const auto* owner = static_cast<const uint8_t*>(sqlite3_column_blob(st, 2));
      store->owner.assign(owner, owner + sqlite3_column_bytes(st, 2));
      store->ownerMode = sqlite3_column_int(st, 3);
      status = 0;
    }
  }
  sqlite3_finalize(st);
  if (status != 0) {
    sqlite3_close(store->db);
    store->db = nullptr;
    return status;
  }
  store->systemDataMode = store->definition.systemDataMode();
  store->variableLength = (store->definition.fileFlags & kFileVariableLength) != 0;
  buildPaths(store);
  return 0;
}

void releaseCursor(Store* store) {
  if (store->heldCursor && !store->inherited) sqlite3_reset(store->heldCursor);
  store->heldCursor = nullptr;
  store->heldBy = nullptr;
}

void closeStore(Store* store) {
  if (!store->db) return;
  releaseCursor(store);
  if (!store->inherited) {
    commitBundle(store);
    for (KeyPath& path : store->paths)
      for (sqlite3_stmt*& st : path.statements) {
        sqlite3_finalize(st);
        st = nullptr;
      }
    for (sqlite3_stmt*& st : store->statements) {
      sqlite3_finalize(st);
      st = nullptr;
    }
    sqlite3_close(store->db);
  }
  store->db = nullptr;
}

int createStoreFile(const std::string& path, const FileDefinition& definition) {
  configureSqliteOnce();
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                           nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_close(db);
    return rc == SQLITE_CANTOPEN ? 12 : 25;
  }
  setBusyHandling(db);
  std::string sql =
      "PRAGMA application_id = " + std::to_string(kApplicationId) +
      ";\nPRAGMA user_version = " + std::to_string(kSchemaVersion) +
      ";\nPRAGMA journal_mode = WAL;\n"
      "BEGIN IMMEDIATE;\n"
      "CREATE TABLE file_info (\n"
      "  id INTEGER PRIMARY KEY CHECK (id = 1),\n"
      "  definition BLOB NOT NULL,\n"
      "  version_byte INTEGER NOT NULL,\n"
      "  owner BLOB,\n"
      "  owner_mode INTEGER NOT NULL DEFAULT 0,\n"
      "  misc_data BLOB,\n"
      "  last_sys_data INTEGER NOT NULL DEFAULT 0,\n"
      "  last_seq INTEGER NOT NULL DEFAULT 0);\n"
      "CREATE TABLE records (\n"
      "  position INTEGER PRIMARY KEY AUTOINCREMENT,\n"
      "  data BLOB NOT NULL,\n"
      "  sys_data BLOB,\n"
      "  update_sys_data BLOB);\n"
      "CREATE UNIQUE INDEX records_sys_data ON records(sys_data);\n"
      "CREATE INDEX records_update_sys_data ON records(update_sys_data);\n";
  for (const KeyDefinition& key : definition.keys) {
    const std::string table = "key_" + std::to_string(key.keyNumber);
    sql += "CREATE TABLE " + table +
           " (value BLOB NOT NULL, seq INTEGER NOT NULL, position INTEGER NOT NULL,"
           " PRIMARY KEY (value, seq)) WITHOUT ROWID;\n"
           "CREATE INDEX " + table + "_position ON " + table + "(position);\n";
  }
  rc = execute(db, sql.c_str());
  if (rc == SQLITE_OK) {
    std::vector<uint8_t> spec(fileDefinitionSize(definition, false));
    writeFileDefinition(definition, 0, false, spec.data(), static_cast<uint32_t>(spec.size()));
    sqlite3_stmt* st = prepare(db, "INSERT INTO file_info(id, definition, version_byte) VALUES (1, ?1, ?2)");
    if (!st) {
      rc = SQLITE_ERROR;
    } else {
      sqlite3_bind_blob(st, 1, spec.data(), static_cast<int>(spec.size()), SQLITE_STATIC);
      sqlite3_bind_int(st, 2, definition.versionByte);
      rc = sqlite3_step(st) == SQLITE_DONE ? SQLITE_OK : sqlite3_errcode(db);
      sqlite3_finalize(st);
    }
  }
  if (rc == SQLITE_OK) rc = execute(db, "COMMIT");
  sqlite3_close(db);
  if (rc != SQLITE_OK) {
    os::removePath(path);
    os::removePath(path + "-wal");
    os::removePath(path + "-shm");
    return rc == SQLITE_FULL ? 18 : 25;
  }
  return 0;
}

int checkpointStoreFile(const std::string& path) {
  if (!os::pathExists(path)) return 12;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return 30;
  }
  setBusyHandling(db);
  sqlite3_stmt* st = prepare(db, "PRAGMA application_id");
  int32_t id = 0;
  if (st && sqlite3_step(st) == SQLITE_ROW) id = sqlite3_column_int(st, 0);
  sqlite3_finalize(st);
  int status = id == kApplicationId ? 0 : 30;
  if (status == 0 && execute(db, "PRAGMA wal_checkpoint(TRUNCATE)") != SQLITE_OK) status = 85;
  sqlite3_close(db);
  return status;
}

int beginRead(Store* store) {
  if (store->bundle != Bundle::kNone) return 0;
  const int rc = execute(store->db, "BEGIN");
  if (rc != SQLITE_OK) return statusFromSqlite(rc);
  store->bundle = Bundle::kRead;
  store->bundleStart = std::chrono::steady_clock::now();
  ++store->serial;
  return 0;
}

int beginWrite(Store* store) {
  releaseCursor(store);
  if (store->bundle == Bundle::kWrite) return 0;
  if (store->bundle == Bundle::kRead) {
    const int status = commitBundle(store);
    if (status != 0) return status;
  }
  const int rc = execute(store->db, "BEGIN IMMEDIATE");
  if (rc != SQLITE_OK) return statusFromSqlite(rc);
  store->bundle = Bundle::kWrite;
  store->bundleStart = std::chrono::steady_clock::now();
  ++store->serial;
  const int status = readCounters(store);
  if (status != 0) {
    execute(store->db, "ROLLBACK");
    store->bundle = Bundle::kNone;
  }
  return status;
}

int commitBundle(Store* store) {
  releaseCursor(store);
  if (store->bundle == Bundle::kNone || !store->db) return 0;
  int status = 0;
  if (store->bundle == Bundle::kWrite && store->countersDirty) {
    sqlite3_stmt* st = fileStatement(store, kCountersWrite);
    if (st) {
      sqlite3_bind_int64(st, 1, static_cast<int64_t>(store->lastSysData));
      sqlite3_bind_int64(st, 2, store->lastSeq);
    }
    status = runStatement(st);
    store->countersDirty = false;
  }
  const int rc = execute(store->db, "COMMIT");
  if (rc != SQLITE_OK) {
    status = statusFromSqlite(rc);
    execute(store->db, "ROLLBACK");
  }
  store->bundle = Bundle::kNone;
  ++store->serial;
  return status;
}

void endAgedBundle(Store* store) {
  if (store->bundle == Bundle::kNone || store->inherited) return;
  if (std::chrono::steady_clock::now() - store->bundleStart < bundleLimit) return;
  const bool wrote = store->bundle == Bundle::kWrite;
  commitBundle(store);
  if (wrote) os::pause(kTurnGapMs);
}

}  // namespace vorlan::rm

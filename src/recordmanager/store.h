// One open Btrieve file of the embedded record manager: its SQLite
// connection, its definition, the key paths with their cached statements,
// the write bundle and the record last read. Shared by every position block
// of this process that has the file open.
#pragma once

#include <sqlite3.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "recordmanager/file_definition.h"

namespace vorlan::rm {

// The application_id of every file of this engine ("VRLN").
constexpr int32_t kApplicationId = 0x56524C4E;
// Version of the on-disk schema (PRAGMA user_version).
constexpr int32_t kSchemaVersion = 1;
// Records of variable-length files may grow by chunks up to this size.
constexpr uint32_t kMaxRecordSize = 64u * 1024 * 1024;

// Statements kept per key path.
enum PathStatement {
  kPathFirst,
  kPathLast,
  kPathAfter,    // (value, seq) > (?1, ?2)
  kPathBefore,   // (value, seq) < (?1, ?2)
  kPathEqual,    // value = ?1
  kPathGreater,  // value > ?1
  kPathGreaterOrEqual,
  kPathLess,     // value < ?1
  kPathKeyOf,    // value and seq of the record at position ?1
  kPathExists,   // a record other than position ?2 with value ?1
  kPathInsert,   // (value, seq, position)
  kPathRemove,   // entries of position ?1
  kPathStatementCount
};

// Statements kept per file.
enum FileStatement {
  kRecordInsert,      // data, sys_data, update_sys_data
  kRecordFetch,       // by position
  kRecordUpdate,      // position, data, update_sys_data
  kRecordDelete,
  kStepFirst,
  kStepLast,
  kStepNext,
  kStepPrevious,
  kSysDataExists,
  kRecordCount,
  kCountersRead,
  kCountersWrite,
  kMiscRead,
  kMiscWrite,
  kOwnerWrite,
  kSavepoint,
  kRelease,
  kRollbackTo,
  kFileStatementCount
};

// A key path: one of the file's keys, or a system key (125, 124) kept in
// the records table itself.
struct KeyPath {
  int keyNumber = 0;
  const KeyDefinition* key = nullptr;  // nullptr for a system key
  bool system = false;
  bool unique = true;
  bool modifiable = true;
  uint32_t valueLength = 0;    // bytes of the value in a key buffer
  uint32_t encodedLength = 0;  // bytes of the stored, memcmp-ordered value
  std::string table, valueColumn, seqColumn;
  sqlite3_stmt* statements[kPathStatementCount] = {};
  // Scratch for one record's key: its value as in a key buffer, its stored
  // form, and the stored form before an Update.
  std::vector<uint8_t> value, encoded, previous;
  bool isNull = false, wasNull = false;
};

enum class Bundle { kNone, kRead, kWrite };

// The record last read or written, so that the position, system data and
// re-fetch requests that follow a fetch need no further SQL.
struct RecordCache {
  int64_t position = 0;  // 0: nothing cached
  uint64_t serial = 0;   // bundle in which it was read
  std::vector<uint8_t> data;
  uint64_t sysData = 0, updateSysData = 0;
  bool hasSysData = false, hasUpdateSysData = false;
};

struct Store {
  sqlite3* db = nullptr;
  int lockDescriptor = -1;
  uint64_t device = 0, inode = 0;
  std::string path;
  bool inherited = false;  // carried over by fork(): never touched again

  FileDefinition definition;
  int systemDataMode = 0;
  bool variableLength = false;
  std::vector<KeyPath> paths;  // the file's keys, then 125 and 124
  sqlite3_stmt* statements[kFileStatementCount] = {};

  // Owner name and MiscData block as kept in the file.
  std::vector<uint8_t> owner;
  int ownerMode = 0;

  // Users of this store in this process.
  int handles = 0;
  int exclusiveHandles = 0;

  // The bundle of operations not yet committed.
  Bundle bundle = Bundle::kNone;
  std::chrono::steady_clock::time_point bundleStart;
  uint64_t serial = 1;  // changes whenever a bundle starts or ends
  uint64_t lastSysData = 0;
  int64_t lastSeq = 0;
  bool countersDirty = false;

  RecordCache cache;

  // The read cursor a Get Next/Previous or Step Next/Previous left on its
  // row, so that the same position block's next such call goes on stepping
  // instead of searching again. Released by every write and bundle end.
  sqlite3_stmt* heldCursor = nullptr;
  const void* heldBy = nullptr;  // the position block's handle
  int64_t heldPosition = 0;      // the row it stands on
};

// SQLite result to Btrieve status (2 I/O error, 18 disk full, ...).
int statusFromSqlite(int rc);

// Opens the store of an existing file (the lock descriptor is already open
// and locked by the caller): 0, or 30 when it is no file of this engine.
int openStore(Store* store, const std::string& path);
void closeStore(Store* store);  // commits first

// Builds a new, empty file at `path` with the given definition (any file of
// that name is removed first by the caller). 0 or a Btrieve status.
int createStoreFile(const std::string& path, const FileDefinition& definition);

// Checks that `path` is a file of this engine (0, 12 or 30) and leaves no
// WAL beside it, so that it can be renamed or removed as one file.
int checkpointStoreFile(const std::string& path);

// Resets the held cursor, if any.
void releaseCursor(Store* store);

// Bundles. A read bundle is a deferred transaction, a write bundle an
// immediate one; either is committed when older than the bundle limit at the
// next operation, at Close and Reset, and at process end.
int beginRead(Store* store);
int beginWrite(Store* store);
int commitBundle(Store* store);
void endAgedBundle(Store* store);
void setBundleLimit(std::chrono::milliseconds limit);

// The stores of this process, for the busy handler: a process that waits for
// another ends its own other bundles first, so two processes never wait for
// each other.
void setStoreList(std::vector<Store*> (*list)());

// Runs a statement that returns no rows (reset afterwards).
int runStatement(sqlite3_stmt* statement);

// The cached statement of a file or a key path (prepared on first use).
sqlite3_stmt* fileStatement(Store* store, FileStatement which);
sqlite3_stmt* pathStatement(Store* store, KeyPath* path, PathStatement which);

// Key path by key number (including 125 and 124 when the file keeps them);
// nullptr when the file has no such key.
KeyPath* findPath(Store* store, int keyNumber);

}  // namespace vorlan::rm

// Reading records along key paths and in physical order, keeping the
// position block's currency and the record last read, and handing records
// and key values to the caller within the sizes of its buffers.
#pragma once

#include <cstdint>

#include "recordmanager/open_files.h"
#include "recordmanager/request.h"

namespace vorlan::rm {

// Runs a statement of `path` (bound by this routine: `value` as ?1 when
// given, `seq` as ?2) and, on a row, makes it the handle's current record.
// 0 found, 9 none, or an error status.
int navigate(Handle* handle, KeyPath* path, PathStatement which, const uint8_t* value, int64_t seq);

// Physical order: Step First/Last (from = 0) and Next/Previous.
int stepPhysical(Handle* handle, FileStatement which, int64_t from);

// Loads the record at `position` into the store's record cache (no SQL when
// it is the record just read in this bundle): 0 or 43.
int loadPosition(Store* store, int64_t position);

// Makes sure the current record's stored value on the current path is known
// (after Get Direct, Update, Step): 0, or 8 when the record is not on it.
int ensurePathValue(Handle* handle);

// True when the position block's Get Next (or Previous) on the path goes on
// with the cursor its last one left, so that no key value is needed.
bool continuesOnward(Handle* handle, KeyPath* path, PathStatement which);

// The key value of a record on a user key path into path->value and its
// stored form into path->encoded; sets path->isNull.
void computeRecordKey(Store* store, KeyPath* path, const uint8_t* record, uint32_t length);

// The stored form of the key value a caller gives in a key buffer.
void encodeSearchValue(Store* store, KeyPath* path, const uint8_t* keyValue);

// Copies the cached record into the data buffer: 0, or 22 with as much as
// fits (variable-length files) or nothing (fixed-length files). Sets the
// chunk cursor to the bytes delivered.
int deliverRecord(Handle* handle, const Request& request);

// The current record's value on `path` into the key buffer (the system keys:
// their 8-byte value). Callers check keyBufferFits first.
void deliverKeyValue(Handle* handle, const Request& request, const KeyPath* path);
bool keyBufferFits(const Request& request, const KeyPath* path);

// The next system data value: 100-ns units since 0001-01-01 UTC, above every
// value this file has given.
uint64_t nextSystemValue(Store* store);

void bindBlob(sqlite3_stmt* statement, int index, const uint8_t* bytes, uint32_t length);

}  // namespace vorlan::rm

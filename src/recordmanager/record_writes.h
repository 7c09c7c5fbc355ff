// Insert, Update, Delete and the chunk writes of the current record, each
// one atomic inside the write bundle.
#pragma once

#include <cstdint>

#include "recordmanager/open_files.h"

namespace vorlan::rm {

struct GivenSystemData {
  bool present = false;
  uint64_t sysData = 0, updateSysData = 0;
};

// Inserts a record; `keyNumber` chooses the key path of the new currency
// (a number that names no key leaves only the physical currency). An
// autoincrement key of value 0 gets the highest value + 1, written into the
// caller's record as well.
int insertRecord(Handle* handle, uint8_t* record, uint32_t length, const GivenSystemData& given, int keyNumber);

// Replaces the current record. `refreshUpdateValue`: give key 124 a new
// value (Update does, chunk writes do not).
int updateRecord(Handle* handle, const uint8_t* record, uint32_t length, bool refreshUpdateValue);

// Deletes the current record; the currency stays between its neighbours.
int deleteRecord(Handle* handle);

// The checks of a record length for this file: 0 or 22.
int checkRecordLength(const Store* store, uint32_t length);

}  // namespace vorlan::rm

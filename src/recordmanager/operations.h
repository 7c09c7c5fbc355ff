// The operations of the engine, one routine per family; the entries in
// record_manager.cpp choose among them.
#pragma once

#include "recordmanager/open_files.h"
#include "recordmanager/request.h"

namespace vorlan::rm {

// Operation codes.
enum Operation : uint32_t {
  kOpOpen = 0,
  kOpClose = 1,
  kOpInsert = 2,
  kOpUpdate = 3,
  kOpDelete = 4,
  kOpGetEqual = 5,
  kOpGetNext = 6,
  kOpGetPrevious = 7,
  kOpGetGreater = 8,
  kOpGetGreaterOrEqual = 9,
  kOpGetLess = 10,
  kOpGetLessOrEqual = 11,
  kOpGetFirst = 12,
  kOpGetLast = 13,
  kOpCreate = 14,
  kOpStat = 15,
  kOpGetPosition = 22,
  kOpGetDirect = 23,
  kOpStepNext = 24,
  kOpVersion = 26,
  kOpUnlock = 27,
  kOpReset = 28,
  kOpSetOwner = 29,
  kOpClearOwner = 30,
  kOpStepFirst = 33,
  kOpStepLast = 34,
  kOpStepPrevious = 35,
  kOpGetNextExtended = 36,
  kOpGetPreviousExtended = 37,
  kOpStepNextExtended = 38,
  kOpStepPreviousExtended = 39,
  kOpMiscData = 41,
  kOpKeyBias = 50,  // Get Key: 55 to 63
  kOpInsertWithSystemData = 52,
  kOpUpdateChunk = 53,
  kOpExtendedStatistics = 65,
  kOpDeleteExtended = 85,
};

// Navigation: Get (5-13, key-only with `keyOnly`) and Step (24, 33-35).
int getOperation(Handle* handle, const Request& request, uint32_t operation, bool keyOnly);
int stepOperation(Handle* handle, const Request& request, uint32_t operation);

// Get Position, Get Direct (by position, system keys, chunk reads).
int getPosition(Handle* handle, const Request& request);
int getDirect(Handle* handle, const Request& request);

// Writes.
int insertOperation(Handle* handle, const Request& request);
int insertWithSystemData(Handle* handle, const Request& request);
int updateOperation(Handle* handle, const Request& request);
int deleteOperation(Handle* handle, const Request& request);
int updateChunk(Handle* handle, const Request& request);

// Extended operations (36-39, 85).
int extendedOperation(Handle* handle, const Request& request, uint32_t operation);

// Files.
int openOperation(const Request& request);
int closeOperation(const Request& request);
int resetOperation();
int createOperation(const Request& request);
int statOperation(Handle* handle, const Request& request);
int versionOperation(const Request& request);
int miscDataOperation(Handle* handle, const Request& request);
int setOwner(Handle* handle, const Request& request);
int clearOwner(Handle* handle, const Request& request);
int extendedStatistics(Handle* handle, const Request& request);

// Commits every bundle of this process (Close, Reset, process end).
void flushAllStores();

}  // namespace vorlan::rm

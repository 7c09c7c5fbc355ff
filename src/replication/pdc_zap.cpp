#include "replication/pdc_zap.h"

#include <cstdio>
#include <cstring>

#include "engine/byte_order.h"
#include "engine/file_session.h"
#include "engine/file_stats.h"
#include "engine/operations.h"
#include "engine/whole_record.h"
#include "replication/maintenance_status.h"
#include "replication/pdc_record.h"

namespace vorlan {
namespace {

constexpr int kStatusBufferTooShort = 22, kStatusInvalidKeyNumber = 6;

bool found(int status) { return status == 0 || status == kStatusBufferTooShort; }

// Get Equal on the session into recordBuffer with a whole record buffer, so
// that a record of any length up to it is found with status 0.
int getEqual(FileSession& s, void* key, int16_t keyNumber) {
  s.dataBuffer = recordBuffer;
  s.dataLength = kRecordBufferSize;
  s.keyBuffer = key;
  s.keyNumber = keyNumber;
  s.operation = kOpGetEqual;
  return callEngine(s);
}

// The record's system data value (0 when it has none). False when it could
// not be read.
bool readTrackedValue(uint64_t& value) {
  value = 0;
  if (systemDataMode(1) == 0) return true;
  RecordPosition position = 0;
  int status = readRecordPosition(position);
  if (status != 0) {
    fprintf(stderr, "Error %d occurred reading the record position.\n", status);
    return false;
  }
  SystemData values;
  status = readSystemData(position, false, values);
  if (!found(status)) {
    fprintf(stderr, "Error %d occurred reading the system data value.\n", status);
    return false;
  }
  value = values.sysData;
  return true;
}

}  // namespace

int32_t zapPdcRecord(int32_t keyNumber, int32_t keyValue) {
  printf("Zapping Indicated record...\n");
  // The standard entry carries the key number in one signed byte; a number
  // beyond it would name another key.
  if (keyNumber < -128 || keyNumber > 127) {
    fprintf(stderr, "\nKey Number %d Not Found.\n", keyNumber);
    printf("Unable to locate record, Status %d.\n", kStatusInvalidKeyNumber);
    return 0;
  }
  memset(keyBuffer, 0, sizeof keyBuffer);
  writeLe32(keyBuffer, static_cast<uint32_t>(keyValue));
  int status = getEqual(sessionTable[1], keyBuffer, static_cast<int16_t>(keyNumber));
  if (!found(status)) {
    printf("Unable to locate record, Status %d.\n", status);
    return 0;
  }

  uint64_t tracked = 0;
  if (!readTrackedValue(tracked)) return kMaintenanceIncomplete;
  if (tracked == 0) return 0;

  FileSession& pdc = sessionTable[2];
  unsigned char pdcKey[kKeyBufferSize] = {};
  writeLe64(pdcKey, tracked);
  status = getEqual(pdc, pdcKey, kPdcTrackedKey);
  if (!found(status)) {
    pdc.keyBuffer = nullptr;
    printf("Unable to locate PDC record, Status %d.\n", status);
    return 0;
  }
  pdc.operation = kOpDelete;
  status = callEngine(pdc);
  pdc.keyBuffer = nullptr;  // the key lives no longer than this call
  if (status != 0) {
    printf("Unable to delete PDC record, Status %d.\n", status);
    return kMaintenanceIncomplete;
  }
  printf("PDC Record for System Key %lld has been zapped.\n",
         static_cast<long long>(static_cast<int64_t>(tracked)));
  return 0;
}

}  // namespace vorlan

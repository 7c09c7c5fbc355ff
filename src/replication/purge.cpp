#include "replication/purge.h"

#include <cstdio>
#include <cstdlib>

#include "engine/byte_order.h"
#include "engine/file_session.h"
#include "engine/file_stats.h"
#include "engine/operations.h"
#include "engine/run_options.h"
#include "engine/whole_record.h"
#include "replication/maintenance_status.h"
#include "replication/pdc_record.h"
#include "replication/purge_cutoff.h"
#include "replication/purge_descriptor.h"
#include "shell/progress.h"

namespace vorlan {
namespace {

constexpr int kStatusEndOfFile = 9, kStatusRejectCount = 60, kStatusInvalidDescriptor = 62,
              kStatusFilterLimit = 64;

FileSession& slot1() { return sessionTable[1]; }

// Slot 1 on the shared buffers and the purge key, ready for the operation.
void prepare(uint16_t operation) {
  FileSession& s = slot1();
  s.dataBuffer = recordBuffer;
  s.dataLength = kRecordBufferSize;
  s.keyBuffer = keyBuffer;
  s.keyNumber = kPdcPurgeKey;
  s.operation = operation;
}

// Whether the record's bytes show an obituary this purge removes. A record
// too short to hold both fields is never one.
bool isPurgeable(const unsigned char* record, uint32_t length, PurgeMode mode,
                 ReplicationTimestamp cutoff) {
  if (length < kPdcFieldsEnd || record[kRecordStateOffset] != kObituaryState) return false;
  return mode == PurgeMode::All || readLe64(record + kLastUpdatedOffset) < cutoff;
}

void printPurged(uint64_t count) {
  printf("Purged Record Count: %llu\n", static_cast<unsigned long long>(count));
}

[[noreturn]] void endWithDescriptorDump() {
  fputs("Status 62 - Invalid Descriptor:\n", stderr);
  for (int line = 0; line < 4; ++line) {
    for (int i = 0; i < 16; ++i) fprintf(stderr, "%.2X ", recordBuffer[line * 16 + i]);
    fputs("\n", stderr);
  }
  fflush(stdout);
  fflush(stderr);
  std::exit(1);
}

int deleteCurrent() {
  prepare(kOpDelete);
  return callEngine(slot1());
}

// The answer of Get Next Extended: record count, then the record's length,
// its position (8 bytes through the wide entry, else 4) and the extracted
// first 48 bytes. Checks that it carries an obituary this purge removes
// before the current record is deleted on its word.
bool answerHoldsPurgeable(PurgeMode mode, ReplicationTimestamp cutoff) {
  const uint32_t positionWidth = engineExAvailable == 1 ? 8 : 4;
  const uint32_t recordAt = 4 + positionWidth;
  const uint32_t answered = slot1().dataLength;
  if (answered < recordAt || readLe16(recordBuffer) == 0) return false;
  uint32_t extracted = readLe16(recordBuffer + 2);
  if (extracted > answered - recordAt) extracted = answered - recordAt;
  return isPurgeable(recordBuffer + recordAt, extracted, mode, cutoff);
}

void traceFound() {
  if (runOptions.verbosity == 0) return;
  if (engineExAvailable == 1)
    fprintf(stderr, "Found record to delete at Position %.16llX\n",
            static_cast<unsigned long long>(readLe64(recordBuffer + 4)));
  else
    fprintf(stderr, "Found record to delete at Position %.8X\n", readLe32(recordBuffer + 4));
}

}  // namespace

int32_t purgeObituaries(PurgeMode mode) {
  return purgeObituariesBefore(mode, mode == PurgeMode::Aged ? obituaryCutoff() : 0);
}

int32_t purgeObituariesBefore(PurgeMode mode, ReplicationTimestamp cutoff) {
  loadFileStats(1);
  printf("Processing %llu records...\n", static_cast<unsigned long long>(loadedRecordCount()));
  if (mode == PurgeMode::Aged && runOptions.verbosity != 0) {
    char text[kTimestampTextSize];
    fprintf(stderr, "Cutoff TimeStamp is %s\n", formatTimestamp(cutoff, text, sizeof text));
  }

  FileSession& s = slot1();
  prepare(kOpGetFirst);
  int status = callEngine(s);
  if (status != 0) {
    printPurged(0);
    return status == kStatusEndOfFile ? 0 : kMaintenanceIncomplete;
  }
  uint64_t purged = 0;
  if (isPurgeable(recordBuffer, s.dataLength, mode, cutoff)) {
    int deleted = deleteCurrent();
    if (deleted != 0) {
      fprintf(stderr, "Error %d occurred deleting the obituary.\n", deleted);
      printPurged(0);
      return kMaintenanceIncomplete;
    }
    purged = 1;
  }

  const bool deleteExtended = deleteExtendedAvailable == 1;
  for (;;) {
    writePurgeDescriptor(recordBuffer, mode, deleteExtended, cutoff);
    prepare(deleteExtended ? kOpDeleteExtended : kOpGetNextExtended);
    status = engineExAvailable == 1 ? callEngineEx(s) : callEngine(s);
    if (status == kStatusInvalidDescriptor) endWithDescriptorDump();

    int deciding = status;
    bool deleteFailed = false;
    if (deleteExtended) {
      uint16_t count = 0;
      if (s.dataLength >= 2 && (status == 0 || status == kStatusEndOfFile ||
                                status == kStatusRejectCount || status == kStatusFilterLimit)) {
        count = readLe16(recordBuffer);
        purged += count;
        if (runOptions.verbosity != 0)
          fprintf(stderr, "Deleted %d records in a DeleteExtended call.\n", count);
      }
      // Status 0 says the call deleted its whole batch; one that deleted
      // nothing would be asked again and again.
      if (status == 0 && count == 0) {
        fputs("DeleteExtended answered without deleting a record; the purge stops.\n", stderr);
        printPurged(purged);
        return kMaintenanceIncomplete;
      }
    } else if (status == 0) {
      if (!answerHoldsPurgeable(mode, cutoff)) {
        fputs("The engine answered with a record that is not an obituary to purge; it was not "
              "deleted.\n",
              stderr);
        printPurged(purged);
        return kMaintenanceIncomplete;
      }
      traceFound();
      deciding = deleteCurrent();
      if (deciding != 0) {
        fprintf(stderr, "Error %d occurred deleting the record.\n", deciding);
        deleteFailed = true;
      } else {
        ++purged;
      }
    }
    if (deciding == kStatusRejectCount) deciding = 0;

    spinnerStep();
    if (userRequestedStop()) {
      reportUserStop();
      return 1;
    }
    if (deciding != 0) {
      printPurged(purged);
      bool finished = !deleteFailed && (deciding == kStatusEndOfFile || deciding == kStatusFilterLimit);
      return finished ? 0 : kMaintenanceIncomplete;
    }
  }
}

}  // namespace vorlan

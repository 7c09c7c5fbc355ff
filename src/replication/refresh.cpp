#include "replication/refresh.h"

#include <cstdio>

#include "engine/byte_order.h"
#include "engine/file_session.h"
#include "engine/file_stats.h"
#include "engine/operations.h"
#include "engine/run_options.h"
#include "engine/whole_record.h"
#include "replication/maintenance_status.h"
#include "replication/pdc_record.h"
#include "replication/timestamp.h"
#include "shell/progress.h"

namespace vorlan {
namespace {

constexpr int kStatusEndOfFile = 9, kStatusBufferTooShort = 22;

FileSession& slot1() { return sessionTable[1]; }

void prepare(uint16_t operation, uint16_t dataLength) {
  FileSession& s = slot1();
  s.dataBuffer = recordBuffer;
  s.dataLength = dataLength;
  s.keyBuffer = keyBuffer;
  s.keyNumber = 0;
  s.operation = operation;
}

int step(uint16_t operation) {
  prepare(operation, kRecordBufferSize);
  return callEngine(slot1());
}

// A record longer than the record buffer arrives cut to its first bytes; an
// Update with them would cut the record in the file, so it is left as it is.
void reportLongRecord(uint64_t number) {
  RecordPosition position = 0;
  if (readRecordPosition(position) != 0)
    fprintf(stderr,
            "Record %llu of the scan (position unknown) is longer than %u bytes and was not "
            "rewritten.\n",
            static_cast<unsigned long long>(number), unsigned{kRecordBufferSize});
  else if (usesWideEntry())
    fprintf(stderr, "The record at position %.16llX is longer than %u bytes and was not rewritten.\n",
            static_cast<unsigned long long>(position), unsigned{kRecordBufferSize});
  else
    fprintf(stderr, "The record at position %.8X is longer than %u bytes and was not rewritten.\n",
            static_cast<unsigned>(position), unsigned{kRecordBufferSize});
}

// Rewrites the record just stepped to, restamped first when it is a PDC
// record waiting for replication. True when the engine took it.
bool rewrite(RefreshMode mode, ReplicationTimestamp stamp) {
  const uint16_t length = slot1().dataLength;
  if (mode == RefreshMode::Force && length >= kPdcFieldsEnd &&
      recordBuffer[kRecordStateOffset] == kRestampState)
    writeLe64(recordBuffer + kLastUpdatedOffset, stamp);
  prepare(kOpUpdate, length);
  int status = callEngine(slot1());
  if (status == 0) return true;
  fprintf(stderr, "Error %d occurred updating the record.\n", status);
  return false;
}

}  // namespace

int32_t refreshRecords(RefreshMode mode) {
  loadFileStats(1);
  const uint64_t total = loadedRecordCount();
  printf("Processing %llu records...\n", static_cast<unsigned long long>(total));
  ProgressMeter meter;
  startProgress(meter, total);

  ReplicationTimestamp stamp = 0;
  if (mode == RefreshMode::Force) {
    stamp = currentTimestamp();
    if (runOptions.verbosity != 0) {
      char text[kTimestampTextSize];
      fprintf(stderr, "Setting LastUpdated to %s\n", formatTimestamp(stamp, text, sizeof text));
    }
  }

  uint64_t scanned = 0, changed = 0;
  bool incomplete = false;
  int status = step(kOpStepFirst);
  for (; status == 0 || status == kStatusBufferTooShort; status = step(kOpStepNext)) {
    if (status == kStatusBufferTooShort) {
      reportLongRecord(scanned + 1);
      incomplete = true;
    } else if (rewrite(mode, stamp)) {
      ++changed;
    } else {
      incomplete = true;
    }
    if (userRequestedStop()) {
      reportUserStop();
      return 1;
    }
    ++scanned;
    if (scanned % 100 == 0) spinnerStep();
    progressTick(meter, scanned);
  }
  // Anything but the end of the file stopped the scan early (the engine
  // has reported it).
  if (status != kStatusEndOfFile) incomplete = true;

  printf("Scanned Record Count: %llu\n", static_cast<unsigned long long>(scanned));
  printf("Changed Record Count: %llu\n", static_cast<unsigned long long>(changed));
  return incomplete ? kMaintenanceIncomplete : 0;
}

}  // namespace vorlan

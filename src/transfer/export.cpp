#include "transfer/export.h"

#include <cstdio>

#include "engine/byte_order.h"
#include "engine/file_session.h"
#include "engine/file_stats.h"
#include "engine/operations.h"
#include "engine/whole_record.h"
#include "shell/progress.h"
#include "transfer/transfer_status.h"
#include "transfer/unf_file.h"

namespace vorlan {
namespace {


bool toUnf(void* context, const RecordPiece& p) {
  return writeUnfPiece(*static_cast<UnfFile*>(context), p.bytes, p.length, p.first, p.last,
                       p.systemData.sysData, p.systemData.updateSysData);
}

int fetch(uint16_t operation, int keyPath) {
  FileSession& s = sessionTable[1];
  s.dataBuffer = recordBuffer;
  s.dataLength = kRecordBufferSize;
  s.keyBuffer = keyBuffer;
  s.keyNumber = static_cast<int16_t>(keyPath);
  s.operation = operation;
  return callEngine(s);
}

// Exports the record just fetched, the `number`th of the pass. False when
// the UNF file could not take it; a record that could not be read whole is
// closed in the file and reported, and `incomplete` is set.
bool exportFetched(int status, int keyPath, const SystemData* given, uint64_t number,
                   bool& incomplete) {
  RecordPosition position = 0;
  WholeRecordResult result =
      readWholeRecord(status, keyPath, given, toUnf, &unfFile, &position);
  if (result == WholeRecordResult::ConsumerStopped) {
    reportUnfWriteFailure(unfFile);
    return false;
  }
  if (result == WholeRecordResult::Unfinished) {
    incomplete = true;
    if (!abandonUnfEntry(unfFile)) {
      reportUnfWriteFailure(unfFile);
      return false;
    }
    if (position == 0)
      fprintf(stderr, "Record %llu of the export (position unknown) was exported incomplete.\n",
              static_cast<unsigned long long>(number));
    else if (usesWideEntry())
      fprintf(stderr, "The record at position %.16llX was exported incomplete.\n",
              static_cast<unsigned long long>(position));
    else
      fprintf(stderr, "The record at position %.8X was exported incomplete.\n",
              static_cast<unsigned>(position));
  }
  return true;
}

// Before a pass reports what it wrote: is it in the file?
bool written() {
  if (flushUnfFile(unfFile)) return true;
  reportUnfWriteFailure(unfFile);
  return false;
}

}  // namespace

int32_t exportRecords(int32_t keyNumber, int direction) {
  loadFileStats(1);
  uint64_t total = loadedRecordCount();
  printf("Processing %llu records%s...\n", static_cast<unsigned long long>(total),
         direction == 1 ? " in reverse" : "");
  ProgressMeter meter;
  startProgress(meter, total);

  bool physical = keyNumber == -1;
  int keyPath = physical ? 0 : keyNumber;
  bool backward = direction == 1;
  uint16_t first = physical ? (backward ? kOpStepLast : kOpStepFirst)
                            : (backward ? kOpGetLast : kOpGetFirst);
  uint16_t next = physical ? (backward ? kOpStepPrevious : kOpStepNext)
                           : (backward ? kOpGetPrevious : kOpGetNext);

  uint64_t count = 0;
  bool incomplete = false;
  for (int status = fetch(first, keyPath); status == 0 || status == 22;
       status = fetch(next, keyPath)) {
    if (!exportFetched(status, keyPath, nullptr, count + 1, incomplete)) return kTransferIncomplete;
    if (userRequestedStop()) {
      reportUserStop();
      return 1;
    }
    ++count;
    if (count % 200 == 0) spinnerStep();
    progressTick(meter, count);
  }
  if (!written()) return kTransferIncomplete;
  printf("Processed %llu records.\n", static_cast<unsigned long long>(count));
  return incomplete ? kTransferIncomplete : 0;
}

int32_t exportOneRecord(uint64_t value) {
  writeLe64(keyBuffer, value);
  int status = fetch(kOpGetEqual, kSystemDataKey);
  if (status != 0 && status != 22) {
    printf("Unable to find requested record.\n");
    return 0;
  }
  SystemData given{value, 0};
  bool incomplete = false;
  if (!exportFetched(status, kSystemDataKey, &given, 1, incomplete) || !written())
    return kTransferIncomplete;
  printf("Exported 1 record.\n");
  return incomplete ? kTransferIncomplete : 0;
}

}  // namespace vorlan

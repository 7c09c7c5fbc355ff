#include "transfer/copy.h"

#include <cstdio>
#include <memory>

#include "engine/file_session.h"
#include "engine/file_stats.h"
#include "engine/operations.h"
#include "engine/run_options.h"
#include "engine/whole_record.h"
#include "shell/progress.h"
#include "transfer/record_insert.h"

namespace vorlan {
namespace {


unsigned long long ull(uint64_t v) { return static_cast<unsigned long long>(v); }

int step(uint16_t operation) {
  FileSession& s = sessionTable[1];
  s.dataBuffer = recordBuffer;
  s.dataLength = kRecordBufferSize;
  s.keyBuffer = keyBuffer;
  s.keyNumber = 0;
  s.operation = operation;
  return callEngine(s);
}

void backOnRecordBuffer(uint16_t length) {
  FileSession& s = sessionTable[1];
  s.dataBuffer = recordBuffer;
  s.dataLength = length;
  s.keyBuffer = keyBuffer;
  s.keyNumber = 0;
}

struct CopyCounts {
  uint64_t read = 0, inserted = 0, updated = 0;
};

// Appends the chunks that follow the first `length` bytes of the record at
// the position to the record just inserted into slot 2. False when a chunk
// could not be written.
bool copyChunks(InsertWorkspace& w, RecordPosition position, uint32_t length) {
  FileSession& target = sessionTable[2];
  for (uint32_t offset = length;;) {
    int c = readNextChunk(position, offset);
    uint16_t n = sessionTable[1].dataLength;
    if (c != 0 && c != 103)
      fprintf(stderr, "Error %d occurred reading the next chunk at offset %u.\n", c,
              static_cast<unsigned>(offset));
    // A failed read other than a short buffer carries no bytes of the record.
    if ((c != 0 && c != 22) || n == 0) return true;
    if (n > kRecordBufferSize) n = kRecordBufferSize;
    int status = appendChunk(target, w, recordBuffer, n);
    if (status != 0) {
      fprintf(stderr, "Status %d when writing chunk.\n", status);
      return false;
    }
    offset += n;
  }
}

// Writes the record just read (length bytes in recordBuffer) into slot 2.
void copyRecord(InsertWorkspace& w, CopyCounts& counts, uint16_t length, bool positionKnown,
                RecordPosition position, const SystemData& values, bool longRecord) {
  FileSession& target = sessionTable[2];
  bool replacing = values.sysData != 0 && runOptions.updateExisting != 0 &&
                   removeForReplacement(target, w, values.sysData);
  int status = insertRecord(target, w, recordBuffer, length, values);
  if (status == 5 || status == 146) reportDuplicate(target, w, counts.read, recordBuffer, kRecordBufferSize);
  if (status != 0) {
    fprintf(stderr, "Status %d Returned on INSERT operation.\n", status);
    if (replacing) undoReplacement(target, w, false);
    return;
  }
  if (positionKnown) {
    if (!copyChunks(w, position, length) && replacing) {
      undoReplacement(target, w, true);
      return;
    }
  } else if (longRecord) {
    fputs("The record could not be copied whole: its position is unknown.\n", stderr);
  }
  ++counts.inserted;
  if (replacing) ++counts.updated;
}

}  // namespace

int32_t copyRecords(int direction) {
  auto w = std::make_unique<InsertWorkspace>();
  // The target's mode is read first, so that slot 1's statistics stay loaded
  // for the loop.
  w->keepsUpdateValue = runOptions.updateExisting != 0 && systemDataMode(2) == 2;
  loadFileStats(1);
  uint64_t total = loadedRecordCount();
  bool backward = direction == 1;
  printf("Processing %llu records%s...\n", ull(total), backward ? " in reverse" : "");
  ProgressMeter meter;
  startProgress(meter, total);

  CopyCounts counts;
  for (int status = step(backward ? kOpStepLast : kOpStepFirst); status == 0 || status == 22;
       status = step(backward ? kOpStepPrevious : kOpStepNext)) {
    uint16_t length = sessionTable[1].dataLength;
    bool longRecord = status == 22;
    SystemData values;
    RecordPosition position = 0;
    bool positionKnown = true;
    bool readable = true;
    int positionStatus = readRecordPosition(position);
    if (positionStatus != 0) {
      fprintf(stderr, "Error %d occurred reading the record position.\n", positionStatus);
      positionKnown = false;
      backOnRecordBuffer(length);
    } else if (systemDataMode(1) == 0) {
      backOnRecordBuffer(length);
    } else {
      int systemStatus = readSystemData(position, true, values);
      if (systemStatus != 0 && systemStatus != 22)
        fprintf(stderr, "Error %d occurred reading the system data value.\n", systemStatus);
      int refetchStatus = refetchRecord(position, 0);
      if (refetchStatus != 0 && refetchStatus != 22) {
        // The system-data request has overwritten the start of the buffer:
        // copying it now would write wrong bytes.
        fprintf(stderr, "Error %d occurred reading the original record.\n", refetchStatus);
        readable = false;
      }
    }
    if (length != 0 && readable) {
      ++counts.read;
      copyRecord(*w, counts, length, positionKnown, position, values, longRecord);
    }
    backOnRecordBuffer(kRecordBufferSize);
    if (userRequestedStop()) {
      reportUserStop();
      return 1;
    }
    if (counts.read % 200 == 0) spinnerStep();
    progressTick(meter, counts.read);
  }
  printf("Read %llu records.\n", ull(counts.read));
  printf("Inserted %llu records.\n", ull(counts.inserted));
  if (counts.updated != 0) printf("Updated %llu records.\n", ull(counts.updated));
  return 0;
}

}  // namespace vorlan

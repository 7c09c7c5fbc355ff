#include "transfer/import.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "engine/file_session.h"
#include "engine/file_stats.h"
#include "engine/operations.h"
#include "engine/run_options.h"
#include "engine/whole_record.h"
#include "shell/progress.h"
#include "transfer/record_insert.h"
#include "transfer/transfer_status.h"
#include "transfer/unf_file.h"

namespace vorlan {
namespace {


bool isDuplicate(int status) { return status == 5 || status == 146; }

unsigned long long ull(uint64_t v) { return static_cast<unsigned long long>(v); }

struct ImportCounts {
  uint64_t valid = 0, inserted = 0, updated = 0;
};

// One entry of -LOAD into slot 1.
void loadEntry(InsertWorkspace& w, ImportCounts& counts, const unsigned char* bytes,
               uint32_t length, const SystemData& values) {
  FileSession& s = sessionTable[1];
  bool replacing = values.sysData != 0 && runOptions.updateExisting != 0 &&
                   removeForReplacement(s, w, values.sysData);
  uint16_t first = length < kRecordBufferSize ? static_cast<uint16_t>(length) : kRecordBufferSize;
  int status = insertRecord(s, w, bytes, first, values);
  if (isDuplicate(status)) reportDuplicate(s, w, counts.valid, bytes, length);
  if (status != 0) {
    fprintf(stderr, "Status %d Returned.\n", status);
    if (replacing) undoReplacement(s, w, false);
    return;
  }
  for (uint32_t offset = first; offset < length;) {
    uint32_t rest = length - offset;
    uint16_t n = rest < kRecordBufferSize ? static_cast<uint16_t>(rest) : kRecordBufferSize;
    status = appendChunk(s, w, bytes + offset, n);
    if (status != 0) {
      fprintf(stderr, "Status %d when inserting chunk.\n", status);
      if (replacing) {
        undoReplacement(s, w, true);
        return;
      }
      break;
    }
    offset += n;
  }
  ++counts.inserted;
  if (replacing) ++counts.updated;
}

// The start of every turn of an import loop: the Escape test, then the
// spinner (also before the first entry).
bool stoppedBeforeEntry(const ImportCounts& counts) {
  if (userRequestedStop()) {
    reportUserStop();
    return true;
  }
  if (counts.valid % 200 == 0) spinnerStep();
  return false;
}

}  // namespace

int32_t importRecords() {
  auto w = std::make_unique<InsertWorkspace>();
  w->keepsUpdateValue = systemDataMode(1) == 2;
  UnfEntryBuffer entry;
  ImportCounts counts;
  int read = kUnfEnd;
  for (;;) {
    if (stoppedBeforeEntry(counts)) return 1;
    int32_t length = 0;
    SystemData values;
    read = readUnfRecord(unfFile, entry, length, values.sysData, values.updateSysData);
    if (read != kUnfEntry) break;
    if (length <= 0) {
      fputs("Skipping 0-byte record.\n", stderr);
      continue;
    }
    ++counts.valid;
    loadEntry(*w, counts, entry.bytes, static_cast<uint32_t>(length), values);
  }
  printf("Read %llu valid records.\n", ull(counts.valid));
  printf("Inserted %llu records.\n", ull(counts.inserted - counts.updated));
  if (counts.updated != 0) printf("Updated %llu records.\n", ull(counts.updated));
  return read == kUnfMalformed ? kTransferIncomplete : 0;
}

int32_t importRecordsOld() {
  auto w = std::make_unique<InsertWorkspace>();
  FileSession& s = sessionTable[1];
  ImportCounts counts;
  int read = kUnfEnd;
  for (;;) {
    if (stoppedBeforeEntry(counts)) return 1;
    memset(recordBuffer, 0, kRecordBufferSize);
    int32_t length = 0;
    SystemData values;
    read = readUnfRecordOld(unfFile, recordBuffer, length, values.sysData, values.updateSysData);
    if (read == kUnfSkipped) continue;
    if (read != kUnfEntry) break;
    if (length <= 0) {
      fputs("Skipping 0-byte record.\n", stderr);
      continue;
    }
    ++counts.valid;
    uint16_t n = static_cast<uint16_t>(length);
    bool updating = values.sysData != 0 && runOptions.updateExisting != 0 &&
                    lookupFound(lookupBySystemData(s, values.sysData));
    int status;
    if (updating) {
      // In place, with the entry's bytes; the key number stays 125.
      s.dataBuffer = recordBuffer;
      s.dataLength = n;
      s.operation = kOpUpdate;
      status = callEngine(s);
    } else {
      status = insertRecord(s, *w, recordBuffer, n, values);
    }
    if (isDuplicate(status)) reportDuplicate(s, *w, counts.valid, recordBuffer, n);
    if (status == 0)
      ++(updating ? counts.updated : counts.inserted);
    else
      fprintf(stderr, "Status %d Returned.\n", status);
  }
  printf("Inserted %llu records.\n", ull(counts.inserted));
  if (counts.updated != 0) printf("Updated %llu records.\n", ull(counts.updated));
  return read == kUnfMalformed ? kTransferIncomplete : 0;
}

}  // namespace vorlan

#include "engine/file_stats.h"

#include <cstring>

#include "engine/byte_order.h"
#include "engine/file_session.h"
#include "engine/operations.h"

namespace vorlan {

unsigned char fileStats[kFileStatsSize];
int32_t fileStatsSlot = 0;
unsigned char extendedFileStats[kExtendedFileStatsSize];
int32_t extendedFileStatsSlot = 0;

namespace {
constexpr uint32_t kStandardCountOffset = 6, kWideCountOffset = 8, kFlagsOffset = 10;
}  // namespace

void loadFileStats(int slot) {
  FileSession& s = sessionTable[slot];
  unsigned char key[256] = {};
  s.dataBuffer = fileStats;
  s.dataLength = kFileStatsSize;
  s.keyNumber = -1;
  s.keyBuffer = key;
  s.operation = kOpStat;
  int status = callEngine(s);
  if (status == 0 || status == 22) fileStatsSlot = slot;
  if (engineExAvailable == 1) {
    s.dataBuffer = extendedFileStats;
    s.dataLength = kExtendedFileStatsSize;
    s.keyNumber = -1;
    s.operation = kOpStat;
    status = callEngineEx(s);
    if (status == 0 || status == 22) extendedFileStatsSlot = slot;
  }
  s.keyBuffer = nullptr;  // the temporary key buffer ends here
}

int systemDataMode(int slot) {
  if (fileStatsSlot != slot) loadFileStats(slot);
  uint16_t flags = readLe16(fileStats + kFlagsOffset);
  if (flags & 0x4000) return 2;
  if ((flags & 0x1200) == 0x0200) return 1;
  return 0;
}

uint64_t loadedRecordCount() {
  if (extendedFileStatsSlot == 1) return readLe64(extendedFileStats + kWideCountOffset);
  return static_cast<uint64_t>(
      static_cast<int64_t>(static_cast<int32_t>(readLe32(fileStats + kStandardCountOffset))));
}

void resetFileStatsForTesting() {
  memset(fileStats, 0, sizeof fileStats);
  memset(extendedFileStats, 0, sizeof extendedFileStats);
  fileStatsSlot = 0;
  extendedFileStatsSlot = 0;
}

}  // namespace vorlan

// The shared statistics buffers of one slot and what is derived from them.
#pragma once

#include <cstdint>

namespace vorlan {

constexpr uint32_t kFileStatsSize = 33236;
constexpr uint32_t kExtendedFileStatsSize = 36612;

extern unsigned char fileStats[kFileStatsSize];
extern int32_t fileStatsSlot;
extern unsigned char extendedFileStats[kExtendedFileStatsSize];
extern int32_t extendedFileStatsSlot;

// Stat of the slot into fileStats and, when the wide entry is available,
// into extendedFileStats.
void loadFileStats(int slot);

// 0 no system data, 1 system data, 2 system data with the update value.
int systemDataMode(int slot);

// The record count of slot 1 after loadFileStats(1): the 64-bit count of the
// wide statistics when they are slot 1's, else the standard count widened.
uint64_t loadedRecordCount();

void resetFileStatsForTesting();

}  // namespace vorlan

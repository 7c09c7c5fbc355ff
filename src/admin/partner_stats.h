// Comparing each matching file's statistics with its copy in a partner
// folder.
#pragma once

#include <cstdint>

namespace vorlan {

// Returns the number of files that do not match.
int32_t checkPartnerStats(const char* fileSpec, const char* partnerFolder);

// What is gathered from one file; a field stays 0 when the call that
// supplies it fails.
struct StatsSnapshot {
  uint16_t recordLength = 0;
  uint8_t indexCount = 0;
  uint8_t versionByte = 0;
  uint32_t recordCount = 0;
  uint8_t hasSystemData = 0;
  uint16_t systemDataLength = 0;
  uint16_t systemDataVersion = 0;
};

// Prints the difference lines of one file on standard output and returns 1
// when the file counts as non-matching (missing at the partner, different
// in anything, or without system data on both sides), else 0.
int judgePartnerFile(const char* name, const StatsSnapshot& primary, const StatsSnapshot& partner);

}  // namespace vorlan

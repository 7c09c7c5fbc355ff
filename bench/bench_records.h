// Records of the benchmark files, made the same way by both sides of a
// comparison: 100 bytes, pseudo-random, the record number as a 4-byte
// little-endian integer at offset 0 (key 0), bytes 4-23 the duplicate-
// allowing string key 1. Also the sizes of the per-operation runs, so that
// the record manager and plain SQLite do exactly the same number of calls.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstring>

#include "generator.h"

namespace vorlan::bench {

constexpr uint32_t kRecordLength = 100;
constexpr uint32_t kKey1Offset = 4;
constexpr uint32_t kKey1Length = 20;
constexpr uint64_t kRowsPerTransaction = 10000;

// Per-operation run sizes.
constexpr uint64_t kInsertOps = 100000;
constexpr uint64_t kLookupOps = 200000;
constexpr uint64_t kLookupSeed = 7;

// System data values given by the op 52 run: above any value a clock
// gives before the year 3000, so they never meet an existing one.
constexpr uint64_t kGivenSysDataBase = 0x0A00000000000000ull;

using btfile::Generator;

inline void makeRecord(Generator& random, uint32_t number, uint8_t* out) {
  for (uint32_t i = 0; i < kRecordLength; i += 8) {
    const uint64_t r = random.next();
    for (uint32_t j = 0; j < 8 && i + j < kRecordLength; ++j) out[i + j] = static_cast<uint8_t>(r >> (8 * j));
  }
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(number >> (8 * i));
}

inline uint32_t recordNumber(const uint8_t* record) {
  return static_cast<uint32_t>(record[0]) | static_cast<uint32_t>(record[1]) << 8 |
         static_cast<uint32_t>(record[2]) << 16 | static_cast<uint32_t>(record[3]) << 24;
}

using Clock = std::chrono::steady_clock;

inline double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace vorlan::bench

// The embedded Btrieve-compatible record manager: its two client entries.
// Every operation of the Btrieve call interface that this engine supports goes
// through one of them, exactly as through BTRCALL and BTRVEX.
#pragma once

#include <cstdint>

namespace vorlan::rm {

// Standard entry: 4-byte positions, 32-bit record counts in Stat.
int16_t standardEntry(uint16_t operation, void* positionBlock,
                      void* dataBuffer, uint32_t* dataLength, void* keyBuffer,
                      uint8_t keyLength, int8_t keyNumber);

// Wide entry: 8-byte positions, 64-bit counts, the wide Stat/Create layout.
int32_t wideEntry(uint32_t operation, void* positionBlock, void* dataBuffer,
                  uint32_t* dataLength, void* keyBuffer, uint32_t keyLength,
                  int32_t keyNumber);

}  // namespace vorlan::rm

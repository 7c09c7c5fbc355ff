// The seam between the utility and a Btrieve engine: the engine's two client
// entries. Implemented by the embedded record manager, by a client library
// loaded at run time, and by test engines.
#pragma once

#include <cstdint>

namespace vorlan {

class EngineInterface {
 public:
  virtual ~EngineInterface() = default;

  // The standard entry (BTRCALL): 16-bit status, signed 8-bit key number.
  virtual int16_t standardCall(uint16_t operation, void* positionBlock,
                               void* dataBuffer, uint32_t* dataLength,
                               void* keyBuffer, uint8_t keyLength,
                               int8_t keyNumber) = 0;

  // The wide entry (BTRVEX): 32-bit status and key number, 8-byte positions,
  // 64-bit counts.
  virtual int32_t wideCall(uint32_t operation, void* positionBlock,
                           void* dataBuffer, uint32_t* dataLength,
                           void* keyBuffer, uint32_t keyLength,
                           int32_t keyNumber) = 0;
};

// The engine of this process, chosen once by VORLAN_ENGINE: unset or
// "embedded" is the built-in record manager, anything else the path or name
// of a client library exporting BTRCALL (and BTRVEX). Returns nullptr when
// that library cannot be loaded or lacks the standard entry.
EngineInterface* activeEngine();

// Replaces the engine of this process (tests); nullptr goes back to the
// choice by VORLAN_ENGINE.
void setEngineForTesting(EngineInterface* engine);

}  // namespace vorlan

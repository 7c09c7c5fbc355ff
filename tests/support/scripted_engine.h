// A test double for the engine seam: answers chosen statuses, lengths and
// bytes per call and records the calls it received.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/engine_interface.h"

namespace vorlan::testing {

struct EngineCall {
  bool wide = false;
  uint32_t operation = 0;
  uint32_t dataLength = 0;  // as offered
  int32_t keyNumber = 0;
  std::string data;  // the first bytes offered (at most 512)
  std::string key;   // the key buffer up to its first zero byte (at most 255)
};

struct ScriptedAnswer {
  int32_t status = 0;
  int64_t dataLength = -1;  // returned length; -1 leaves the offered one
  std::string data;         // copied to the start of the data buffer
  std::string key;          // copied to the start of the key buffer
};

class ScriptedEngine : public EngineInterface {
 public:
  ScriptedEngine();   // installs itself as the process's engine
  ~ScriptedEngine() override;

  // Answers the next `times` calls of the operation (-1: any operation; a
  // negative `times`: every such call). Earlier rules take precedence.
  void on(int operation, ScriptedAnswer answer, int times = -1);
  // The same, for calls with this key number only.
  void onKey(int operation, int keyNumber, ScriptedAnswer answer, int times = -1);
  static constexpr int kAnyKey = -100000;
  // A Version answer of three entries (major, minor, letter).
  static std::string versionEntries(int major1, int minor1, int major2, int minor2,
                                    int major3, int minor3);

  std::vector<EngineCall> calls;

  int16_t standardCall(uint16_t operation, void* positionBlock, void* dataBuffer,
                       uint32_t* dataLength, void* keyBuffer, uint8_t keyLength,
                       int8_t keyNumber) override;
  int32_t wideCall(uint32_t operation, void* positionBlock, void* dataBuffer,
                   uint32_t* dataLength, void* keyBuffer, uint32_t keyLength,
                   int32_t keyNumber) override;

 private:
  struct Rule {
    int operation;
    int keyNumber;
    ScriptedAnswer answer;
    int remaining;
  };
  int32_t answer(bool wide, uint32_t operation, void* dataBuffer, uint32_t* dataLength,
                 void* keyBuffer, int32_t keyNumber);
  std::vector<Rule> rules_;
};

}  // namespace vorlan::testing

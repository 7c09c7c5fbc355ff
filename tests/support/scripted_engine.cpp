#include "support/scripted_engine.h"

#include <algorithm>
#include <cstring>
#include <tuple>

namespace vorlan::testing {

ScriptedEngine::ScriptedEngine() { setEngineForTesting(this); }

ScriptedEngine::~ScriptedEngine() { setEngineForTesting(nullptr); }

void ScriptedEngine::on(int operation, ScriptedAnswer answer, int times) {
  rules_.push_back({operation, kAnyKey, std::move(answer), times});
}

void ScriptedEngine::onKey(int operation, int keyNumber, ScriptedAnswer answer, int times) {
  rules_.push_back({operation, keyNumber, std::move(answer), times});
}

std::string ScriptedEngine::versionEntries(int major1, int minor1, int major2, int minor2,
                                           int major3, int minor3) {
  std::string bytes;
  for (auto [major, minor, letter] : {std::tuple{major1, minor1, 'N'},
                                      std::tuple{major2, minor2, 'D'},
                                      std::tuple{major3, minor3, 'T'}}) {
    bytes += static_cast<char>(major & 0xFF);
    bytes += static_cast<char>(major >> 8);
    bytes += static_cast<char>(minor & 0xFF);
    bytes += static_cast<char>(minor >> 8);
    bytes += letter;
  }
  return bytes;
}

int32_t ScriptedEngine::answer(bool wide, uint32_t operation, void* dataBuffer,
                               uint32_t* dataLength, void* keyBuffer, int32_t keyNumber) {
  EngineCall call;
  call.wide = wide;
  call.operation = operation;
  call.dataLength = *dataLength;
  call.keyNumber = keyNumber;
  if (dataBuffer != nullptr)
    call.data.assign(static_cast<const char*>(dataBuffer), std::min<uint32_t>(*dataLength, 512));
  if (keyBuffer != nullptr)
    call.key.assign(static_cast<const char*>(keyBuffer),
                    strnlen(static_cast<const char*>(keyBuffer), 255));
  calls.push_back(call);

  for (Rule& rule : rules_) {
    if (rule.remaining == 0 || (rule.operation >= 0 && uint32_t(rule.operation) != operation))
      continue;
    if (rule.keyNumber != kAnyKey && rule.keyNumber != keyNumber) continue;
    if (rule.remaining > 0) --rule.remaining;
    const ScriptedAnswer& a = rule.answer;
    if (dataBuffer != nullptr) memcpy(dataBuffer, a.data.data(), a.data.size());
    if (keyBuffer != nullptr) memcpy(keyBuffer, a.key.data(), a.key.size());
    if (a.dataLength >= 0) *dataLength = static_cast<uint32_t>(a.dataLength);
    return a.status;
  }
  return 0;
}

int16_t ScriptedEngine::standardCall(uint16_t operation, void*, void* dataBuffer,
                                     uint32_t* dataLength, void* keyBuffer, uint8_t,
                                     int8_t keyNumber) {
  return static_cast<int16_t>(answer(false, operation, dataBuffer, dataLength, keyBuffer, keyNumber));
}

int32_t ScriptedEngine::wideCall(uint32_t operation, void*, void* dataBuffer,
                                 uint32_t* dataLength, void* keyBuffer, uint32_t,
                                 int32_t keyNumber) {
  return answer(true, operation, dataBuffer, dataLength, keyBuffer, keyNumber);
}

}  // namespace vorlan::testing

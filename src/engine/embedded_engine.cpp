#include "engine/embedded_engine.h"

#include "recordmanager/record_manager.h"

namespace vorlan {
namespace {

class EmbeddedEngine : public EngineInterface {
 public:
  int16_t standardCall(uint16_t operation, void* positionBlock, void* dataBuffer,
                       uint32_t* dataLength, void* keyBuffer, uint8_t keyLength,
                       int8_t keyNumber) override {
    return rm::standardEntry(operation, positionBlock, dataBuffer, dataLength, keyBuffer,
                             keyLength, keyNumber);
  }
  int32_t wideCall(uint32_t operation, void* positionBlock, void* dataBuffer,
                   uint32_t* dataLength, void* keyBuffer, uint32_t keyLength,
                   int32_t keyNumber) override {
    return rm::wideEntry(operation, positionBlock, dataBuffer, dataLength, keyBuffer, keyLength,
                         keyNumber);
  }
};

}  // namespace

EngineInterface& embeddedEngine() {
  static EmbeddedEngine engine;
  return engine;
}

}  // namespace vorlan

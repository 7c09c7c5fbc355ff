// Chooses the engine of the process: the embedded record manager, or a
// Btrieve client library named by VORLAN_ENGINE.
#include <cstdlib>
#include <cstring>

#include "engine/embedded_engine.h"
#include "engine/engine_interface.h"
#include "platform/library.h"

namespace vorlan {
namespace {

using StandardEntry = int16_t (*)(uint16_t, void*, void*, uint32_t*, void*, uint8_t, int8_t);
using WideEntry = int32_t (*)(uint32_t, void*, void*, uint32_t*, void*, uint32_t, int32_t);

// A client library's BTRCALL and BTRVEX.
class LibraryEngine : public EngineInterface {
 public:
  LibraryEngine(StandardEntry standard, WideEntry wide) : standard_(standard), wide_(wide) {}

  int16_t standardCall(uint16_t operation, void* positionBlock, void* dataBuffer,
                       uint32_t* dataLength, void* keyBuffer, uint8_t keyLength,
                       int8_t keyNumber) override {
    return standard_(operation, positionBlock, dataBuffer, dataLength, keyBuffer, keyLength,
                     keyNumber);
  }

  int32_t wideCall(uint32_t operation, void* positionBlock, void* dataBuffer,
                   uint32_t* dataLength, void* keyBuffer, uint32_t keyLength,
                   int32_t keyNumber) override {
    if (wide_ == nullptr) return 1;  // a library without the wide entry: invalid operation
    return wide_(operation, positionBlock, dataBuffer, dataLength, keyBuffer, keyLength,
                 keyNumber);
  }

 private:
  StandardEntry standard_;
  WideEntry wide_;
};

EngineInterface* testEngine = nullptr;

EngineInterface* chooseEngine() {
  const char* name = getenv("VORLAN_ENGINE");
  if (name == nullptr || *name == '\0' || strcmp(name, "embedded") == 0) return &embeddedEngine();
  void* library = platform::loadLibrary(name);
  if (library == nullptr) return nullptr;
  auto standard = reinterpret_cast<StandardEntry>(platform::findEntry(library, "BTRCALL"));
  if (standard == nullptr) return nullptr;
  auto wide = reinterpret_cast<WideEntry>(platform::findEntry(library, "BTRVEX"));
  static LibraryEngine loaded(standard, wide);
  return &loaded;
}

}  // namespace

EngineInterface* activeEngine() {
  if (testEngine != nullptr) return testEngine;
  static EngineInterface* chosen = chooseEngine();
  return chosen;
}

void setEngineForTesting(EngineInterface* engine) { testEngine = engine; }

}  // namespace vorlan

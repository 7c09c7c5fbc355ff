// The embedded record manager as a Btrieve client library: the two entries
// BTRCALL and BTRVEX, with the argument widths of the Btrieve call
// interface, forwarded unchanged to the record manager's entries. Any
// program written for that interface (Vorlan through VORLAN_ENGINE
// included) can load libvorlanbtrv.so in place of a real client library.
#include <cstdint>

#include "recordmanager/record_manager.h"

#if defined(_WIN32)
#define VORLAN_BTRV_EXPORT __declspec(dllexport)
#define VORLAN_BTRV_CALL __stdcall
#else
#define VORLAN_BTRV_EXPORT __attribute__((visibility("default")))
#define VORLAN_BTRV_CALL
#endif

extern "C" {

VORLAN_BTRV_EXPORT int16_t VORLAN_BTRV_CALL BTRCALL(uint16_t operation, void* positionBlock,
                                                    void* dataBuffer, uint32_t* dataLength,
                                                    void* keyBuffer, uint8_t keyLength,
                                                    int8_t keyNumber) {
  return vorlan::rm::standardEntry(operation, positionBlock, dataBuffer, dataLength, keyBuffer,
                                   keyLength, keyNumber);
}

VORLAN_BTRV_EXPORT int32_t VORLAN_BTRV_CALL BTRVEX(uint32_t operation, void* positionBlock,
                                                   void* dataBuffer, uint32_t* dataLength,
                                                   void* keyBuffer, uint32_t keyLength,
                                                   int32_t keyNumber) {
  return vorlan::rm::wideEntry(operation, positionBlock, dataBuffer, dataLength, keyBuffer,
                               keyLength, keyNumber);
}

}  // extern "C"

// Placeholder until the store lands: the engine answers "inactive".
#include "recordmanager/record_manager.h"

namespace vorlan::rm {

int16_t standardEntry(uint16_t, void*, void*, uint32_t*, void*, uint8_t, int8_t) { return 20; }

int32_t wideEntry(uint32_t, void*, void*, uint32_t*, void*, uint32_t, int32_t) { return 20; }

}  // namespace vorlan::rm

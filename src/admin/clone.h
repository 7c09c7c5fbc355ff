// Creating an empty file with the definition of the file in slot 1.
#pragma once

#include <cstdint>

namespace vorlan {

// Both return the engine status of the step that failed, or 0. cloneFileEx
// uses the wide entry's statistics.
int32_t cloneFile(const char* newFileName, uint8_t fileVersion);
int32_t cloneFileEx(const char* newFileName, uint8_t fileVersion);

}  // namespace vorlan

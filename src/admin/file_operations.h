// Renaming and deleting files through the engine.
#pragma once

#include <cstdint>

namespace vorlan {

int32_t renameFile(const char* fileName, const char* newFileName);
int32_t deleteFile(const char* fileName);

}  // namespace vorlan

// The MiscData block that binds a data file to its DX database.
#pragma once

#include <cstdint>

namespace vorlan {

int32_t showBinding();    // slot 1
int32_t removeBinding();  // slot 1
int32_t copyBinding();    // slot 1 to slot 2

}  // namespace vorlan

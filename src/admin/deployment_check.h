// The data files matching a pattern that the DX dictionary in slot 1 does
// not know.
#pragma once

#include <cstdint>

namespace vorlan {

// Returns the number of files reported.
int32_t checkDeployment(const char* fileSpec);

}  // namespace vorlan

// Removing obituaries from the PDC table in slot 1.
#pragma once

#include <cstdint>

namespace vorlan {

enum class PurgeMode { All = 0, Aged = 1 };

// Returns 0 when the purge ends (also after engine errors), 1 when the user
// stopped it.
int32_t purgeObituaries(PurgeMode mode);

}  // namespace vorlan

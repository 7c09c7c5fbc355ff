// Rewriting every record so that replication sends it again.
#pragma once

#include <cstdint>

namespace vorlan {

enum class RefreshMode { Force = 0, Update = 1 };

// The file in slot 1: a PDC table (Force) or any data file (Update).
// Returns 0 when the scan ends, 1 when the user stopped it.
int32_t refreshRecords(RefreshMode mode);

}  // namespace vorlan

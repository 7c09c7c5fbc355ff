// The purge with a cutoff chosen by the caller: obituaryCutoff() for the
// aged purge of the command, a fixed value in tests.
#pragma once

#include <cstdint>

#include "replication/purge.h"
#include "replication/timestamp.h"

namespace vorlan {

// purgeObituaries with the given cutoff (used by the aged mode only).
// Returns 0 when every selected obituary was purged, 1 when the user stopped
// it, kMaintenanceIncomplete when an engine failure or a refused Delete left
// obituaries behind.
int32_t purgeObituariesBefore(PurgeMode mode, ReplicationTimestamp cutoff);

}  // namespace vorlan

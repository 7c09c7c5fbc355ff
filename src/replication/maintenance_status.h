// Result of the replication maintenance routines beyond 0 (done) and 1
// (stopped by the user with Escape).
#pragma once

#include <cstdint>

namespace vorlan {

// The command could not do all of its job: records were left unrefreshed,
// obituaries were left because the engine refused or failed, or a PDC record
// could not be deleted. What was done stays done; the messages before say
// what was left. The same value as an incomplete transfer, so that scripts
// test one number.
constexpr int32_t kMaintenanceIncomplete = 2;

}  // namespace vorlan

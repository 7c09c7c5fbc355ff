// The data buffer of the purge's extended operation: a filter on
// RecordState = 'D' (and, for the aged purge, LastUpdated before the cutoff)
// with the extractor of the engine form in use.
#pragma once

#include <cstdint>

#include "replication/purge.h"
#include "replication/timestamp.h"

namespace vorlan {

// The longest descriptor written, in bytes.
constexpr uint16_t kPurgeDescriptorMaxSize = 39;

// Writes the descriptor for DeleteExtended (operation 85, up to 6,400
// records per call, no extracted fields) or Get Next Extended (operation 36,
// one record, its first 48 bytes extracted) at `out`, which holds at least
// kPurgeDescriptorMaxSize bytes. The cutoff is used by the aged purge only.
// Returns the number of bytes written; for DeleteExtended that is four more
// than the length the descriptor states, the extractor's field pair written
// as zeros.
uint16_t writePurgeDescriptor(unsigned char* out, PurgeMode mode, bool deleteExtended,
                              ReplicationTimestamp cutoff);

}  // namespace vorlan

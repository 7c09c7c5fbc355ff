// Export: the records of the file in slot 1, each with its system data
// values, into the open UNF file.
#pragma once

#include <cstdint>

namespace vorlan {

// One pass in the order of the key (key number -1: physical order),
// direction 0 forward, 1 backward. Returns 0 when the pass ran to its end,
// 1 when the user stopped it, kTransferIncomplete when the UNF file could
// not be written whole.
int32_t exportRecords(int32_t keyNumber, int direction);

// The one record with the system data value.
int32_t exportOneRecord(uint64_t value);

}  // namespace vorlan

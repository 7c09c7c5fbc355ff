// Import: the entries of the open UNF file into the file in slot 1, each
// record with the system data values it had.
#pragma once

#include <cstdint>

namespace vorlan {

// -LOAD: entries of any length; /U replaces a record with the same system
// data value. Returns 0 at the end of the UNF file, 1 when the user stopped
// it, kTransferIncomplete when the file ended in a malformed or truncated
// entry (after the totals).
int32_t importRecords();

// -LOAD_OLD: entries of up to one record buffer; /U updates in place.
int32_t importRecordsOld();

}  // namespace vorlan

// Copy: every record of the file in slot 1, with its system data values,
// into the file in slot 2.
#pragma once

#include <cstdint>

namespace vorlan {

// One pass in physical order, direction 0 forward, 1 backward. Returns 0
// when the pass ran to its end, 1 when the user stopped it.
int32_t copyRecords(int direction);

}  // namespace vorlan

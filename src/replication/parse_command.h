// The -PARSE command: shows a number given on the command line as a
// replication timestamp.
#pragma once

#include <cstdint>

#include "replication/timestamp.h"

namespace vorlan {

// Converts the command's argument. "0x" or "0X" as its first two characters
// selects unsigned hexadecimal (saturating at FFFFFFFFFFFFFFFF); anything else
// is signed decimal with optional leading white space and sign, saturating at
// the 64-bit limits, a negative value taken as its two's-complement bits.
// Reading stops at the first character that does not fit; no digits (or a
// null argument) gives 0.
ReplicationTimestamp parseTimestampArgument(const char* argument);

// Prints the value of the argument in hexadecimal and as local date and time
// on standard error. Returns the exit status, 0.
int32_t showTimestamp(const char* argument);

}  // namespace vorlan

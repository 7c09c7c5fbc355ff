// Results of the transfer routines beyond 0 (done) and 1 (stopped by the
// user with Escape).
#pragma once

namespace vorlan {

// The UNF file could not be written whole (a write failed, or a record could
// not be read whole), or a UNF file ended in a malformed or truncated entry:
// the run ends with this exit status so that a script can tell a partial
// transfer from a complete one.
constexpr int kTransferIncomplete = 2;

}  // namespace vorlan

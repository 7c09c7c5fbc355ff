#pragma once

namespace vorlan {

// Writes the usage text to standard error, one line per write.
void printUsage();

}  // namespace vorlan

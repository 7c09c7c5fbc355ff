// The option scan: fills RunOptions from the options among the arguments,
// right to left, and counts the positional arguments.
#pragma once

#include "engine/run_options.h"

namespace vorlan {

// Scans argv[argc-1] down to argv[2] (argv[1], the command word, is never
// examined). Returns the positional count: the arguments after the program
// path, the command word included, less the options.
// An option starts with '/' and holds no other '/' (that is a POSIX path).
bool isOption(const char* argument);

int scanOptions(int argc, const char* const* argv, RunOptions& options);

}  // namespace vorlan

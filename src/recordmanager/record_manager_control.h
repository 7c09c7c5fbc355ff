// Controls of the embedded record manager beyond its two entries, for the
// programs that host it (the shared library, tools, tests).
#pragma once

#include <chrono>

namespace vorlan::rm {

// Commits every pending bundle of this process now (a host that installs
// its own signal handlers after the engine's calls this before it ends).
void flushEngine();

// The age at which a bundle is committed at the next operation (1 s).
void setBundleTimeLimit(std::chrono::milliseconds limit);

}  // namespace vorlan::rm

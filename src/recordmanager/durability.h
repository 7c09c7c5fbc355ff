// Bundles reach the file in bounded time: the engine lock shared by the
// entries and the bundle timer, the timer that commits bundles left idle,
// and the process-end hooks.
#pragma once

#include <mutex>

namespace vorlan::rm {

// Held for the length of every engine call and of every timer commit.
std::recursive_mutex& engineLock();

// Installs the process-end hooks and starts the bundle timer (once per
// process, again in a forked child).
void startDurability();

}  // namespace vorlan::rm

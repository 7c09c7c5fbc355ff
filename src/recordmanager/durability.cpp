// The bundle timer, the process-end hooks and the engine's controls.
#include "recordmanager/durability.h"

#include <atomic>
#include <new>

#include "recordmanager/open_files.h"
#include "recordmanager/operations.h"
#include "recordmanager/os_services.h"
#include "recordmanager/record_manager_control.h"
#include "recordmanager/store.h"

namespace vorlan::rm {

namespace {

constexpr int kTimerIntervalMs = 100;

std::atomic<bool> timerRunning{false};
// Never destroyed (used at exit); replaced in a forked child, where the
// parent's lock, held across fork(), cannot be released.
std::recursive_mutex* lockInUse = new std::recursive_mutex;

void lockedFlush() {
  std::lock_guard<std::recursive_mutex> lock(engineLock());
  flushAllStores();
}

// Commits bundles that no operation has ended in time (a program that
// stops calling the engine for a while must not hold the file).
void timerLoop() {
  for (;;) {
    os::pause(kTimerIntervalMs);
    std::lock_guard<std::recursive_mutex> lock(engineLock());
    for (Store* store : allStores()) endAgedBundle(store);
  }
}

// Before fork(): no bundle may be open, since the child's own connections
// to a file would see the parent's SQLite locks as their process's and wait
// for them for ever.
void beforeFork() {
  engineLock().lock();
  flushAllStores();
}
void afterForkParent() { engineLock().unlock(); }
void afterForkChild() {
  // The parent's thread that held the lock across fork() does not exist
  // here: start the lock afresh in its own storage.
  new (lockInUse) std::recursive_mutex;
  disownAfterFork();
  timerRunning = false;  // the timer thread stayed in the parent
}

}  // namespace

std::recursive_mutex& engineLock() { return *lockInUse; }

void startDurability() {
  os::ProcessHooks hooks;
  hooks.flush = lockedFlush;
  hooks.beforeFork = beforeFork;
  hooks.afterForkParent = afterForkParent;
  hooks.afterForkChild = afterForkChild;
  os::installProcessHooks(hooks);
  setStoreList(allStores);
  if (!timerRunning.exchange(true)) os::startBackgroundThread(timerLoop);
}

void flushEngine() { lockedFlush(); }

void setBundleTimeLimit(std::chrono::milliseconds limit) {
  std::lock_guard<std::recursive_mutex> lock(engineLock());
  setBundleLimit(limit);
}

}  // namespace vorlan::rm

// The controls of the engine's bundling.
#include <mutex>

#include "recordmanager/operations.h"
#include "recordmanager/record_manager_control.h"
#include "recordmanager/store.h"

namespace vorlan::rm {

void flushEngine() { flushAllStores(); }

void setBundleTimeLimit(std::chrono::milliseconds limit) { setBundleLimit(limit); }

}  // namespace vorlan::rm

// Placeholders until the file administration commands land.
#include <cstdio>

#include "admin/binding.h"
#include "admin/clone.h"
#include "admin/deployment_check.h"
#include "admin/file_operations.h"
#include "admin/partner_stats.h"

namespace vorlan {

static int32_t notBuilt(const char* what) {
  fprintf(stderr, "\n%s is not available in this build.\n", what);
  return 1;
}

int32_t showBinding() { return notBuilt("Showing the binding"); }
int32_t removeBinding() { return notBuilt("Removing the binding"); }
int32_t copyBinding() { return notBuilt("Copying the binding"); }
int32_t cloneFile(const char*, uint8_t) { return notBuilt("Cloning"); }
int32_t cloneFileEx(const char*, uint8_t) { return notBuilt("Cloning"); }
int32_t checkDeployment(const char*) { return notBuilt("The deployment check"); }
int32_t checkPartnerStats(const char*, const char*) { return notBuilt("The statistics check"); }
int32_t renameFile(const char*, const char*) { return notBuilt("Renaming"); }
int32_t deleteFile(const char*) { return notBuilt("Deleting"); }

}  // namespace vorlan

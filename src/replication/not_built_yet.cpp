// Placeholders until the replication maintenance commands land.
#include <cstdio>

#include "replication/pdc_zap.h"
#include "replication/purge.h"
#include "replication/refresh.h"

namespace vorlan {

static int32_t notBuilt(const char* what) {
  fprintf(stderr, "\n%s is not available in this build.\n", what);
  return 1;
}

int32_t refreshRecords(RefreshMode) { return notBuilt("The refresh"); }
int32_t purgeObituaries(PurgeMode) { return notBuilt("The purge"); }
int32_t zapPdcRecord(int32_t, int32_t) { return notBuilt("The PDC record zap"); }

}  // namespace vorlan

// -CHECKSTATS: each matching file and its namesake in the partner folder,
// opened one at a time into slot 1, their Stat and system-data statistics
// compared.
#include "admin/partner_stats.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "admin/matching_files.h"
#include "engine/byte_order.h"
#include "engine/file_session.h"
#include "engine/operations.h"
#include "engine/run_options.h"

namespace vorlan {
namespace {

constexpr uint16_t kStatAreaSize = 256;
constexpr uint32_t kSystemDataRequest = 2;
constexpr size_t kPartnerPathMax = 254;

bool answered(int status) { return status == 0 || status == 22; }

// Gathers the snapshot of the file open in slot 1, then closes it.
StatsSnapshot gatherAndClose() {
  StatsSnapshot snapshot;
  unsigned char area[kStatAreaSize] = {};
  unsigned char key[kStatAreaSize] = {};
  FileSession& s = sessionTable[1];
  s.dataBuffer = area;
  s.dataLength = kStatAreaSize;
  s.keyNumber = -1;
  s.keyBuffer = key;
  s.operation = kOpStat;
  int status = callEngine(s);
  if (!answered(status)) {
    fprintf(stderr, "Statistics Call Failed, Status %d\r\n", status);
  } else {
    snapshot.recordLength = readLe16(area);
    snapshot.indexCount = area[4];
    snapshot.versionByte = area[5];
    snapshot.recordCount = readLe32(area + 6);
  }

  memset(area, 0, sizeof area);
  memcpy(area, "ExSt", 4);
  writeLe32(area + 4, kSystemDataRequest);
  s.dataBuffer = area;
  s.dataLength = 8;
  s.keyNumber = 0;
  s.keyBuffer = key;
  s.operation = kOpExtendedStats;
  status = callEngine(s);
  if (!answered(status)) {
    fprintf(stderr, "Extended Statistics Call Failed, Status %d\r\n", status);
  } else {
    snapshot.hasSystemData = area[0];
    snapshot.systemDataLength = readLe16(area + 4);
    snapshot.systemDataVersion = readLe16(area + 6);
  }

  s.operation = kOpClose;
  callEngine(s);
  s.dataBuffer = nullptr;
  s.keyBuffer = nullptr;
  return snapshot;
}

}  // namespace

int judgePartnerFile(const char* name, const StatsSnapshot& p, const StatsSnapshot& q) {
  if (q.versionByte == 0) {
    printf("Error: %s Does Not Exist On the Partner Site!\r\n", name);
    return 1;
  }
  bool differs = false;
  if (p.versionByte != q.versionByte) {
    printf("Warning: %s Version Mismatch.\r\n", name);
    differs = true;
  }
  if (p.recordLength != q.recordLength) {
    printf("Error: %s Record Length Mismatch (%u <> %u).\r\n", name, unsigned{p.recordLength},
           unsigned{q.recordLength});
    differs = true;
  }
  if (p.indexCount != q.indexCount) {
    printf("Error: %s Index Count Mismatch (%u <> %u).\r\n", name, unsigned{p.indexCount},
           unsigned{q.indexCount});
    differs = true;
  }
  if (p.recordCount != q.recordCount) {
    printf("Warning: %s Record Count Mismatch (%lu <> %lu).\r\n", name,
           static_cast<unsigned long>(p.recordCount), static_cast<unsigned long>(q.recordCount));
    differs = true;
  }
  if (p.systemDataLength != q.systemDataLength) {
    printf("Error: %s System Data Length Mismatch (%u <> %u).\r\n", name,
           unsigned{p.systemDataLength}, unsigned{q.systemDataLength});
    differs = true;
  }
  if (p.systemDataVersion != q.systemDataVersion) {
    printf("Error: %s System Data Version Mismatch (%u <> %u).\r\n", name,
           unsigned{p.systemDataVersion}, unsigned{q.systemDataVersion});
    differs = true;
  }
  if (p.hasSystemData != q.hasSystemData) {
    printf("Error: %s System Data Mismatch (%u <> %u).\r\n", name, unsigned{p.hasSystemData},
           unsigned{q.hasSystemData});
    differs = true;
  }
  if (p.hasSystemData == 0 && q.hasSystemData == 0) {
    printf("Error: %s Missing System Data on BOTH Files.\r\n", name);
    return 1;
  }
  return differs ? 1 : 0;
}

int32_t checkPartnerStats(const char* fileSpec, const char* partnerFolder) {
  int32_t nonMatching = 0;
  // The matched files are opened where the pattern found them.
  int32_t total = forEachMatchingFile(fileSpec, [&](const char* name, const std::string& path) {
    // A name too long for a session is refused, with its message, by the
    // open itself; like any file that does not open it counts in the total
    // only.
    if (openSessionQuiet(path.c_str(), runOptions.ownerName, 1) != 0) return;
    StatsSnapshot primary = gatherAndClose();

    std::string partnerPath = std::string(partnerFolder) + "\\" + name;
    if (partnerPath.size() > kPartnerPathMax || partnerPath.size() >= kSessionNameSize) {
      // Not opened, so not known to be missing: said as it is, and counted.
      printf("Error: %s Partner Path Too Long To Check (%zu characters, at most %zu).\r\n", name,
             partnerPath.size(), kSessionNameSize - 1);
      ++nonMatching;
      return;
    }
    StatsSnapshot partner;
    if (openSessionQuiet(partnerPath.c_str(), runOptions.ownerName, 1) == 0)
      partner = gatherAndClose();
    nonMatching += judgePartnerFile(name, primary, partner);
  });
  printf("Found %d non-matching files of %d total.\n", nonMatching, total);
  return nonMatching;
}

}  // namespace vorlan

// -CLONE: the definition that Stat reports for the file in slot 1, with its
// version replaced and its record count cleared, handed to Create under the
// new name. Two variants: the standard entry with the standard statistics,
// and the wide entry with the wide ones.
#include "admin/clone.h"

#include <cstdio>
#include <cstring>

#include "engine/byte_order.h"
#include "engine/file_session.h"
#include "engine/file_stats.h"
#include "engine/operations.h"
#include "platform/file_identity.h"

namespace vorlan {
namespace {

constexpr size_t kCloneKeySize = 256;
constexpr size_t kNewNameMax = kCloneKeySize - 2;  // 254 characters

struct CloneVariant {
  unsigned char* buffer;
  uint16_t size;
  bool wide;
};

int issue(FileSession& s, bool wide) { return wide ? callEngineEx(s) : callEngine(s); }

// Refusals made before anything is asked of the engine; 0 when the name
// may be created.
int32_t refuseNewName(const char* newFileName) {
  size_t length = strlen(newFileName);
  if (length > kNewNameMax) {
    fprintf(stderr,
            "\nNew file name <%.40s...> is too long: at most %zu characters can be created.\n",
            newFileName, kNewNameMax);
    return 1;
  }
  // Create replaces an existing file of the name, and the source is closed
  // before it: cloning a file onto itself would empty it.
  if (platform::sameFile(sessionTable[1].fileName, newFileName)) {
    fprintf(stderr, "\nThe new file <%s> is the source file itself; nothing was created.\n",
            newFileName);
    return 1;
  }
  return 0;
}

int32_t cloneWith(const CloneVariant& v, const char* newFileName, uint8_t fileVersion) {
  int32_t refused = refuseNewName(newFileName);
  if (refused != 0) return refused;

  FileSession& s = sessionTable[1];
  unsigned char key[kCloneKeySize] = {};
  s.dataBuffer = v.buffer;
  s.dataLength = v.size;
  s.keyNumber = -1;
  s.keyBuffer = key;
  s.operation = kOpStat;
  int32_t status = issue(s, v.wide);
  if (status != 0) {
    s.keyBuffer = nullptr;
    fprintf(stderr, "Unable to obtain file statistics, Status = %d.\n", status);
    return status;
  }
  uint16_t definitionLength = s.dataLength;

  // The source is closed before the new file is made.
  s.operation = kOpClose;
  issue(s, v.wide);

  if (v.wide) {
    writeLe64(v.buffer + 8, 0);
    writeLe16(v.buffer + 18, fileVersion);
  } else {
    v.buffer[5] = fileVersion;
    writeLe32(v.buffer + 6, 0);
  }
  memset(key, 0, sizeof key);
  memcpy(key, newFileName, strlen(newFileName) + 1);

  s.dataBuffer = v.buffer;
  s.dataLength = definitionLength;
  s.keyNumber = 0;
  s.keyBuffer = key;
  s.operation = kOpCreate;
  status = issue(s, v.wide);
  s.keyBuffer = nullptr;
  if (status != 0) {
    fprintf(stderr, "Unable to create new file, Status = %d.\n", status);
    return status;
  }
  return 0;
}

}  // namespace

int32_t cloneFile(const char* newFileName, uint8_t fileVersion) {
  return cloneWith({fileStats, static_cast<uint16_t>(kFileStatsSize), false}, newFileName,
                   fileVersion);
}

int32_t cloneFileEx(const char* newFileName, uint8_t fileVersion) {
  return cloneWith({extendedFileStats, static_cast<uint16_t>(kExtendedFileStatsSize), true},
                   newFileName, fileVersion);
}

}  // namespace vorlan

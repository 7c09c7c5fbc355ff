#include "engine/file_session.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/byte_order.h"
#include "engine/engine_interface.h"
#include "engine/operations.h"
#include "engine/run_options.h"

namespace vorlan {

FileSession sessionTable[kSessionSlots];
int32_t engineExAvailable = -1;
int32_t deleteExtendedAvailable = -1;

namespace {

constexpr uint8_t kKeyLength = 255;

[[noreturn]] void engineNotLoaded() {
  fputs("Please load the Btrieve Record Manager\n", stderr);
  fflush(stdout);
  std::exit(1);
}

EngineInterface& engine() {
  EngineInterface* e = activeEngine();
  if (e == nullptr) engineNotLoaded();
  return *e;
}

int16_t issueStandard(FileSession& s) {
  uint32_t length = s.dataLength;
  int16_t status = engine().standardCall(s.operation, s.positionBlock, s.dataBuffer, &length,
                                         s.keyBuffer, kKeyLength,
                                         static_cast<int8_t>(s.keyNumber & 0xFF));
  s.dataLength = static_cast<uint16_t>(length);
  return status;
}

void reportStatus(const FileSession& s, int status) {
  switch (status) {
    case 0: case 3: case 4: case 5: case 9: case 12: case 22: case 60: case 64: case 146:
      return;
    case 6:
      fprintf(stderr, "\nKey Number %d Not Found.\n", s.keyNumber);
      return;
    case 20:
      engineNotLoaded();
    case 30:
      fprintf(stderr, "\n%s: Not a Btrieve File\n", s.fileName);
      return;
    case 51:
      fputs("\nFile protected by owner name. Use /O switch to specify correct owner.\n", stderr);
      return;
    default:
      fprintf(stderr, "Btrieve Error %d: Operation=%d, File=%s\n", status, s.operation, s.fileName);
  }
}

// Fills the slot for an Open of the name with the owner; the buffers are the
// caller's temporaries.
void prepareOpen(FileSession& s, const char* fileName, const char* ownerName, char* keyTemp) {
  if (runOptions.verbosity != 0) fprintf(stderr, "Opening Btrieve File <%s>\n", fileName);
  snprintf(keyTemp, 256, "%s", fileName);
  snprintf(s.fileName, sizeof s.fileName, "%s", fileName);
  s.dataBuffer = const_cast<char*>(ownerName != nullptr ? ownerName : "");
  s.dataLength = ownerName != nullptr ? static_cast<uint16_t>(strlen(ownerName)) : 0;
  s.keyBuffer = keyTemp;
  s.keyNumber = runOptions.openMode;
  s.operation = kOpOpen;
}

// The temporaries of an open do not outlive it.
void forgetBuffers(FileSession& s) {
  s.dataBuffer = nullptr;
  s.keyBuffer = nullptr;
}

bool versionAtLeast(const unsigned char* entry, int major, int minor) {
  int entryMajor = readLe16(entry), entryMinor = readLe16(entry + 2);
  return entryMajor > major || (entryMajor == major && entryMinor >= minor);
}

// Asks the engine for its version; sets engineExAvailable and, when wanted,
// deleteExtendedAvailable.
void probeEngine(FileSession& s, bool alsoDeleteExtended) {
  unsigned char version[15] = {};
  unsigned char key[256] = {};
  s.dataBuffer = version;
  s.dataLength = sizeof version;
  s.keyBuffer = key;
  s.keyNumber = 0;
  s.operation = kOpVersion;
  int status = callEngine(s);
  unsigned length = s.dataLength;
  if (runOptions.verbosity != 0) {
    if (length != 0) {
      fprintf(stderr, "Version Call: Status=%d, %.2d.%.2d(%c)", status, readLe16(version),
              readLe16(version + 2), version[4]);
      if (length > 5)
        fprintf(stderr, ", %.2d.%.2d(%c)", readLe16(version + 5), readLe16(version + 7), version[9]);
      if (length > 10)
        fprintf(stderr, ", %.2d.%.2d(%c)", readLe16(version + 10), readLe16(version + 12),
                version[14]);
    }
    fputs("\n", stderr);
  }
  engineExAvailable = status == 0 && length > 0 && versionAtLeast(version, 13, 30);
  if (alsoDeleteExtended)
    deleteExtendedAvailable = status == 0 && length > 10 && versionAtLeast(version + 10, 14, 10);
  forgetBuffers(s);
}

const char* availability(int32_t flag) { return flag == 1 ? "" : "NOT "; }

bool nameFitsSession(const char* fileName) {
  if (strlen(fileName) < kSessionNameSize) return true;
  fprintf(stderr, "\nFile name <%s> is too long: at most %zu characters can be opened.\n", fileName,
          kSessionNameSize - 1);
  return false;
}

}  // namespace

int callEngine(FileSession& s) {
  if (runOptions.verbosity == 2)
    fprintf(stdout, "Op: %d, Buflen: %d, KeyNum: %d ", s.operation, s.dataLength, s.keyNumber);
  int status = issueStandard(s);
  if (runOptions.verbosity == 2) fprintf(stdout, "Status: %d, OutLen = %d\n", status, s.dataLength);
  reportStatus(s, status);
  return status;
}

int32_t callEngineEx(FileSession& s) {
  if (runOptions.verbosity != 0)
    fprintf(stdout, "Op: %d, Buflen: %d, KeyNum: %d ", s.operation, s.dataLength, s.keyNumber);
  uint32_t length = s.dataLength;
  int32_t status = engine().wideCall(s.operation, s.positionBlock, s.dataBuffer, &length,
                                     s.keyBuffer, kKeyLength, s.keyNumber);
  s.dataLength = static_cast<uint16_t>(length);
  if (runOptions.verbosity != 0) fprintf(stdout, "Status: %d\n", status);
  return status;
}

int callEngineQuiet(FileSession& s) { return issueStandard(s); }

int openSession(const char* fileName, const char* ownerName, int slot) {
  if (!nameFitsSession(fileName)) return 1;
  FileSession& s = sessionTable[slot];
  char keyTemp[256];
  prepareOpen(s, fileName, ownerName, keyTemp);
  uint16_t status = static_cast<uint16_t>(callEngine(s));
  forgetBuffers(s);
  if (status != 0) {
    if (status != 51)
      fprintf(stderr, "\nUnable to open Data File <%s>, Status %d.\n", fileName, status);
    return 1;
  }
  if (engineExAvailable == -1) {
    probeEngine(s, true);
    if (runOptions.verbosity != 0)
      fprintf(stderr, "BtrvEx IS %savailable, DeleteExtended IS %savailable!\n",
              availability(engineExAvailable), availability(deleteExtendedAvailable));
  }
  return 0;
}

uint16_t openSessionQuiet(const char* fileName, const char* ownerName, int slot) {
  if (!nameFitsSession(fileName)) return 11;  // invalid file name
  FileSession& s = sessionTable[slot];
  char keyTemp[256];
  prepareOpen(s, fileName, ownerName, keyTemp);
  uint16_t status = static_cast<uint16_t>(callEngineQuiet(s));
  forgetBuffers(s);
  if (status == 0 && engineExAvailable == -1) {
    probeEngine(s, false);
    if (runOptions.verbosity != 0)
      fprintf(stderr, "BtrvEx IS %savailable!\n", availability(engineExAvailable));
  }
  return status;
}

int closeSession(int slot) {
  FileSession& s = sessionTable[slot];
  if (runOptions.verbosity != 0) fputs("Closing Btrieve File\n", stderr);
  s.keyNumber = 0;
  s.operation = kOpClose;
  callEngine(s);
  s.operation = kOpReset;
  return callEngine(s);
}

void resetSessionsForTesting() {
  for (FileSession& s : sessionTable) s = FileSession{};
  engineExAvailable = -1;
  deleteExtendedAvailable = -1;
}

}  // namespace vorlan

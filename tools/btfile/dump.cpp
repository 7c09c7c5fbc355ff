// btfile dump: every record with its position and system data, one line
// each: POSITION SYSDATA UPDATESYSDATA LENGTH HEX (position and system data
// as 16 upper-case hexadecimal digits, length in decimal). The reading is
// the one Vorlan's exports make: a fetch of up to 64,129 bytes, Get
// Position, Get Direct on keys 125 and 124, a re-fetch by Get Direct on the
// key path, then Get Direct/Chunk (key -2) for the bytes past the first
// 64,129.
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "btfile.h"

namespace vorlan::btfile {
namespace {

uint8_t gRecord[kPieceSize];
uint8_t gChunk[kPieceSize];
uint8_t gKey[256];

void putLittle(uint8_t* out, uint64_t value, int width) {
  for (int i = 0; i < width; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint64_t getLittle(const uint8_t* in, int width) {
  uint64_t value = 0;
  for (int i = 0; i < width; ++i) value |= static_cast<uint64_t>(in[i]) << (8 * i);
  return value;
}

// The value of a system key of the record at `position` (Get Direct with
// a data length of 8: status 22 is the expected answer).
bool readSystemKey(EngineFile& file, uint64_t position, int keyNumber, uint64_t* value) {
  uint8_t request[8];
  uint8_t key[256] = {};
  putLittle(request, position, 8);
  uint32_t length = 8;
  int32_t status = callWide(kOpGetDirect, file, request, &length, key, keyNumber);
  if (status != 0 && status != 22) {
    std::string what = "Get Direct on key " + std::to_string(keyNumber);
    reportStatus(file.path, what.c_str(), status);
    return false;
  }
  *value = getLittle(key, 8);
  return true;
}

}  // namespace

int runDump(int argc, char** argv) {
  Arguments args;
  std::string error;
  if (!scanArguments(argc, argv, {"key", "owner"}, {}, &args, &error)) return usage(error.c_str());
  if (args.positional.size() != 1) return usage("dump takes one FILE");
  uint64_t keyNumber = 0;
  const bool byKey = args.has("key");
  if (byKey && !parseNumber(args.value("key"), 0, 118, &keyNumber)) return usage("--key must be a key number 0 to 118");
  const int keyPath = static_cast<int>(keyNumber);

  EngineFile file;
  FileStatus stat;
  if (!openFile(file, args.positional[0], args.value("owner"))) return 1;
  if (!statFile(file, &stat)) {
    closeFile(file);
    return 1;
  }
  const int mode = stat.definition.systemDataMode();
  // The key of the re-fetch: the key path, or in physical order key 0 (as
  // Vorlan's -RECOVER does), the system data key in a file without keys.
  const int refetchKey = byKey || stat.definition.findKey(0) != nullptr ? keyPath : rm::kSystemDataKey;

  std::vector<uint8_t> record;
  std::string line;
  int result = 0;
  uint32_t fetchOp = byKey ? kOpGetFirst : kOpStepFirst;
  for (;;) {
    uint32_t length = kPieceSize;
    int32_t status = callStandard(fetchOp, file, gRecord, &length, gKey, keyPath);
    fetchOp = byKey ? kOpGetNext : kOpStepNext;
    if (status == 9) break;
    if (status != 0 && status != 22) {
      reportStatus(file.path, byKey ? "Get on the key" : "Step", status);
      result = 1;
      break;
    }
    uint8_t positionBytes[8] = {};
    uint32_t positionLength = 8;
    int32_t s = callWide(kOpGetPosition, file, positionBytes, &positionLength, gKey, 0);
    if (s != 0) {
      reportStatus(file.path, "Get Position", s);
      result = 1;
      break;
    }
    const uint64_t position = getLittle(positionBytes, 8);
    uint64_t sysData = 0, updateSysData = 0;
    if (mode != 0) {
      if (!readSystemKey(file, position, rm::kSystemDataKey, &sysData) ||
          (mode == 2 && !readSystemKey(file, position, rm::kUpdateSystemDataKey, &updateSysData))) {
        result = 1;
        break;
      }
      // Back on the record and the key path, with the chunk cursor after
      // its first bytes.
      putLittle(gRecord, position, 8);
      length = kPieceSize;
      status = callWide(kOpGetDirect, file, gRecord, &length, gKey, refetchKey);
      if (status != 0 && status != 22) {
        reportStatus(file.path, "Get Direct on the key path", status);
        result = 1;
        break;
      }
    }
    if (length > kPieceSize) length = kPieceSize;
    record.assign(gRecord, gRecord + length);
    if (status == 22) {
      // The rest in chunks: 0 with fewer than 64,129 bytes ends the record,
      // 103 says it ended exactly at the offset asked for.
      for (;;) {
        putLittle(gChunk, position, 8);
        putLittle(gChunk + 8, kChunkSubfunction, 4);
        putLittle(gChunk + 12, 1, 4);
        putLittle(gChunk + 16, record.size(), 4);
        putLittle(gChunk + 20, kPieceSize, 4);
        putLittle(gChunk + 24, 0, 4);
        uint32_t chunkLength = kPieceSize;
        int32_t c = callWide(kOpGetDirect, file, gChunk, &chunkLength, gKey, -2);
        if (c == 103) break;
        if (c != 0) {
          std::string what = "Get Direct/Chunk at offset " + std::to_string(record.size());
          reportStatus(file.path, what.c_str(), c);
          result = 1;
          break;
        }
        if (chunkLength > kPieceSize) chunkLength = kPieceSize;
        record.insert(record.end(), gChunk, gChunk + chunkLength);
        if (chunkLength < kPieceSize) break;
      }
      if (result != 0) break;
    }
    line.clear();
    char head[96];
    int n = std::snprintf(head, sizeof head, "%016" PRIX64 " %016" PRIX64 " %016" PRIX64 " %zu", position, sysData,
                          updateSysData, record.size());
    line.append(head, static_cast<size_t>(n));
    if (!record.empty()) {
      line.push_back(' ');
      appendHex(line, record.data(), record.size());
    }
    line.push_back('\n');
    std::fwrite(line.data(), 1, line.size(), stdout);
  }
  closeFile(file);
  return result;
}

}  // namespace vorlan::btfile

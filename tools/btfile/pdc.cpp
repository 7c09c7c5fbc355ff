// btfile pdc: a PDC table for the replication commands' tests. Records of
// 48 bytes, all integers little-endian:
//   0  8  record number (key 0, unsigned, unique)
//   8  8  system data value of the tracked record (key 1, unsigned, unique)
//  30  1  RecordState: 'D' obituary, or the live state (default 'N')
//  32  8  LastUpdated: replication timestamp of now - age, that is
//         621355968000000000 + unix seconds x 10^7 (key 2, timestamp,
//         duplicates: the order of the purge)
// Every other byte is zero. The file has system data (flag 0x0200).
#include <chrono>
#include <cstdio>
#include <cstring>

#include "btfile.h"

namespace vorlan::btfile {
namespace {

constexpr uint32_t kPdcRecordLength = 48;
constexpr uint64_t kUnixEpochTimestamp = 621355968000000000ull;
constexpr uint64_t kTrackedBase = 0x0800000000000000ull;

void putLittle64(uint8_t* out, uint64_t value) {
  for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

rm::FileDefinition pdcDefinition() {
  rm::FileDefinition def;
  def.recordLength = kPdcRecordLength;
  def.fileFlags = rm::kFileSystemData;
  auto key = [](uint16_t position, uint16_t length, uint8_t type, uint16_t flags, uint8_t number) {
    rm::KeyDefinition k;
    rm::KeySegment s;
    s.position = position;
    s.length = length;
    s.type = type;
    s.flags = static_cast<uint16_t>(rm::kKeyExtendedType | flags);
    k.segments.push_back(s);
    k.keyNumber = number;
    return k;
  };
  def.keys.push_back(key(1, 8, rm::kTypeUnsigned, 0, 0));
  def.keys.push_back(key(9, 8, rm::kTypeUnsigned, 0, 1));
  // Replication rewrites LastUpdated, so the purge order key is modifiable.
  def.keys.push_back(key(33, 8, rm::kTypeTimestamp, rm::kKeyDuplicates | rm::kKeyModifiable, 2));
  return def;
}

}  // namespace

int runPdc(int argc, char** argv) {
  Arguments args;
  std::string error;
  if (!scanArguments(argc, argv, {"obituaries", "live", "age-days", "now", "live-state", "owner"}, {"append"},
                     &args, &error))
    return usage(error.c_str());
  if (args.positional.size() != 1) return usage("pdc takes one FILE");
  uint64_t obituaries = 0, live = 0, ageDays = 0;
  uint64_t now = static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count());
  if ((args.has("obituaries") && !parseNumber(args.value("obituaries"), 0, 100000000, &obituaries)) ||
      (args.has("live") && !parseNumber(args.value("live"), 0, 100000000, &live)) ||
      (args.has("age-days") && !parseNumber(args.value("age-days"), 0, 3000000, &ageDays)) ||
      (args.has("now") && !parseNumber(args.value("now"), 0, 100000000000ull, &now)))
    return usage("pdc: --obituaries, --live, --age-days and --now take whole numbers");
  std::string liveState = args.value("live-state", "N");
  if (liveState.size() != 1) return usage("pdc: --live-state is one character");
  if (ageDays * 86400 > now) return usage("pdc: --age-days reaches before 1970");
  const std::string& path = args.positional[0];
  if (!args.has("append") && !createFile(path, pdcDefinition(), false, "", 0)) return 1;

  EngineFile file;
  FileStatus stat;
  if (!openFile(file, path, args.value("owner"))) return 1;
  if (!statFile(file, &stat)) {
    closeFile(file);
    return 1;
  }
  if (stat.definition.recordLength != kPdcRecordLength) {
    std::fprintf(stderr, "btfile: %s: not a PDC table made by btfile pdc (record length %u)\n", path.c_str(),
                 stat.definition.recordLength);
    closeFile(file);
    return 1;
  }
  // Record numbers go on after the highest one in the file (Get Last on
  // key 0), so that appending after a purge stays unique.
  uint8_t record[kPdcRecordLength];
  uint8_t key[256] = {};
  uint64_t number = 0;
  uint32_t length = kPdcRecordLength;
  int32_t last = callStandard(kOpGetLast, file, record, &length, key, 0);
  if (last == 0) {
    for (int i = 0; i < 8; ++i) number |= static_cast<uint64_t>(record[i]) << (8 * i);
  } else if (last != 9) {
    reportStatus(path, "Get Last on key 0", last);
    closeFile(file);
    return 1;
  }
  const uint64_t lastUpdated = kUnixEpochTimestamp + (now - ageDays * 86400) * 10000000ull;
  int result = 0;
  for (uint64_t i = 0; i < obituaries + live && result == 0; ++i) {
    ++number;
    std::memset(record, 0, sizeof record);
    putLittle64(record, number);
    putLittle64(record + 8, kTrackedBase + number);
    record[30] = static_cast<uint8_t>(i < obituaries ? 'D' : liveState[0]);
    putLittle64(record + 32, lastUpdated);
    if (!insertRecord(file, record, sizeof record, static_cast<size_t>(i + 1))) result = 1;
  }
  closeFile(file);
  return result;
}

}  // namespace vorlan::btfile

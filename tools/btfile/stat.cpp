// btfile stat: the definition and counts of a file, from a wide Stat, in
// text meant to stay stable for tests:
//
//   File: NAME
//   Record length: 100
//   Page size: 4096
//   File flags: 0x0201 (variable system-data)
//   File version: 0x0095
//   Records: 3
//   Keys: 1
//   Key 0: 2 segments, flags 0x0111 (duplicates segmented extended-type), unique values 3
//     Segment 1: position 1, length 4, type integer, flags 0x0111 (duplicates segmented extended-type)
//     Segment 2: position 5, length 10, type string, flags 0x0501 (duplicates extended-type case-insensitive)
#include <cstdio>

#include "btfile.h"

namespace vorlan::btfile {
namespace {

struct FlagName {
  uint16_t bit;
  const char* name;
};

constexpr FlagName kFileFlagNames[] = {
    {0x0001, "variable"},       {0x0002, "blank-truncation"}, {0x0004, "preallocation"},
    {0x0008, "compression"},    {0x0010, "key-only"},         {0x0020, "balanced-index"},
    {0x0040, "free-10"},        {0x0080, "free-20"},          {0x0100, "duplicate-pointers"},
    {0x0200, "system-data"},    {0x0400, "key-numbers"},      {0x0800, "vats"},
    {0x1000, "no-system-data"}, {0x4000, "system-data-v2"},
};

constexpr FlagName kKeyFlagNames[] = {
    {0x0001, "duplicates"},  {0x0002, "modifiable"},           {0x0004, "binary"},
    {0x0008, "null-all"},    {0x0010, "segmented"},            {0x0020, "acs"},
    {0x0040, "descending"},  {0x0080, "repeating-duplicates"}, {0x0100, "extended-type"},
    {0x0200, "null-any"},    {0x0400, "case-insensitive"},
};

template <size_t N>
std::string flagText(uint16_t flags, const FlagName (&names)[N]) {
  char hex[8];
  std::snprintf(hex, sizeof hex, "0x%04X", flags);
  std::string text = hex;
  std::string words;
  uint16_t rest = flags;
  for (const FlagName& f : names) {
    if ((flags & f.bit) == 0) continue;
    if (!words.empty()) words += ' ';
    words += f.name;
    rest = static_cast<uint16_t>(rest & ~f.bit);
  }
  if (rest != 0) {
    char other[16];
    std::snprintf(other, sizeof other, "0x%04X", rest);
    if (!words.empty()) words += ' ';
    words += other;
  }
  if (!words.empty()) text += " (" + words + ")";
  return text;
}

}  // namespace

int runStat(int argc, char** argv) {
  Arguments args;
  std::string error;
  if (!scanArguments(argc, argv, {"owner"}, {}, &args, &error)) return usage(error.c_str());
  if (args.positional.size() != 1) return usage("stat takes one FILE");
  EngineFile file;
  FileStatus stat;
  if (!openFile(file, args.positional[0], args.value("owner"))) return 1;
  bool ok = statFile(file, &stat);
  closeFile(file);
  if (!ok) return 1;
  const rm::FileDefinition& def = stat.definition;
  std::printf("File: %s\n", file.path.c_str());
  std::printf("Record length: %u\n", def.recordLength);
  std::printf("Page size: %u\n", def.pageSize);
  std::printf("File flags: %s\n", flagText(def.fileFlags, kFileFlagNames).c_str());
  std::printf("File version: 0x%04X\n", stat.version);
  std::printf("Records: %llu\n", static_cast<unsigned long long>(stat.records));
  std::printf("Keys: %zu\n", def.keys.size());
  for (size_t k = 0; k < def.keys.size(); ++k) {
    const rm::KeyDefinition& key = def.keys[k];
    std::printf("Key %u: %zu segment%s, flags %s, unique values %u\n", key.keyNumber, key.segments.size(),
                key.segments.size() == 1 ? "" : "s", flagText(key.flags(), kKeyFlagNames).c_str(),
                k < stat.uniqueValues.size() ? stat.uniqueValues[k] : 0);
    for (size_t s = 0; s < key.segments.size(); ++s) {
      const rm::KeySegment& seg = key.segments[s];
      std::printf("  Segment %zu: position %u, length %u, type %s, flags %s\n", s + 1, seg.position, seg.length,
                  typeName(seg.type), flagText(seg.flags, kKeyFlagNames).c_str());
    }
  }
  return 0;
}

}  // namespace vorlan::btfile

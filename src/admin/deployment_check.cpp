// -CHECK: the file locations listed in FILE.DDF, then every file matching
// the pattern that is not listed and opens as a Btrieve file.
#include "admin/deployment_check.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "admin/matching_files.h"
#include "engine/file_session.h"
#include "engine/operations.h"
#include "engine/run_options.h"

namespace vorlan {
namespace {

constexpr uint16_t kDictionaryRecordSize = 402;
constexpr size_t kLocationOffset = 22;
constexpr size_t kLocationSize = 64;

// ASCII letters only, whatever the locale.
bool sameNameIgnoringCase(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return i == a.size() && b[i] == '\0';
}

// Reads every record of the dictionary in slot 1 in the order of key 0 and
// closes it. Each read offers the whole record buffer, so that a longer
// record after a shorter one is read as well.
std::vector<std::string> readDictionary() {
  std::vector<std::string> names;
  unsigned char record[kDictionaryRecordSize] = {};
  unsigned char key[256] = {};
  FileSession& s = sessionTable[1];
  s.dataBuffer = record;
  s.keyBuffer = key;
  s.keyNumber = 0;
  s.operation = kOpGetFirst;
  for (;;) {
    s.dataLength = kDictionaryRecordSize;
    if (callEngine(s) != 0) break;
    names.push_back(dictionaryLocation(record, s.dataLength));
    s.operation = kOpGetNext;
  }
  s.operation = kOpClose;
  callEngine(s);
  s.dataBuffer = nullptr;
  s.keyBuffer = nullptr;
  return names;
}

bool listed(const std::vector<std::string>& names, const char* bareName) {
  for (const std::string& name : names)
    if (sameNameIgnoringCase(name, bareName)) return true;
  return false;
}

}  // namespace

void trimTrailingSpaces(char* text) {
  size_t length = strlen(text);
  while (length > 1 && text[length - 1] == ' ') text[--length] = '\0';
}

std::string dictionaryLocation(const unsigned char* record, size_t length) {
  char text[kLocationSize + 1] = {};
  size_t available = length > kLocationOffset ? length - kLocationOffset : 0;
  if (available > kLocationSize) available = kLocationSize;
  for (size_t i = 0; i < available && record[kLocationOffset + i] != 0; ++i)
    text[i] = static_cast<char>(record[kLocationOffset + i]);
  trimTrailingSpaces(text);
  const char* name = text;
  if (strncmp(name, "..\\", 3) == 0) name += 3;
  return name;
}


int32_t checkDeployment(const char* fileSpec) {
  std::vector<std::string> names = readDictionary();
  if (runOptions.verbosity != 0) {
    fprintf(stderr, "FILE.DDF contents included %d files.\n", static_cast<int>(names.size()));
    for (size_t i = 0; i < names.size(); ++i)
      fprintf(stderr, "%.3d: %s\n", static_cast<int>(i), names[i].c_str());
  }
  if (names.size() < 2) return 0;

  int32_t nonActivated = 0;
  // The matched files are opened where the pattern found them.
  int32_t total = forEachMatchingFile(fileSpec, [&](const char* name, const std::string& path) {
    if (listed(names, name)) return;
    if (openSession(path.c_str(), runOptions.ownerName, 2) != 0) return;
    FileSession& probe = sessionTable[2];
    probe.keyNumber = 0;
    probe.operation = kOpClose;
    callEngine(probe);
    printf("File %s not activated in this deployment.\n", name);
    ++nonActivated;
  });
  printf("Found %d non-activated files of %d total.\n", nonActivated, total);
  return nonActivated;
}

}  // namespace vorlan

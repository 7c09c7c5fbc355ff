#include "admin/matching_files.h"

namespace vorlan {

std::string patternFolder(const char* fileSpec) {
  const char* last = nullptr;
  for (const char* p = fileSpec; *p != '\0'; ++p)
    if (*p == '\\' || *p == '/') last = p;
  return last == nullptr ? std::string() : std::string(fileSpec, last + 1);
}

}  // namespace vorlan

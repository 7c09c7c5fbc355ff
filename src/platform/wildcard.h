// Enumeration of the directory entries matching a wildcard pattern.
// Backslash and slash both separate directories; '*' and '?' in the last
// component match without regard to case.
#pragma once

#include <cstdint>

namespace vorlan::platform {

constexpr uint32_t kAttributeDirectory = 0x10;

struct FoundEntry {
  uint32_t attributes = 0;  // kAttributeDirectory for a directory
  char name[256] = {};      // bare name, no directory part
};

class WildcardSearch {
 public:
  WildcardSearch() = default;
  ~WildcardSearch();
  WildcardSearch(const WildcardSearch&) = delete;
  WildcardSearch& operator=(const WildcardSearch&) = delete;

  // Starts the search; false when nothing matches or the folder cannot be read.
  bool first(const char* pattern, FoundEntry* entry);
  // Next match; false when there are no more.
  bool next(FoundEntry* entry);
  void close();

 private:
  void* dir_ = nullptr;
  char pattern_[256] = {};
};

}  // namespace vorlan::platform

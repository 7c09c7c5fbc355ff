// Enumeration of the directory entries matching a wildcard pattern.
// Backslash and slash both separate directories; '*' and '?' in the last
// component match without regard to case, with the rules of Windows (see
// wildcard_match.h). A pattern without a directory part searches the current
// directory; the directory part itself is used as it stands.
//
// As on Windows, "." and ".." are found by patterns that match them, and a
// pattern without wildcards finds that one name, in any letter case. Only
// files and directories are found: devices, pipes, sockets and dangling
// links, which no Windows folder holds, are passed over, and so is a name
// too long for FoundEntry::name (never cut short).
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
  bool advance(FoundEntry* entry);

  void* dir_ = nullptr;
  char pattern_[256] = {};  // the last component of the pattern
  bool literal_ = false;    // no wildcards: one name at most
  bool done_ = false;
};

}  // namespace vorlan::platform

// Wildcard enumeration on POSIX: opendir/readdir over the pattern's folder.
#include "platform/wildcard.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <climits>
#include <cstring>

#include "platform/wildcard_match.h"

namespace vorlan::platform {
namespace {

constexpr size_t kMaxFolder = PATH_MAX;

// The attribute bits of an entry; false for what is neither a file nor a
// directory.
bool attributesOf(DIR* dir, const char* name, unsigned char type,
                  uint32_t* attributes) {
  if (type == DT_DIR) {
    *attributes = kAttributeDirectory;
    return true;
  }
  if (type == DT_REG) {
    *attributes = 0;
    return true;
  }
  if (type != DT_UNKNOWN && type != DT_LNK) return false;
  struct stat st;
  if (fstatat(dirfd(dir), name, &st, 0) != 0) return false;
  if (S_ISDIR(st.st_mode)) {
    *attributes = kAttributeDirectory;
    return true;
  }
  if (S_ISREG(st.st_mode)) {
    *attributes = 0;
    return true;
  }
  return false;
}

void fill(FoundEntry* entry, uint32_t attributes, const char* name) {
  entry->attributes = attributes;
  std::memset(entry->name, 0, sizeof(entry->name));
  std::memcpy(entry->name, name, std::strlen(name));
}

}  // namespace

WildcardSearch::~WildcardSearch() { close(); }

bool WildcardSearch::first(const char* pattern, FoundEntry* entry) {
  close();
  if (pattern == nullptr || entry == nullptr) return false;
  const char* component = pattern;
  for (const char* p = pattern; *p != '\0'; ++p)
    if (*p == '/' || *p == '\\') component = p + 1;
  size_t length = std::strlen(component);
  if (length == 0 || length >= sizeof(pattern_) ||
      length >= sizeof(entry->name))
    return false;
  std::memcpy(pattern_, component, length + 1);
  literal_ = !hasWildcards(pattern_);

  // The folder part, separators as slashes; none means the current folder.
  char folder[kMaxFolder];
  size_t folderLength = static_cast<size_t>(component - pattern);
  if (folderLength >= sizeof(folder)) return false;
  if (folderLength == 0) {
    folder[0] = '.';
    folderLength = 1;
  } else {
    for (size_t i = 0; i < folderLength; ++i)
      folder[i] = pattern[i] == '\\' ? '/' : pattern[i];
  }
  folder[folderLength] = '\0';

  DIR* dir = opendir(folder);
  if (dir == nullptr) return false;
  dir_ = dir;
  done_ = false;

  if (literal_) {
    // The name as written is the answer when it exists; otherwise look for
    // it in another letter case.
    uint32_t attributes = 0;
    if (attributesOf(dir, pattern_, DT_UNKNOWN, &attributes)) {
      fill(entry, attributes, pattern_);
      done_ = true;
      return true;
    }
  }
  return advance(entry);
}

bool WildcardSearch::next(FoundEntry* entry) {
  if (dir_ == nullptr || done_ || entry == nullptr) return false;
  return advance(entry);
}

bool WildcardSearch::advance(FoundEntry* entry) {
  DIR* dir = static_cast<DIR*>(dir_);
  for (;;) {
    const dirent* found = readdir(dir);
    if (found == nullptr) {
      done_ = true;
      return false;
    }
    const char* name = found->d_name;
    if (std::strlen(name) >= sizeof(entry->name)) continue;
    if (!wildcardMatches(pattern_, name)) continue;
    uint32_t attributes = 0;
    if (!attributesOf(dir, name, found->d_type, &attributes)) continue;
    fill(entry, attributes, name);
    if (literal_) done_ = true;
    return true;
  }
}

void WildcardSearch::close() {
  if (dir_ != nullptr) closedir(static_cast<DIR*>(dir_));
  dir_ = nullptr;
  done_ = false;
  literal_ = false;
  pattern_[0] = '\0';
}

}  // namespace vorlan::platform

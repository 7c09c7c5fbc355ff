#include "platform/file_identity.h"

#include <sys/stat.h>

#include <string>

namespace vorlan::platform {
namespace {

bool identify(const char* name, struct stat& info) {
  std::string path(name);
  for (char& c : path)
    if (c == '\\') c = '/';
  return stat(path.c_str(), &info) == 0;
}

}  // namespace

bool sameFile(const char* first, const char* second) {
  struct stat a, b;
  return identify(first, a) && identify(second, b) && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace vorlan::platform

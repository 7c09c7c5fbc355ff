// Client libraries on POSIX: dlopen and dlsym.
#include "platform/library.h"

#include <dlfcn.h>

namespace vorlan::platform {

void* loadLibrary(const char* nameOrPath) {
  if (nameOrPath == nullptr || *nameOrPath == '\0') return nullptr;
  // Every entry is resolved now, so a library with a missing dependency fails
  // here rather than at its first call; its symbols stay out of the global
  // namespace so that two engines never see each other's entries.
  return dlopen(nameOrPath, RTLD_NOW | RTLD_LOCAL);
}

void* findEntry(void* library, const char* name) {
  if (library == nullptr || name == nullptr || *name == '\0') return nullptr;
  dlerror();  // clear a stale error
  return dlsym(library, name);
}

}  // namespace vorlan::platform

// Loading a client library at run time and resolving its entries.
#pragma once

namespace vorlan::platform {

// Returns a handle, or nullptr when the library cannot be loaded.
void* loadLibrary(const char* nameOrPath);
// Returns the entry's address, or nullptr when the library lacks it.
void* findEntry(void* library, const char* name);

}  // namespace vorlan::platform

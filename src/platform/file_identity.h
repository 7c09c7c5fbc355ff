// Whether two names denote the same file.
#pragma once

namespace vorlan::platform {

// True when both names (backslashes read as directory separators) lead to
// one existing file.
bool sameFile(const char* first, const char* second);

}  // namespace vorlan::platform

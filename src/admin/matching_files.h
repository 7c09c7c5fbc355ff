// The files a wildcard pattern finds, for the two deployment checks.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/run_options.h"
#include "platform/wildcard.h"

namespace vorlan {

// The folder part of a pattern, up to and including its last '\' or '/';
// empty when the pattern names the current directory.
std::string patternFolder(const char* fileSpec);

// Calls visit(bareName, path) for every file (not directory) the pattern
// finds, the path being where the pattern found it, with the trace
// "Found Matching File" at verbosity 1. Returns the number of files.
template <typename Visit>
int32_t forEachMatchingFile(const char* fileSpec, Visit visit) {
  const std::string folder = patternFolder(fileSpec);
  int32_t total = 0;
  platform::WildcardSearch search;
  platform::FoundEntry entry;
  for (bool found = search.first(fileSpec, &entry); found; found = search.next(&entry)) {
    if (entry.attributes & platform::kAttributeDirectory) continue;
    ++total;
    if (runOptions.verbosity != 0) fprintf(stderr, "Found Matching File: %s\r\n", entry.name);
    visit(static_cast<const char*>(entry.name), folder + entry.name);
  }
  search.close();
  return total;
}

}  // namespace vorlan

// Comparing each matching file's statistics with its copy in a partner
// folder.
#pragma once

#include <cstdint>

namespace vorlan {

// Returns the number of files that do not match.
int32_t checkPartnerStats(const char* fileSpec, const char* partnerFolder);

}  // namespace vorlan

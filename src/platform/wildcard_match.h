// Matching a bare file name against the last component of a wildcard
// pattern, the way Windows file enumeration does it.
#pragma once

namespace vorlan::platform {

// True when the text holds '*' or '?'.
bool hasWildcards(const char* text);

// Whether the name matches the pattern, ASCII letters compared without
// regard to case. '*' matches any run of characters and '?' any single one;
// besides, as on Windows:
// - "*.*" (like "*") matches every name, also one without a dot;
// - a '*' just before a '.' stops at the name's last dot ("*.MKD" matches
//   "A.B.MKD", "*." only names without an extension);
// - a '.' followed by '*', '?' or the end of the pattern also matches the
//   end of the name ("ORDERS.*" matches "ORDERS");
// - '?' at a dot or at the end of the name matches nothing, so that
//   "FILE????.MKD" matches "FILE1.MKD".
// Patterns and names are limited to 255 characters; longer ones match
// nothing.
bool wildcardMatches(const char* pattern, const char* name);

}  // namespace vorlan::platform

// The data files matching a pattern that the DX dictionary in slot 1 does
// not know.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vorlan {

// Returns the number of files reported.
int32_t checkDeployment(const char* fileSpec);

// Replaces trailing blanks by terminators, never the first character: a
// text of blanks only keeps one blank.
void trimTrailingSpaces(char* text);

// The name-list entry of one FILE.DDF record of `length` bytes: its location
// field (offset 22, 64 characters, ended by blanks or a zero byte), trimmed,
// with one leading "..\" dropped. Bytes the record does not have count as
// the end of the field.
std::string dictionaryLocation(const unsigned char* record, size_t length);

}  // namespace vorlan

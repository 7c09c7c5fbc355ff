// Windows-style wildcard matching of bare file names.
#include "platform/wildcard_match.h"

#include <cstddef>
#include <cstring>

namespace vorlan::platform {
namespace {

constexpr size_t kMaxLength = 255;

enum class Token : unsigned char { Literal, Star, StarToDot, Question, Dot };

char fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool hasWildcards(const char* text) {
  return text != nullptr && std::strpbrk(text, "*?") != nullptr;
}

bool wildcardMatches(const char* pattern, const char* name) {
  if (pattern == nullptr || name == nullptr) return false;
  size_t m = std::strlen(pattern);
  size_t n = std::strlen(name);
  if (m > kMaxLength || n > kMaxLength) return false;

  Token tokens[kMaxLength];
  for (size_t i = 0; i < m; ++i) {
    char c = pattern[i], after = pattern[i + 1];
    if (c == '?') {
      tokens[i] = Token::Question;
    } else if (c == '*') {
      tokens[i] = after == '.' ? Token::StarToDot : Token::Star;
    } else if (c == '.' && (after == '*' || after == '?' || after == '\0')) {
      tokens[i] = Token::Dot;
    } else {
      tokens[i] = Token::Literal;
    }
  }
  ptrdiff_t lastDot = -1;
  for (size_t j = 0; j < n; ++j)
    if (name[j] == '.') lastDot = static_cast<ptrdiff_t>(j);

  // later[j]: pattern[i+1..] matches name[j..]; row[j]: pattern[i..] does.
  // afterQuestions: the row of the first token after the current run of '?'.
  bool rowsA[kMaxLength + 2], rowsB[kMaxLength + 2], afterQuestions[kMaxLength + 2];
  bool* later = rowsA;
  bool* row = rowsB;
  for (size_t j = 0; j <= n; ++j) later[j] = (j == n);
  for (size_t i = m; i-- > 0;) {
    if (tokens[i] == Token::Question &&
        (i + 1 == m || tokens[i + 1] != Token::Question))
      std::memcpy(afterQuestions, later, (n + 1) * sizeof(bool));
    for (size_t j = n + 1; j-- > 0;) {
      bool more = j < n;
      bool r = false;
      switch (tokens[i]) {
        case Token::Literal:
          r = more && fold(name[j]) == fold(pattern[i]) && later[j + 1];
          break;
        case Token::Star:
          r = later[j] || (more && row[j + 1]);
          break;
        case Token::StarToDot:
          r = later[j] || (more && static_cast<ptrdiff_t>(j) != lastDot && row[j + 1]);
          break;
        case Token::Question:
          r = (more && name[j] != '.') ? later[j + 1] : afterQuestions[j];
          break;
        case Token::Dot:
          r = more ? (name[j] == '.' && later[j + 1]) : later[j];
          break;
      }
      row[j] = r;
    }
    bool* t = later;
    later = row;
    row = t;
  }
  return later[0];
}

}  // namespace vorlan::platform

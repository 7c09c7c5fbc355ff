#include "shell/numbers.h"

#include <cctype>

namespace vorlan {
namespace {

const char* skipBlanks(const char* text) {
  while (isspace(static_cast<unsigned char>(*text))) ++text;
  return text;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

int32_t decimalArgument(const char* text) {
  const char* p = skipBlanks(text);
  bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  int64_t magnitude = 0;
  for (; isdigit(static_cast<unsigned char>(*p)); ++p) {
    magnitude = magnitude * 10 + (*p - '0');
    if (magnitude > INT64_C(2147483648)) magnitude = INT64_C(2147483648);  // saturate
  }
  int64_t value = negative ? -magnitude : magnitude;
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

uint64_t hexadecimalArgument(const char* text) {
  const char* p = skipBlanks(text);
  bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && hexDigit(p[2]) >= 0) p += 2;
  uint64_t value = 0;
  bool overflow = false;
  for (int d; (d = hexDigit(*p)) >= 0; ++p) {
    if (value >> 60) overflow = true;
    value = value << 4 | static_cast<uint64_t>(d);
  }
  if (overflow) return UINT64_MAX;
  return negative ? 0 - value : value;
}

}  // namespace vorlan

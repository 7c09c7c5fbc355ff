#include "replication/parse_command.h"

#include <cstdio>

namespace vorlan {

namespace {

int hexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool isWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

uint64_t parseHexadecimal(const char* digits) {
  uint64_t value = 0;
  for (; hexDigitValue(*digits) >= 0; ++digits) {
    if (value > (UINT64_MAX >> 4)) return UINT64_MAX;
    value = (value << 4) | static_cast<uint64_t>(hexDigitValue(*digits));
  }
  return value;
}

uint64_t parseDecimal(const char* text) {
  while (isWhiteSpace(*text)) ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') {
    negative = *text == '-';
    ++text;
  }
  // The magnitude saturates at the limit of the sign: 2^63 - 1 or 2^63.
  const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
  uint64_t magnitude = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    const uint64_t digit = static_cast<uint64_t>(*text - '0');
    if (magnitude > (limit - digit) / 10) {
      magnitude = limit;
    } else {
      magnitude = magnitude * 10 + digit;
    }
  }
  // Negation modulo 2^64 is the two's-complement pattern of the value.
  return negative ? uint64_t{0} - magnitude : magnitude;
}

}  // namespace

ReplicationTimestamp parseTimestampArgument(const char* argument) {
  if (argument == nullptr) return 0;
  if (argument[0] == '0' && (argument[1] == 'x' || argument[1] == 'X')) {
    return parseHexadecimal(argument + 2);
  }
  return parseDecimal(argument);
}

int32_t showTimestamp(const char* argument) {
  const ReplicationTimestamp value = parseTimestampArgument(argument);
  std::fprintf(stderr, "Hex Value is %.8X%.8X\n", static_cast<unsigned>(value >> 32),
               static_cast<unsigned>(value & 0xFFFFFFFFu));
  char text[kTimestampTextSize];
  formatTimestamp(value, text, sizeof text);
  std::fprintf(stderr, "[%s]\n", text);
  return 0;
}

}  // namespace vorlan

// Number arguments of the command line.
#pragma once

#include <cstdint>

namespace vorlan {

// Leading blanks, an optional sign, decimal digits up to the first other
// character; no digits gives 0; out of range gives the nearer limit.
int32_t decimalArgument(const char* text);

// Leading blanks, an optional sign (minus negates modulo 2^64), an optional
// 0x/0X prefix, hexadecimal digits up to the first other character; no
// digits gives 0; more than 64 bits gives the largest value.
uint64_t hexadecimalArgument(const char* text);

}  // namespace vorlan

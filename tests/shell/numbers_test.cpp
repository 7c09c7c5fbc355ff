#include "shell/numbers.h"

#include <gtest/gtest.h>

namespace vorlan {
namespace {

TEST(DecimalArgument, ConvertsLikeTheCommandLineReadsIt) {
  struct {
    const char* text;
    int32_t value;
  } cases[] = {
      {"0", 0},          {"17", 17},           {"  -3", -3},         {"+42x", 42},
      {"", 0},           {"abc", 0},           {"12ab34", 12},       {"2147483647", INT32_MAX},
      {"2147483648", INT32_MAX},               {"-2147483648", INT32_MIN},
      {"-99999999999999999999", INT32_MIN},    {"99999999999999999999", INT32_MAX},
      {" \t7", 7},       {"- 5", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(decimalArgument(c.text), c.value) << '"' << c.text << '"';
}

TEST(HexadecimalArgument, ConvertsLikeTheCommandLineReadsIt) {
  struct {
    const char* text;
    uint64_t value;
  } cases[] = {
      {"0x08DC2A1B3C4D5E6F", 0x08DC2A1B3C4D5E6FULL},
      {"08dc2a1b3c4d5e6f", 0x08DC2A1B3C4D5E6FULL},
      {"0X1f", 0x1F},
      {"  ff", 0xFF},
      {"-1", UINT64_MAX},
      {"-0x2", UINT64_MAX - 1},
      {"0", 0},
      {"0x0", 0},
      {"zz", 0},
      {"", 0},
      {"12g4", 0x12},
      {"FFFFFFFFFFFFFFFF", UINT64_MAX},
      {"10000000000000000", UINT64_MAX},
      {"0x", 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(hexadecimalArgument(c.text), c.value) << '"' << c.text << '"';
}

}  // namespace
}  // namespace vorlan

#include "platform/library.h"

#include <gtest/gtest.h>

namespace vorlan::platform {
namespace {

TEST(Library, LoadsAndResolves) {
  void* libm = loadLibrary("libm.so.6");
  ASSERT_NE(libm, nullptr);
  auto cosine = reinterpret_cast<double (*)(double)>(findEntry(libm, "cos"));
  ASSERT_NE(cosine, nullptr);
  EXPECT_EQ(cosine(0.0), 1.0);
  EXPECT_EQ(findEntry(libm, "NoSuchEntry"), nullptr);
  EXPECT_EQ(findEntry(libm, ""), nullptr);
}

TEST(Library, FailuresGiveNull) {
  EXPECT_EQ(loadLibrary("libvorlan-no-such-library.so"), nullptr);
  EXPECT_EQ(loadLibrary("/no/such/folder/libx.so"), nullptr);
  EXPECT_EQ(loadLibrary(""), nullptr);
  EXPECT_EQ(loadLibrary(nullptr), nullptr);
  EXPECT_EQ(findEntry(nullptr, "cos"), nullptr);
}

}  // namespace
}  // namespace vorlan::platform

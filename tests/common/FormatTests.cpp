#include <gtest/gtest.h>

#include "common/Format.h"

TEST(Format_FormatWide, FitsExactlyOrLeavesBufferEmpty) {
  wchar_t buffer[8];
  EXPECT_TRUE(FormatWide(buffer, L"%ls", L"1234567"));
  EXPECT_STREQ(buffer, L"1234567");
  EXPECT_FALSE(FormatWide(buffer, L"%ls", L"12345678"));
  EXPECT_STREQ(buffer, L"");
  EXPECT_FALSE(FormatWide(buffer, L"Update available: %ls", L"1.0"));
  EXPECT_STREQ(buffer, L"");
}

TEST(Format_FormatWide, LongArgumentsNeverOverrun) {
  wchar_t buffer[128 + 8];
  for (size_t i = 128; i < 128 + 8; ++i) buffer[i] = L'#';
  const std::wstring huge(100000, L'9');
  EXPECT_FALSE(FormatWide(reinterpret_cast<wchar_t(&)[128]>(buffer), L"Update available: %ls", huge.c_str()));
  EXPECT_EQ(buffer[0], L'\0');
  for (size_t i = 128; i < 128 + 8; ++i) EXPECT_EQ(buffer[i], L'#');
}

#include <gtest/gtest.h>

#include "common/Text.h"

TEST(Text_ToLowerAscii, ChangesOnlyAsciiCapitals) {
  const std::wstring input = {0x00C4, 0x0042, 0x0043, 0x002D, 0x03A9, L'@', L'[', L'Z', L'A'};
  const std::wstring expected = {0x00C4, 0x0062, 0x0063, 0x002D, 0x03A9, L'@', L'[', L'z', L'a'};
  EXPECT_EQ(ToLowerAscii(input), expected);
  EXPECT_EQ(ToLowerAscii(L""), L"");
  const std::wstring surrogates = {0xD83D, 0xDE00};
  EXPECT_EQ(ToLowerAscii(surrogates), surrogates);
}

TEST(Text_Utf8ToWide, KeepsEmbeddedNulAndReplacesBadBytes) {
  EXPECT_EQ(Utf8ToWide(std::string("a\0b", 3)), std::wstring(L"a\0b", 3));
  EXPECT_EQ(Utf8ToWide("\xFF"), std::wstring(1, 0xFFFD));
  EXPECT_EQ(Utf8ToWide(""), L"");
  EXPECT_EQ(Utf8ToWide("\xEF\xBB\xBFx"), std::wstring({0xFEFF, L'x'}));
  EXPECT_EQ(Utf8ToWide("\xC3\xA9\xE7\xAE\x80\xF0\x9F\x98\x80"), std::wstring({0x00E9, 0x7B80, 0xD83D, 0xDE00}));
}

TEST(Text_Utf8ToWide, TruncatedSequenceAtEndBecomesReplacement) {
  const std::wstring text = Utf8ToWide("ab\xE7\xAE");
  ASSERT_GE(text.size(), 3u);
  EXPECT_EQ(text.substr(0, 2), L"ab");
  EXPECT_EQ(text[2], 0xFFFD);
}

TEST(Text_WideToUtf8, StopsAtFirstNul) {
  EXPECT_EQ(WideToUtf8(std::wstring(L"a\0b", 3)), "a");
  EXPECT_EQ(WideToUtf8(std::wstring(L"\0abc", 4)), "");
  EXPECT_EQ(WideToUtf8(L""), "");
}

TEST(Text_WideToUtf8, LoneSurrogatesBecomeReplacementBytes) {
  EXPECT_EQ(WideToUtf8(std::wstring(1, 0xD800)), "\xEF\xBF\xBD");
  EXPECT_EQ(WideToUtf8(std::wstring({L'x', 0xDC00, L'y'})), "x\xEF\xBF\xBDy");
}

TEST(Text_Utf8RoundTrip, ValidTextSurvivesBothDirections) {
  const std::wstring samples[] = {
      L"En",
      L"\u0420\u0443",
      L"\u7B80 \u7E41",
      std::wstring({L'a', 0xD83D, 0xDE00, L'z'}),
      std::wstring(5000, L'x'),
  };
  for (const auto& sample : samples) {
    EXPECT_EQ(Utf8ToWide(WideToUtf8(sample)), sample);
  }
}

#include <gtest/gtest.h>

#include <windows.h>

#include <cwctype>
#include <set>

#include "common/Identifiers.h"
#include "common/Time.h"

TEST(Time_IsoFromUnixTime, FormatsUtcToTheSecond) {
  struct Case {
    uint64_t seconds;
    const wchar_t* text;
  };
  const Case cases[] = {
      {0, L"1970-01-01T00:00:00Z"},
      {86399, L"1970-01-01T23:59:59Z"},
      {951782400, L"2000-02-29T00:00:00Z"},
      {4102444799ULL, L"2099-12-31T23:59:59Z"},
      {253402300799ULL, L"9999-12-31T23:59:59Z"},
  };
  for (const Case& c : cases) EXPECT_EQ(IsoFromUnixTime(c.seconds), c.text) << c.seconds;
}

TEST(Time_IsoFromUnixTime, UnconvertibleTimeFallsBackToNow) {
  // Gives a FILETIME with its top bit set, which the platform refuses.
  const std::wstring text = IsoFromUnixTime(922337203685ULL);
  ASSERT_EQ(text.size(), 20u);
  SYSTEMTIME now;
  GetSystemTime(&now);
  EXPECT_EQ(std::stoi(text.substr(0, 4)), now.wYear);
  EXPECT_EQ(text.back(), L'Z');
}

TEST(Time_CurrentUnixTime, MatchesSystemClockInUtc) {
  const uint64_t before = CurrentUnixTime();
  const std::wstring iso = IsoFromUnixTime(before);
  SYSTEMTIME now;
  GetSystemTime(&now);
  wchar_t expectedPrefix[16];
  swprintf(expectedPrefix, 16, L"%04hu-%02hu-%02hu", now.wYear, now.wMonth, now.wDay);
  // Tolerate a midnight crossing between the two readings.
  if (now.wHour != 0 || now.wMinute != 0) {
    EXPECT_EQ(iso.substr(0, 10), expectedPrefix);
  }
  EXPECT_GT(before, 1700000000u);
  EXPECT_EQ(iso.size(), 20u);
  EXPECT_EQ(iso.back(), L'Z');
}

TEST(Identifiers_GenerateGuidString, IsUpperCaseGuidWithoutBraces) {
  std::set<std::wstring> seen;
  for (int i = 0; i < 20; ++i) {
    const std::wstring id = GenerateGuidString();
    ASSERT_EQ(id.size(), 36u) << i;
    for (size_t p = 0; p < id.size(); ++p) {
      if (p == 8 || p == 13 || p == 18 || p == 23) {
        EXPECT_EQ(id[p], L'-');
      } else {
        EXPECT_TRUE(iswxdigit(id[p]) && !iswlower(id[p])) << static_cast<int>(id[p]);
      }
    }
    seen.insert(id);
  }
  EXPECT_EQ(seen.size(), 20u);
}

TEST(Identifiers_GenerateFallbackId, HasFixedShapeAndCurrentProcessId) {
  const std::wstring id = GenerateFallbackId();
  ASSERT_EQ(id.size(), 38u);
  EXPECT_EQ(id.substr(0, 4), L"TVW-");
  EXPECT_EQ(id[20], L'-');
  EXPECT_EQ(id[29], L'-');
  wchar_t pid[16];
  swprintf(pid, 16, L"%08lX", static_cast<unsigned long>(GetCurrentProcessId()));
  EXPECT_EQ(id.substr(21, 8), pid);
  for (size_t p = 4; p < id.size(); ++p) {
    if (p == 20 || p == 29) continue;
    EXPECT_TRUE(iswxdigit(id[p]) && !iswlower(id[p]));
  }
}

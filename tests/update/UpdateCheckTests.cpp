#include <gtest/gtest.h>

#include "update/UpdateCheck.h"

TEST(UpdateCheck_VersionNumbers, TakesRunsOfAsciiDigits) {
  using V = std::vector<uint64_t>;
  EXPECT_EQ(VersionNumbers(L"0.1.22"), (V{0, 1, 22}));
  EXPECT_EQ(VersionNumbers(L"build 1.2.3-beta4"), (V{1, 2, 3, 4}));
  EXPECT_EQ(VersionNumbers(L"no digits"), V{});
  EXPECT_EQ(VersionNumbers(L""), V{});
  EXPECT_EQ(VersionNumbers(L"0.01.22"), (V{0, 1, 22}));
  // Full-width and Arabic-Indic digits only separate.
  EXPECT_EQ(VersionNumbers(L"1\xFF12" L"3\x0663" L"4"), (V{1, 3, 4}));
  EXPECT_EQ(VersionNumbers(L"18446744073709551615"), (V{18446744073709551615ULL}));
  EXPECT_EQ(VersionNumbers(L"18446744073709551616"), (V{0}));
  EXPECT_EQ(VersionNumbers(L"18446744073709551617.5"), (V{1, 5}));
}

TEST(UpdateCheck_IsNewerVersion, ComparesAgainstRunningVersion) {
  struct Case {
    const wchar_t* feed;
    bool newer;
  };
  const Case cases[] = {
      {L"0.1.23", true},     {L"0.1.22", false},          {L"0.1.22.0", false},
      {L"0.1", false},       {L"1", true},                {L"build-0.1.23-beta", true},
      {L"0.1.22-rc1", true}, {L"0.01.22", false},         {L"no digits", false},
      {L"0.1.21.9", false},  {L"0.2", true},              {L"", false},
  };
  const auto running = VersionNumbers(L"0.1.22");
  for (const Case& c : cases) EXPECT_EQ(IsNewerVersion(VersionNumbers(c.feed), running), c.newer) << c.feed;
  EXPECT_FALSE(IsNewerVersion({}, {}));
}

TEST(UpdateCheck_ReadFeedSizeBytes, ReadsUnquotedDecimalAfterColon) {
  struct Case {
    const char* body;
    uint64_t value;
  };
  const Case cases[] = {
      {R"({"sizeBytes":1234})", 1234},
      {"{\"sizeBytes\" : \t\r\n 77 }", 77},
      {R"({"sizeBytes"junk here:5})", 5},
      {R"({"sizeBytes":"1234"})", 0},
      {R"({"sizeBytes":-5})", 0},
      {R"({"sizeBytes":+5})", 0},
      {R"({"sizeBytes":null})", 0},
      {R"({"sizeBytes":.5})", 0},
      {R"({"sizeBytes":123.9})", 123},
      {R"({"sizeBytes":1e6})", 1},
      {R"({"sizeBytes":0})", 0},
      {R"({"sizeBytes":})", 0},
      {R"({"sizeBytes":   )", 0},
      {R"({"sizeBytes")", 0},
      {R"({"size":12})", 0},
      {R"({"sizeBytes":18446744073709551615})", 18446744073709551615ULL},
      {R"({"sizeBytes":18446744073709551617})", 1},
      {R"({"a":{"sizeBytes":9},"sizeBytes":10})", 9},
  };
  for (const Case& c : cases) EXPECT_EQ(ReadFeedSizeBytes(c.body), c.value) << c.body;
}

TEST(UpdateCheck_ReadUpdateFeed, CompleteFeedOffersNewerVersion) {
  const std::string body =
      R"({"version":"0.1.23","downloadUrl":"https://x.example/a.zip","sha256":"ABCDEF0123","sizeBytes":42})";
  const UpdateCheckResult result = ReadUpdateFeed(body, true);
  EXPECT_TRUE(result.manual);
  EXPECT_TRUE(result.metadataComplete);
  EXPECT_TRUE(result.updateAvailable);
  EXPECT_EQ(result.version, L"0.1.23");
  EXPECT_EQ(result.downloadUrl, L"https://x.example/a.zip");
  EXPECT_EQ(result.trackedDownloadUrl, L"");
  EXPECT_EQ(result.sha256, L"abcdef0123");
  EXPECT_EQ(result.sizeBytes, 42u);
  EXPECT_EQ(result.error, L"");
}

TEST(UpdateCheck_ReadUpdateFeed, SameVersionIsCompleteButNotNewer) {
  const UpdateCheckResult result = ReadUpdateFeed(
      R"({"sizeBytes": 7, "sha256":"aa", "trackedDownloadUrl":"t", "downloadUrl":"d", "version":"0.1.22"})", false);
  EXPECT_TRUE(result.metadataComplete);
  EXPECT_FALSE(result.updateAvailable);
  EXPECT_EQ(result.trackedDownloadUrl, L"t");
  EXPECT_EQ(result.error, L"");
}

TEST(UpdateCheck_ReadUpdateFeed, IncompleteMetadataKeepsWhatWasRead) {
  const char* bodies[] = {
      R"({"downloadUrl":"d","sha256":"aa","sizeBytes":7})",
      R"({"version":"9","sha256":"aa","sizeBytes":7})",
      R"({"version":"9","downloadUrl":"d","sizeBytes":7})",
      R"({"version":"9","downloadUrl":"d","sha256":"aa","sizeBytes":"7"})",
      R"({"version":"9","downloadUrl":"d","sha256":"aa","sizeBytes":0})",
      R"({"version":"","downloadUrl":"d","sha256":"aa","sizeBytes":7})",
      "",
  };
  for (const char* body : bodies) {
    const UpdateCheckResult result = ReadUpdateFeed(body, true);
    EXPECT_FALSE(result.metadataComplete) << body;
    EXPECT_FALSE(result.updateAvailable) << body;
    EXPECT_EQ(result.error, L"Update metadata is incomplete.") << body;
  }
  const UpdateCheckResult partial = ReadUpdateFeed(R"({"version":"9","downloadUrl":"d","sizeBytes":7})", false);
  EXPECT_EQ(partial.version, L"9");
  EXPECT_EQ(partial.sizeBytes, 7u);
}

TEST(UpdateCheck_ReadUpdateFeed, InvalidUtf8BecomesReplacementCharacters) {
  const UpdateCheckResult result =
      ReadUpdateFeed("{\"version\":\"1.\xFF\",\"downloadUrl\":\"d\",\"sha256\":\"a\",\"sizeBytes\":1}", false);
  EXPECT_EQ(result.version, std::wstring(L"1.") + wchar_t(0xFFFD));
  EXPECT_TRUE(result.updateAvailable);
}

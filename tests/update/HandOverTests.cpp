#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include "common/Paths.h"
#include "tests/support/Platform.h"
#include "update/UpdaterHandOver.h"

namespace {

std::vector<std::wstring> SplitLikeTheUpdater(const std::wstring& commandLine) {
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(commandLine.c_str(), &count);
  std::vector<std::wstring> args;
  for (int i = 0; argv != nullptr && i < count; ++i) args.emplace_back(argv[i]);
  if (argv != nullptr) LocalFree(argv);
  return args;
}

}  // namespace

TEST(HandOver_QuoteArgument, RoundTripsThroughCommandLineToArgv) {
  const std::wstring texts[] = {
      L"",
      L"C:\\Temp\\a.zip",
      L"C:\\Program Files\\Tolvane Win\\TolvaneWin.exe",
      L"\\\\server\\share\\dir\\",
      L"1.2 \"beta\"",
      L"a\\\"b",
      L"ends with backslash\\",
      L"O'Brien's folder\\x",
      L"tab\there",
  };
  for (const auto& text : texts) {
    const auto args = SplitLikeTheUpdater(L"x.exe " + QuoteArgument(text) + L" tail");
    ASSERT_EQ(args.size(), 3u) << text;
    EXPECT_EQ(args[1], text);
    EXPECT_EQ(args[2], L"tail");
  }
  EXPECT_EQ(QuoteArgument(L""), L"\"\"");
  EXPECT_EQ(QuoteArgument(L"C:\\Temp\\a.zip"), L"\"C:\\Temp\\a.zip\"");
}

TEST(HandOver_UpdaterCommandLine, HasExactOptionOrderAndOneTokenPerValue) {
  const std::wstring line = UpdaterCommandLine(L"C:\\Temp Dir\\TolvaneWinUpdater-42.exe", 42, L"C:\\Temp Dir\\u.zip",
                                               L"C:\\Apps Here\\TolvaneWin.exe", L"1.2 \"x\"");
  EXPECT_EQ(line.find(L"\"C:\\Temp Dir\\TolvaneWinUpdater-42.exe\" --pid 42 --zip \""), 0u) << line;
  const auto args = SplitLikeTheUpdater(line);
  ASSERT_EQ(args.size(), 9u);
  EXPECT_EQ(args[1], L"--pid");
  EXPECT_EQ(args[2], L"42");
  EXPECT_EQ(args[3], L"--zip");
  EXPECT_EQ(args[4], L"C:\\Temp Dir\\u.zip");
  EXPECT_EQ(args[5], L"--target");
  EXPECT_EQ(args[6], L"C:\\Apps Here\\TolvaneWin.exe");
  EXPECT_EQ(args[7], L"--version");
  EXPECT_EQ(args[8], L"1.2 \"x\"");
}

TEST(HandOver_UpdaterHelperPath, SitsBesideTheRunningExecutable) {
  const std::wstring expected = JoinPath(testing_support::ExecutableDirectory(), L"TolvaneWinUpdater.exe");
  EXPECT_EQ(UpdaterHelperPath(), expected);
}

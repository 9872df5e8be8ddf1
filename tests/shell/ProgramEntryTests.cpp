// Starts the real TolvaneWin.exe and talks to it as Windows would.
#include <gtest/gtest.h>

#include <windows.h>

#include "tests/support/MessageBoxes.h"
#include "tests/support/Platform.h"
#include "tests/support/Processes.h"
#include "tests/support/ScratchDirectories.h"
#include "tests/support/Windows.h"

using namespace testing_support;

namespace {

constexpr unsigned kStartTimeoutMs = 15000;
constexpr unsigned kExitTimeoutMs = 15000;

class ProgramEntry : public ::testing::Test {
 protected:
  ScratchDirectories dirs;
};

}  // namespace

TEST_F(ProgramEntry, RunsHiddenWindowAndExitsCleanlyOnClose) {
  ChildProcess first;
  ASSERT_TRUE(first.Start(TolvaneWinExePath()));
  HWND window = FindHiddenWindow(kStartTimeoutMs, first.pid());
  ASSERT_NE(window, nullptr);

  wchar_t title[64] = {};
  GetWindowTextW(window, title, 64);
  EXPECT_STREQ(title, L"TolvaneWin");
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_EQ(GetParent(window), nullptr);
  EXPECT_TRUE(first.Running());

  ASSERT_TRUE(PostClose(window));
  DWORD code = 77;
  ASSERT_TRUE(first.Wait(kExitTimeoutMs, code));
  EXPECT_EQ(code, 0u);
}

TEST_F(ProgramEntry, SecondInstanceShowsNoticeAndLeavesFirstRunning) {
  ChildProcess first;
  ASSERT_TRUE(first.Start(TolvaneWinExePath()));
  HWND window = FindHiddenWindow(kStartTimeoutMs, first.pid());
  ASSERT_NE(window, nullptr);

  ChildProcess second;
  ASSERT_TRUE(second.Start(TolvaneWinExePath()));
  FoundMessageBox box;
  ASSERT_TRUE(FindMessageBox(L"TolvaneWin", kStartTimeoutMs, box, second.pid()));
  EXPECT_EQ(box.text, L"TolvaneWin is already running.");
  if (!WineCannotShow("another process's message box icon handle")) {
    EXPECT_EQ(box.icon, 32516);  // IDI_ASTERISK: the information icon
  }
  EXPECT_EQ(FindHiddenWindow(200, second.pid()), nullptr);
  ASSERT_TRUE(DismissMessageBox(box));
  DWORD code = 77;
  ASSERT_TRUE(second.Wait(kExitTimeoutMs, code));
  EXPECT_EQ(code, 0u);

  EXPECT_TRUE(first.Running());
  EXPECT_TRUE(IsWindow(window));
  ASSERT_TRUE(PostClose(window));
  ASSERT_TRUE(first.Wait(kExitTimeoutMs, code));
  EXPECT_EQ(code, 0u);

  // The mutex was released: a new start runs normally.
  ChildProcess third;
  ASSERT_TRUE(third.Start(TolvaneWinExePath()));
  HWND again = FindHiddenWindow(kStartTimeoutMs, third.pid());
  ASSERT_NE(again, nullptr);
  ASSERT_TRUE(PostClose(again));
  ASSERT_TRUE(third.Wait(kExitTimeoutMs, code));
  EXPECT_EQ(code, 0u);
}


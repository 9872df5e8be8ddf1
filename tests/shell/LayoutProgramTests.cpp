// Starts the real program with a German user locale.
#include <gtest/gtest.h>

#include <windows.h>

#include "tests/support/Processes.h"
#include "tests/support/ScratchDirectories.h"
#include "tests/support/ScratchRegistry.h"
#include "tests/support/Windows.h"

using namespace testing_support;

TEST(LayoutProgram, RunsWithGermanLayoutAndExitsCleanly) {
  ScratchDirectories dirs;
  ChildProcess program;
  ASSERT_TRUE(program.Start(TolvaneWinExePath(), L"", {{L"LC_ALL", L"de_DE.UTF-8"}}));
  HWND window = FindHiddenWindow(15000, program.pid());
  ASSERT_NE(window, nullptr);

  // Several layout polls and pointer refreshes run before the exit.
  Sleep(700);
  EXPECT_TRUE(program.Running());
  ASSERT_TRUE(PostClose(window));
  DWORD code = 77;
  ASSERT_TRUE(program.Wait(15000, code));
  EXPECT_EQ(code, 0u);
  RegDeleteTreeIfPresent(HKEY_CURRENT_USER, L"Software\\TolvaneWin");
}

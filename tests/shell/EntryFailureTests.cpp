// Start-up failures of the program entry, brought about inside the test
// process: each shows its box, returns its exit code and shuts GDI+ down.
#include <gtest/gtest.h>

#include <windows.h>

#include <thread>

#include "shell/AppState.h"
#include "shell/ProgramEntry.h"
#include "shell/ShellConstants.h"
#include "tests/support/MessageBoxes.h"

using namespace testing_support;

namespace {

struct SeenBox {
  bool found = false;
  std::wstring caption;
  std::wstring text;
  int icon = 0;
};

// Runs the entry while a second thread reads and dismisses the box it shows.
int RunAndDismiss(SeenBox& seen) {
  std::thread watcher([&] {
    FoundMessageBox box;
    if (FindMessageBox(L"TolvaneWin", 10000, box, GetCurrentProcessId())) {
      seen.found = true;
      seen.caption = box.caption;
      seen.text = box.text;
      seen.icon = box.icon;
      DismissMessageBox(box);
    }
  });
  const int code = RunTrayProgram(GetModuleHandleW(nullptr));
  watcher.join();
  return code;
}

class ProgramEntryFailure : public ::testing::Test {
 protected:
  void SetUp() override { g_app = AppState{}; }
  void TearDown() override {
    // The entry leaves the mutex to the end of the process on these paths.
    if (g_app.singleInstanceMutex != nullptr) {
      ReleaseMutex(g_app.singleInstanceMutex);
      CloseHandle(g_app.singleInstanceMutex);
    }
    g_app = AppState{};
  }
};

HWND g_blockedClassWindow = nullptr;

LRESULT CALLBACK RefuseHiddenWindow(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND) {
    const CREATESTRUCTW* create = reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs;
    if (HIWORD(reinterpret_cast<ULONG_PTR>(create->lpszClass)) != 0 &&
        wcscmp(create->lpszClass, kWindowClassName) == 0) {
      g_blockedClassWindow = reinterpret_cast<HWND>(wParam);
      return 1;
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

TEST_F(ProgramEntryFailure, RunningInstanceIsReportedWithCodeZero) {
  HANDLE other = CreateMutexW(nullptr, FALSE, kMutexName);
  ASSERT_NE(other, nullptr);
  SeenBox seen;
  EXPECT_EQ(RunAndDismiss(seen), 0);
  CloseHandle(other);
  ASSERT_TRUE(seen.found);
  EXPECT_EQ(seen.text, L"TolvaneWin is already running.");
  EXPECT_EQ(seen.icon, 32516);  // information
  EXPECT_EQ(g_app.gdiplusToken, 0u);
}

TEST_F(ProgramEntryFailure, ClassThatCannotBeRegisteredEndsWithCodeOne) {
  WNDCLASSEXW taken = {};
  taken.cbSize = sizeof(taken);
  taken.lpfnWndProc = DefWindowProcW;
  taken.hInstance = GetModuleHandleW(nullptr);
  taken.lpszClassName = kWindowClassName;
  ASSERT_NE(RegisterClassExW(&taken), 0);
  SeenBox seen;
  EXPECT_EQ(RunAndDismiss(seen), 1);
  UnregisterClassW(kWindowClassName, GetModuleHandleW(nullptr));
  ASSERT_TRUE(seen.found);
  EXPECT_EQ(seen.text, L"Failed to register the hidden window class.");
  EXPECT_EQ(seen.icon, 32513);  // error
  EXPECT_EQ(g_app.gdiplusToken, 0u) << "GDI+ is shut down again";
  EXPECT_NE(g_app.singleInstanceMutex, nullptr);
}

TEST_F(ProgramEntryFailure, HiddenWindowThatCannotBeCreatedEndsWithCodeOne) {
  HHOOK hook = SetWindowsHookExW(WH_CBT, RefuseHiddenWindow, nullptr, GetCurrentThreadId());
  ASSERT_NE(hook, nullptr);
  SeenBox seen;
  const int code = RunAndDismiss(seen);
  UnhookWindowsHookEx(hook);
  UnregisterClassW(kWindowClassName, GetModuleHandleW(nullptr));
  EXPECT_EQ(code, 1);
  ASSERT_NE(g_blockedClassWindow, nullptr) << "the hidden window was attempted";
  ASSERT_TRUE(seen.found);
  EXPECT_EQ(seen.text, L"Failed to create the hidden window.");
  EXPECT_EQ(seen.icon, 32513);
  EXPECT_EQ(g_app.gdiplusToken, 0u);
  EXPECT_EQ(g_app.hiddenWindow, nullptr);
}

// Drives the running TolvaneWin.exe through its menu commands and tray callback.
// These share the prefix's HKCU with every other program test, so each one
// clears "Software\TolvaneWin" and the Run value before and after.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "common/Version.h"
#include "shell/ShellConstants.h"
#include "tests/support/Platform.h"
#include "tests/support/Processes.h"
#include "tests/support/ScratchDirectories.h"
#include "tests/support/ScratchRegistry.h"
#include "tests/support/Windows.h"

using namespace testing_support;

namespace {

constexpr unsigned kStartTimeoutMs = 15000;
constexpr unsigned kExitTimeoutMs = 15000;
constexpr unsigned kCommandTimeoutMs = 5000;
constexpr wchar_t kKey[] = L"Software\\TolvaneWin";
constexpr wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

void CleanRegistry() {
  RegDeleteTreeIfPresent(HKEY_CURRENT_USER, kKey);
  HKEY run = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kRun, 0, KEY_SET_VALUE, &run) == ERROR_SUCCESS) {
    RegDeleteValueW(run, L"TolvaneWin");
    RegCloseKey(run);
  }
}

bool ReadValue(const wchar_t* subkey, const wchar_t* name, DWORD& type, std::wstring& text) {
  std::string raw;
  return RegReadRaw(HKEY_CURRENT_USER, subkey, name, type, text, raw);
}

bool StoredText(const wchar_t* subkey, const wchar_t* name, std::wstring& text) {
  DWORD type = 0;
  return ReadValue(subkey, name, type, text) && type == REG_SZ;
}

bool StoredDword(const wchar_t* name, DWORD& value) {
  DWORD type = 0;
  std::wstring text;
  std::string raw;
  if (!RegReadRaw(HKEY_CURRENT_USER, kKey, name, type, text, raw) || type != REG_DWORD || raw.size() != 4) {
    return false;
  }
  memcpy(&value, raw.data(), 4);
  return true;
}

bool SameFilePath(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

class TrayProgram : public ::testing::Test {
 protected:
  void SetUp() override { CleanRegistry(); }
  void TearDown() override {
    if (program.Running() && window != nullptr) {
      PostCommand(window, kMenuExit);
      DWORD code = 0;
      program.Wait(kExitTimeoutMs, code);
    }
    program.Kill();
    CleanRegistry();
  }

  // Callers stop at a failed start: with no process id, window and menu
  // searches would match other tests' programs.
  void Start() {
    ASSERT_TRUE(program.Start(TolvaneWinExePath()));
    window = FindHiddenWindow(kStartTimeoutMs, program.pid());
    ASSERT_NE(window, nullptr);
    // The window is visible to others while its creation still runs; a sent
    // message is answered only once the start-up is over.
    DWORD_PTR ignored = 0;
    ASSERT_NE(SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, kStartTimeoutMs, &ignored), 0);
  }

  void ExitWithCodeZero() {
    ASSERT_TRUE(PostCommand(window, kMenuExit));
    DWORD code = 77;
    ASSERT_TRUE(program.Wait(kExitTimeoutMs, code));
    EXPECT_EQ(code, 0u);
    EXPECT_FALSE(IsWindow(window));
  }

  ScratchDirectories dirs;
  ChildProcess program;
  HWND window = nullptr;
};

}  // namespace

TEST_F(TrayProgram, FirstStartStoresStateAndExitEndsWithZero) {
  ASSERT_NO_FATAL_FAILURE(Start());
  std::wstring text;
  EXPECT_TRUE(StoredText(kKey, L"InstallId", text));
  EXPECT_EQ(text.size(), 36u);
  EXPECT_TRUE(StoredText(kKey, L"LastSeenVersion", text));
  EXPECT_EQ(text, kAppVersion);
  EXPECT_TRUE(StoredText(kKey, L"BadgeStyle", text));
  EXPECT_EQ(text, L"letter");
  DWORD leftHanded = 7;
  EXPECT_TRUE(StoredDword(L"LeftHanded", leftHanded));
  EXPECT_EQ(leftHanded, 1u);
  EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, kRun, L"TolvaneWin"));

  // An unknown command is ignored.
  ASSERT_TRUE(PostCommand(window, 2010));
  Sleep(200);
  EXPECT_TRUE(program.Running());
  ExitWithCodeZero();
}

TEST_F(TrayProgram, StartupCommandWritesAndDeletesRunValue) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_TRUE(PostCommand(window, kMenuLaunchAtStartup));
  std::wstring value;
  ASSERT_TRUE(WaitFor([&] { return StoredText(kRun, L"TolvaneWin", value); }, kCommandTimeoutMs));
  ASSERT_GE(value.size(), 2u);
  EXPECT_EQ(value.front(), L'"');
  EXPECT_EQ(value.back(), L'"');
  EXPECT_TRUE(SameFilePath(value.substr(1, value.size() - 2), TolvaneWinExePath())) << testing::PrintToString(value);

  ASSERT_TRUE(PostCommand(window, kMenuLaunchAtStartup));
  EXPECT_TRUE(WaitFor([&] { return !RegValueExists(HKEY_CURRENT_USER, kRun, L"TolvaneWin"); }, kCommandTimeoutMs));
  ExitWithCodeZero();
}

TEST_F(TrayProgram, RunValueFoundAtStartIsSwitchedOffByCommand) {
  ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, kRun, L"TolvaneWin", L"  \"" + TolvaneWinExePath() + L"\" --x\r\n"));
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_TRUE(PostCommand(window, kMenuLaunchAtStartup));
  EXPECT_TRUE(WaitFor([&] { return !RegValueExists(HKEY_CURRENT_USER, kRun, L"TolvaneWin"); }, kCommandTimeoutMs));
  ExitWithCodeZero();
}

TEST_F(TrayProgram, TrayClickOpensMenuAndExitRowEndsProgram) {
  ASSERT_NO_FATAL_FAILURE(Start());
  // Notification version 4: the event in the low word, the icon id in the high word.
  ASSERT_TRUE(PostMessageW(window, kTrayCallbackMessage, 0, MAKELPARAM(WM_RBUTTONUP, 1)));
  HWND menu = FindOpenPopupMenu(program.pid(), kCommandTimeoutMs);
  ASSERT_NE(menu, nullptr);
  PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_TRUE(WaitFor([&] { return FindOpenPopupMenu(program.pid(), 0) == nullptr; }, kCommandTimeoutMs));
  EXPECT_TRUE(program.Running());

  ASSERT_TRUE(PostMessageW(window, kTrayCallbackMessage, 0, MAKELPARAM(WM_LBUTTONUP, 1)));
  menu = FindOpenPopupMenu(program.pid(), kCommandTimeoutMs);
  ASSERT_NE(menu, nullptr);
  // From no selection, Up wraps to the last row: "Exit".
  PostMessageW(menu, WM_KEYDOWN, VK_UP, 0);
  PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
  DWORD code = 77;
  ASSERT_TRUE(program.Wait(kExitTimeoutMs, code));
  EXPECT_EQ(code, 0u);
}

TEST_F(TrayProgram, CursorCommandsChangeStoredPreferences) {
  ASSERT_NO_FATAL_FAILURE(Start());
  DWORD leftHanded = 7;
  ASSERT_TRUE(StoredDword(L"LeftHanded", leftHanded));
  ASSERT_EQ(leftHanded, 1u);

  ASSERT_TRUE(PostCommand(window, kMenuRightHanded));
  EXPECT_TRUE(WaitFor([&] { return StoredDword(L"LeftHanded", leftHanded) && leftHanded == 0; }, kCommandTimeoutMs));

  std::wstring badge;
  ASSERT_TRUE(PostCommand(window, kMenuBadgeDot));
  EXPECT_TRUE(WaitFor([&] { return StoredText(kKey, L"BadgeStyle", badge) && badge == L"dot"; }, kCommandTimeoutMs));

  // The feature switch is not stored; the program keeps running and answering.
  ASSERT_TRUE(PostCommand(window, kMenuEnable));
  ASSERT_TRUE(PostCommand(window, kMenuEnable));
  ASSERT_TRUE(PostCommand(window, kMenuRestoreCursor));
  // Preference commands still work after "Restore OS cursor" switched the feature off.
  ASSERT_TRUE(PostCommand(window, kMenuLeftHanded));
  EXPECT_TRUE(WaitFor([&] { return StoredDword(L"LeftHanded", leftHanded) && leftHanded == 1; }, kCommandTimeoutMs));
  EXPECT_TRUE(StoredText(kKey, L"BadgeStyle", badge));
  EXPECT_EQ(badge, L"dot");
  EXPECT_TRUE(program.Running());

  ExitWithCodeZero();

  // The next start reads the stored choices and writes them back in canonical
  // form (an unread "BadgeStyle" would come back as "letter").
  ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, kKey, L"BadgeStyle", L"DOT_BADGE"));
  ASSERT_TRUE(RegSetDword(HKEY_CURRENT_USER, kKey, L"LeftHanded", 5));
  ASSERT_NO_FATAL_FAILURE(Start());
  EXPECT_TRUE(StoredText(kKey, L"BadgeStyle", badge));
  EXPECT_EQ(badge, L"dot");
  EXPECT_TRUE(StoredDword(L"LeftHanded", leftHanded));
  EXPECT_EQ(leftHanded, 1u);
  ExitWithCodeZero();
}

// Start with Windows: reading the "Run" value and the menu command.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

#include "common/Paths.h"
#include "shell/AppState.h"
#include "shell/AutoStart.h"
#include "shell/MenuCommands.h"
#include "shell/ShellConstants.h"
#include "tests/shell/ShellTestSupport.h"
#include "tests/support/MessageBoxes.h"
#include "tests/support/ScratchRegistry.h"

using namespace testing_support;
using namespace shell_tests;

namespace {

constexpr wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kWarning[] =
    L"Could not update Windows startup setting. Check that the current user can write to HKCU Run.";

}  // namespace

TEST(AutoStart_RunValueProgramPath, ExtractsThePathOfTheCommand) {
  const struct {
    const wchar_t* value;
    const wchar_t* path;
  } cases[] = {
      {L"\"C:\\Apps\\Tolvane Win\\TolvaneWin.exe\"", L"C:\\Apps\\Tolvane Win\\TolvaneWin.exe"},
      {L"\"C:\\A B\\t.exe\" --minimized", L"C:\\A B\\t.exe"},
      {L"\"C:\\A B\\t.exe\"--x", L"C:\\A B\\t.exe"},
      {L"C:\\Apps\\t.exe", L"C:\\Apps\\t.exe"},
      {L"C:\\Apps\\t.exe /flag", L"C:\\Apps\\t.exe"},
      {L"C:\\A B\\t.exe", L"C:\\A"},
      {L"C:\\A\tB\\t.exe", L"C:\\A"},
      {L"\"C:\\A B\\t.exe", L"C:\\A B\\t.exe"},
      {L"\"C:\\A B\\t.exe -x", L"C:\\A B\\t.exe -x"},
      {L" \t\r\n\"C:\\t.exe\" \r\n\t ", L"C:\\t.exe"},
      {L"  C:\\t.exe  ", L"C:\\t.exe"},
      {L"\"\"", L""},
      {L"\"", L""},
      {L"", L""},
      {L" \t\r\n", L""},
      // Only space, TAB, CR and LF are blanks.
      {L"\u00a0C:\\t.exe", L"\u00a0C:\\t.exe"},
      {L"C:\\t.exe\v", L"C:\\t.exe\v"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RunValueProgramPath(c.value), c.path) << "value: [" << testing::PrintToString(std::wstring(c.value))
                                                    << "]";
  }
}

TEST(AutoStart_RunValueNamesExecutable, MatchesOnlyThisExecutableIgnoringCase) {
  const std::wstring exe = L"C:\\Program Files\\TolvaneWin\\TolvaneWin.exe";
  const struct {
    const wchar_t* value;
    bool on;
  } cases[] = {
      {L"\"c:\\program files\\tolvanewin\\TOLVANEWIN.EXE\" /background", true},
      {L"  \"C:\\Program Files\\TolvaneWin\\TolvaneWin.exe\"\r\n", true},
      {L"\"C:\\Program Files\\TolvaneWin\\TolvaneWin.exe", true},
      {L"\"C:\\Program Files\\TolvaneWin\\TolvaneWin.exe -x", false},
      {L"C:\\Program Files\\TolvaneWin\\TolvaneWin.exe", false},
      {L"\"D:\\Other\\TolvaneWin.exe\"", false},
      {L"\"C:\\PROGRA~1\\TolvaneWin\\TolvaneWin.exe\"", false},
      {L"\"%ProgramFiles%\\TolvaneWin\\TolvaneWin.exe\"", false},
      {L"\"C:\\Program Files\\TolvaneWin\\TolvaneWin.exe.bak\"", false},
      {L"", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RunValueNamesExecutable(c.value, exe), c.on) << testing::PrintToString(std::wstring(c.value));
  }
  EXPECT_TRUE(RunValueNamesExecutable(L"C:\\Apps\\t.exe -x", L"c:\\apps\\T.EXE"));
  EXPECT_FALSE(RunValueNamesExecutable(L"\"\"", L""));
  EXPECT_FALSE(RunValueNamesExecutable(L"C:\\t.exe", L""));
}

TEST(AutoStart_AutoStartValueText, QuotesPathAndEscapesInnerQuotes) {
  EXPECT_EQ(AutoStartValueText(L"C:\\Program Files\\T\\TolvaneWin.exe"), L"\"C:\\Program Files\\T\\TolvaneWin.exe\"");
  EXPECT_EQ(AutoStartValueText(L"C:\\a\"b\\t.exe"), L"\"C:\\a\\\"b\\t.exe\"");
  EXPECT_EQ(AutoStartValueText(L"\\\\server\\share\\t.exe"), L"\"\\\\server\\share\\t.exe\"");
}

namespace {

class AutoStartRegistry : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetAppState();
    ASSERT_TRUE(scratch.ok());
    exe = CurrentExecutablePath();
    ASSERT_FALSE(exe.empty());
  }
  void TearDown() override {
    AllowKeyWrites(HKEY_CURRENT_USER, kRun);
    ResetAppState();
  }
  bool StoredRunValue(DWORD& type, std::wstring& text) {
    std::string raw;
    return RegReadRaw(HKEY_CURRENT_USER, kRun, L"TolvaneWin", type, text, raw);
  }

  ScratchRegistry scratch;
  std::wstring exe;
};

// Runs the start-with-Windows command on this thread with a hidden owner window
// while a second thread waits for (and presses) the warning box.
struct CommandRun {
  bool boxShown = false;
  bool ownedByWindow = false;
  std::wstring boxText;
};

CommandRun RunStartupCommand() {
  HWND window = CreateWindowExW(0, L"STATIC", L"TolvaneWin", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  CommandRun run;
  std::atomic<bool> done{false};
  std::thread watcher([&] {
    while (!done) {
      FoundMessageBox box;
      if (FindMessageBox(L"TolvaneWin startup", 50, box, GetCurrentProcessId())) {
        run.boxShown = true;
        run.boxText = box.text;
        run.ownedByWindow = GetWindow(box.window, GW_OWNER) == window;
        DismissMessageBox(box);
        return;
      }
    }
  });
  HandleMenuCommand(window, kMenuLaunchAtStartup);
  done = true;
  watcher.join();
  DestroyWindow(window);
  return run;
}

}  // namespace

TEST_F(AutoStartRegistry, RefreshReadsTheRunValue) {
  const std::wstring quoted = L"\"" + exe + L"\"";
  const struct {
    const char* what;
    const wchar_t* name;
    std::wstring value;
    DWORD type;
    bool on;
  } cases[] = {
      {"quoted path", L"TolvaneWin", quoted, REG_SZ, true},
      {"quoted path with arguments", L"TolvaneWin", quoted + L" --tray", REG_SZ, true},
      {"other letter case", L"TolvaneWin", L"\"" + std::wstring(CharUpperW(std::wstring(exe).data())) + L"\"",
       REG_SZ, true},
      {"blanks around", L"TolvaneWin", L" \t" + quoted + L"\r\n", REG_SZ, true},
      {"missing closing quote", L"TolvaneWin", L"\"" + exe, REG_SZ, true},
      {"missing closing quote, then arguments", L"TolvaneWin", L"\"" + exe + L" --tray", REG_SZ, false},
      {"REG_EXPAND_SZ", L"TolvaneWin", quoted, REG_EXPAND_SZ, false},
      {"another copy", L"TolvaneWin", L"\"C:\\Elsewhere\\TolvaneWin.exe\"", REG_SZ, false},
      {"empty", L"TolvaneWin", L"", REG_SZ, false},
      {"another value name", L"TolvaneWin2", quoted, REG_SZ, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(RegDeleteTreeIfPresent(HKEY_CURRENT_USER, kRun));
    ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, kRun, c.name, c.value, c.type));
    g_app.autoStart = !c.on;
    RefreshAutoStartState();
    EXPECT_EQ(g_app.autoStart, c.on);
  }

  ASSERT_TRUE(RegDeleteTreeIfPresent(HKEY_CURRENT_USER, kRun));
  g_app.autoStart = true;
  RefreshAutoStartState();
  EXPECT_FALSE(g_app.autoStart) << "without the Run key";
}

TEST_F(AutoStartRegistry, UnquotedValueCountsOnlyWithoutBlanksInPath) {
  // The test executable's folder decides which way this goes.
  ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, kRun, L"TolvaneWin", exe));
  RefreshAutoStartState();
  EXPECT_EQ(g_app.autoStart, exe.find_first_of(L" \t\r\n") == std::wstring::npos);
}

TEST_F(AutoStartRegistry, SwitchingOnWritesQuotedPathAndOffDeletesIt) {
  HandleMenuCommand(nullptr, kMenuLaunchAtStartup);
  EXPECT_TRUE(g_app.autoStart);
  DWORD type = 0;
  std::wstring text;
  ASSERT_TRUE(StoredRunValue(type, text));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(text, L"\"" + exe + L"\"");
  g_app.autoStart = false;
  RefreshAutoStartState();
  EXPECT_TRUE(g_app.autoStart);

  HandleMenuCommand(nullptr, kMenuLaunchAtStartup);
  EXPECT_FALSE(g_app.autoStart);
  EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, kRun, L"TolvaneWin"));
}

TEST_F(AutoStartRegistry, SwitchingOnReplacesAnotherCopyAndExpandString) {
  for (DWORD type : {static_cast<DWORD>(REG_SZ), static_cast<DWORD>(REG_EXPAND_SZ)}) {
    ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, kRun, L"TolvaneWin", L"\"C:\\Elsewhere\\TolvaneWin.exe\"", type));
    ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, kRun, L"OtherProgram", L"other.exe"));
    RefreshAutoStartState();
    ASSERT_FALSE(g_app.autoStart);
    HandleMenuCommand(nullptr, kMenuLaunchAtStartup);
    EXPECT_TRUE(g_app.autoStart);
    DWORD storedType = 0;
    std::wstring text;
    ASSERT_TRUE(StoredRunValue(storedType, text));
    EXPECT_EQ(storedType, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(text, L"\"" + exe + L"\"");
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, kRun, L"OtherProgram"));
  }
}

TEST_F(AutoStartRegistry, SwitchingOffSucceedsWhenValueOrKeyIsGone) {
  ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, kRun, L"OtherProgram", L"other.exe"));
  g_app.autoStart = true;
  HandleMenuCommand(nullptr, kMenuLaunchAtStartup);
  EXPECT_FALSE(g_app.autoStart);
  EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, kRun, L"OtherProgram"));

  ASSERT_TRUE(RegDeleteTreeIfPresent(HKEY_CURRENT_USER, kRun));
  g_app.autoStart = true;
  HandleMenuCommand(nullptr, kMenuLaunchAtStartup);
  EXPECT_FALSE(g_app.autoStart);
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kRun, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND)
      << "switching off must not create the Run key";
  if (key != nullptr) RegCloseKey(key);
}

TEST_F(AutoStartRegistry, FailedWriteWarnsAndKeepsState) {
  ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, kRun, L"TolvaneWin", L"\"C:\\Elsewhere\\TolvaneWin.exe\""));
  ASSERT_TRUE(DenyKeyWrites(HKEY_CURRENT_USER, kRun));

  g_app.autoStart = false;
  CommandRun on = RunStartupCommand();
  EXPECT_TRUE(on.boxShown);
  EXPECT_TRUE(on.ownedByWindow);
  EXPECT_EQ(on.boxText, kWarning);
  EXPECT_FALSE(g_app.autoStart);
  DWORD type = 0;
  std::wstring text;
  ASSERT_TRUE(StoredRunValue(type, text));
  EXPECT_EQ(text, L"\"C:\\Elsewhere\\TolvaneWin.exe\"");

  g_app.autoStart = true;
  CommandRun off = RunStartupCommand();
  EXPECT_TRUE(off.boxShown);
  EXPECT_EQ(off.boxText, kWarning);
  EXPECT_TRUE(g_app.autoStart);
  EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, kRun, L"TolvaneWin"));
}

TEST_F(AutoStartRegistry, SuccessfulCommandShowsNoBox) {
  CommandRun on = RunStartupCommand();
  EXPECT_FALSE(on.boxShown);
  EXPECT_TRUE(g_app.autoStart);
  CommandRun off = RunStartupCommand();
  EXPECT_FALSE(off.boxShown);
  EXPECT_FALSE(g_app.autoStart);
}

TEST_F(AutoStartRegistry, NoHandlesLeftBehindOnAnyPath) {
  const struct {
    const char* what;
    void (*prepare)();
  } paths[] = {
      {"no Run key", [] { RegDeleteTreeIfPresent(HKEY_CURRENT_USER, kRun); }},
      {"Run key without value", [] { RegSetString(HKEY_CURRENT_USER, kRun, L"Other", L"x"); }},
      {"value of another type", [] { RegSetString(HKEY_CURRENT_USER, kRun, L"TolvaneWin", L"x", REG_EXPAND_SZ); }},
      {"denied Run key", [] {
         RegSetString(HKEY_CURRENT_USER, kRun, L"TolvaneWin", L"x");
         DenyKeyWrites(HKEY_CURRENT_USER, kRun);
       }},
  };
  for (const auto& path : paths) {
    SCOPED_TRACE(path.what);
    AllowKeyWrites(HKEY_CURRENT_USER, kRun);
    path.prepare();
    const HANDLE before = NextHandleValue();
    RefreshAutoStartState();
    EnableAutoStart();
    RefreshAutoStartState();
    DisableAutoStart();
    DisableAutoStart();
    EXPECT_EQ(NextHandleValue(), before);
  }
}

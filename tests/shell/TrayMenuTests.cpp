// The tray menu as built from the application state, and which tray events open it.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "shell/AppState.h"
#include "shell/ShellConstants.h"
#include "shell/TrayMenu.h"
#include "tests/shell/ShellTestSupport.h"
#include "tests/support/Platform.h"
#include "tests/support/ScratchRegistry.h"
#include "tests/support/Windows.h"

using namespace testing_support;
using namespace shell_tests;

namespace {

class TrayMenuTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetAppState(); }
  void TearDown() override { ResetAppState(); }

  std::vector<MenuRow> Build() {
    ScopedMenu menu = BuildTrayMenu();
    EXPECT_TRUE(menu.IsValid());
    return menu ? ReadMenuRows(menu.Get()) : std::vector<MenuRow>();
  }
};

// The rows that never depend on the update state, by position.
void ExpectFixedRows(const std::vector<MenuRow>& rows) {
  ASSERT_GE(rows.size(), 16u);
  const struct {
    UINT id;
    const wchar_t* text;
  } head[] = {{2001, L"Enable TolvaneWin"},  {2013, L"Launch at Windows startup"}, {0, nullptr},
              {2002, L"Left-handed cursor"}, {2003, L"Right-handed cursor"},      {0, nullptr},
              {2004, L"No badge"},           {2005, L"Letter badge"},             {2006, L"Color dot"},
              {2007, L"High contrast badge"}, {0, nullptr}};
  for (size_t i = 0; i < std::size(head); ++i) {
    SCOPED_TRACE(i);
    if (head[i].text == nullptr) {
      EXPECT_TRUE(rows[i].separator());
    } else {
      EXPECT_FALSE(rows[i].separator());
      EXPECT_EQ(rows[i].id, head[i].id);
      EXPECT_EQ(rows[i].text, head[i].text);
    }
  }
  const size_t n = rows.size();
  EXPECT_EQ(rows[n - 5].id, 2011u);
  EXPECT_EQ(rows[n - 5].text, L"Check for updates");
  EXPECT_TRUE(rows[n - 4].separator());
  EXPECT_EQ(rows[n - 3].id, 2008u);
  EXPECT_EQ(rows[n - 3].text, L"Restore OS cursor");
  EXPECT_EQ(rows[n - 3].state, 0u);
  EXPECT_TRUE(rows[n - 2].separator());
  EXPECT_EQ(rows[n - 1].id, 2009u);
  EXPECT_EQ(rows[n - 1].text, L"Exit");
  EXPECT_EQ(rows[n - 1].state, 0u);
}

std::vector<std::wstring> CheckedRows(const std::vector<MenuRow>& rows) {
  std::vector<std::wstring> checked;
  for (const MenuRow& row : rows) {
    if (row.checked()) checked.push_back(row.text);
  }
  return checked;
}

}  // namespace

TEST_F(TrayMenuTest, FirstRunChecksEnableLeftHandedAndLetterBadge) {
  const std::vector<MenuRow> rows = Build();
  ASSERT_EQ(rows.size(), 16u);
  ExpectFixedRows(rows);
  EXPECT_EQ(CheckedRows(rows),
            (std::vector<std::wstring>{L"Enable TolvaneWin", L"Left-handed cursor", L"Letter badge"}));
  for (const MenuRow& row : rows) {
    if (row.separator()) continue;
    EXPECT_FALSE(row.disabled()) << testing::PrintToString(row.text);
    EXPECT_FALSE(row.grayed()) << testing::PrintToString(row.text);
  }
  // No check has completed and none runs: no status row.
  EXPECT_TRUE(rows[10].separator());
  EXPECT_EQ(rows[11].text, L"Check for updates");
}

TEST_F(TrayMenuTest, ChecksFollowState) {
  g_app.autoStart = true;
  g_app.leftHanded = false;
  for (int32_t style = 0; style <= 3; ++style) {
    SCOPED_TRACE(style);
    g_app.badgeStyle = style;
    const std::vector<MenuRow> rows = Build();
    const wchar_t* styleRow[] = {L"No badge", L"Letter badge", L"Color dot", L"High contrast badge"};
    EXPECT_EQ(CheckedRows(rows), (std::vector<std::wstring>{L"Enable TolvaneWin", L"Launch at Windows startup",
                                                            L"Right-handed cursor", styleRow[style]}));
  }
}

TEST_F(TrayMenuTest, FeatureOffDisablesHandednessAndBadgeRowsButKeepsMarks) {
  g_app.enabled = false;
  g_app.badgeStyle = 2;
  const std::vector<MenuRow> rows = Build();
  ExpectFixedRows(rows);
  EXPECT_EQ(CheckedRows(rows), (std::vector<std::wstring>{L"Left-handed cursor", L"Color dot"}));
  for (const wchar_t* text : {L"Left-handed cursor", L"Right-handed cursor", L"No badge", L"Letter badge",
                              L"Color dot", L"High contrast badge"}) {
    const int i = FindRow(rows, text);
    ASSERT_GE(i, 0) << testing::PrintToString(std::wstring(text));
    EXPECT_TRUE(rows[i].disabled()) << testing::PrintToString(std::wstring(text));
    EXPECT_FALSE(rows[i].grayed()) << testing::PrintToString(std::wstring(text));
  }
  for (const wchar_t* text : {L"Enable TolvaneWin", L"Launch at Windows startup", L"Check for updates",
                              L"Restore OS cursor", L"Exit"}) {
    EXPECT_FALSE(rows[FindRow(rows, text)].disabled()) << testing::PrintToString(std::wstring(text));
  }
}

TEST_F(TrayMenuTest, StatusRowFollowsUpdateState) {
  struct Case {
    const char* what;
    bool downloadRunning, checkRunning, available, checkDone;
    const wchar_t* status;  // nullptr: no status row
    bool downloadRow;
    bool checkDisabled;
  };
  const Case cases[] = {
      {"nothing yet", false, false, false, false, nullptr, false, false},
      {"check done, nothing new", false, false, false, true, L"No updates available", false, false},
      {"update available", false, false, true, true, L"Update available: 0.2.0", true, false},
      {"checking", false, true, true, true, L"Checking for updates...", false, true},
      {"downloading", true, true, true, true, L"Downloading update...", false, true},
      {"downloading only", true, false, false, false, L"Downloading update...", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    g_app.updateDownloadRunning = c.downloadRunning;
    g_app.updateCheckRunning = c.checkRunning;
    g_app.updateAvailable = c.available;
    g_app.updateCheckDone = c.checkDone;
    g_app.updateVersion = L"0.2.0";
    const std::vector<MenuRow> rows = Build();
    ExpectFixedRows(rows);
    const size_t expected = 16u + (c.status ? 1u : 0u) + (c.downloadRow ? 1u : 0u);
    ASSERT_EQ(rows.size(), expected);
    size_t next = 11;
    if (c.status != nullptr) {
      EXPECT_EQ(rows[next].text, c.status);
      EXPECT_EQ(rows[next].id, 0u);
      EXPECT_TRUE(rows[next].disabled());
      EXPECT_FALSE(rows[next].grayed());
      ++next;
    }
    if (c.downloadRow) {
      EXPECT_EQ(rows[next].text, L"Download update");
      EXPECT_EQ(rows[next].id, 2012u);
      EXPECT_EQ(rows[next].state, 0u);
      ++next;
    }
    EXPECT_EQ(FindRow(rows, L"Download update") >= 0, c.downloadRow);
    EXPECT_EQ(rows[next].text, L"Check for updates");
    EXPECT_EQ(rows[next].disabled(), c.checkDisabled);
    EXPECT_FALSE(rows[next].grayed());
  }
}

TEST_F(TrayMenuTest, StatusRowAtTheBufferLimit) {
  g_app.updateAvailable = true;
  const std::wstring prefix = L"Update available: ";
  // 127 characters fit a 128-character buffer with its terminator.
  g_app.updateVersion = std::wstring(127 - prefix.size(), L'7');
  std::vector<MenuRow> rows = Build();
  ASSERT_EQ(rows.size(), 18u);
  EXPECT_EQ(rows[11].text, prefix + g_app.updateVersion);

  for (size_t extra : {size_t{1}, size_t{5000}}) {
    SCOPED_TRACE(extra);
    g_app.updateVersion = std::wstring(127 - prefix.size() + extra, L'7');
    rows = Build();
    ASSERT_EQ(rows.size(), 18u);
    EXPECT_EQ(rows[11].id, 0u);
    EXPECT_TRUE(rows[11].disabled());
    EXPECT_FALSE(rows[11].separator());
    EXPECT_EQ(rows[11].text, L"");
    EXPECT_EQ(rows[12].text, L"Download update");
    EXPECT_EQ(rows[12].id, 2012u);
    EXPECT_EQ(rows[13].text, L"Check for updates");
  }
}

namespace {

LRESULT CALLBACK TrayTestProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kTrayCallbackMessage) {
    HandleTrayCallback(window, lParam);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// Sends one tray event and reports whether a popup menu opened (it is closed again).
bool TrayEventOpensMenu(HWND window, WORD event) {
  std::atomic<bool> done{false};
  std::atomic<bool> opened{false};
  std::thread watcher([&] {
    while (!done) {
      if (FindOpenPopupMenu(GetCurrentProcessId(), 0) != nullptr) {
        opened = true;
        EndMenu();
        return;
      }
      Sleep(10);
    }
  });
  // Notification version 4: the event in the low word, the icon id in the high word.
  SendMessageW(window, kTrayCallbackMessage, 0, MAKELPARAM(event, 1));
  // An event that opens nothing returns at once; give a late menu a moment to show.
  if (!opened) Sleep(300);
  done = true;
  watcher.join();
  return opened;
}

}  // namespace

TEST_F(TrayMenuTest, ClicksAndContextMenuOpenTheMenu) {
  ScratchRegistry scratch;
  ASSERT_TRUE(scratch.ok());
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = TrayTestProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"TolvaneWin.TrayMenuTest";
  ASSERT_NE(RegisterClassExW(&windowClass), 0);
  HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"TolvaneWin", 0, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, windowClass.hInstance, nullptr);
  ASSERT_NE(window, nullptr);

  for (WORD event : {WORD{WM_CONTEXTMENU}, WORD{WM_RBUTTONUP}, WORD{WM_LBUTTONUP}}) {
    EXPECT_TRUE(TrayEventOpensMenu(window, event)) << "event " << event;
  }
  for (WORD event : {WORD{WM_MOUSEMOVE}, WORD{WM_LBUTTONDOWN}, WORD{WM_RBUTTONDOWN}, WORD{WM_LBUTTONDBLCLK},
                     WORD{NIN_SELECT}, WORD{NIN_KEYSELECT}}) {
    EXPECT_FALSE(TrayEventOpensMenu(window, event)) << "event " << event;
  }
  DestroyWindow(window);
  UnregisterClassW(windowClass.lpszClassName, windowClass.hInstance);
}

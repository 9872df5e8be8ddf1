// The cursor commands of the tray menu, carried out in this process.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "cursor/SystemCursors.h"
#include "shell/AppState.h"
#include "shell/MenuCommands.h"
#include "shell/ShellConstants.h"
#include "shell/TrayMenu.h"
#include "tests/cursor/CursorTestSupport.h"
#include "tests/shell/ShellTestSupport.h"
#include "tests/support/ScratchRegistry.h"

using namespace testing_support;
using namespace shell_tests;

namespace {

constexpr wchar_t kKey[] = L"Software\\TolvaneWin";

bool StoredLeftHanded(DWORD& value) {
  DWORD type = 0;
  std::wstring text;
  std::string raw;
  if (!RegReadRaw(HKEY_CURRENT_USER, kKey, L"LeftHanded", type, text, raw) || type != REG_DWORD ||
      raw.size() != 4) {
    return false;
  }
  memcpy(&value, raw.data(), 4);
  return true;
}

std::wstring StoredBadgeStyle() {
  DWORD type = 0;
  std::wstring text;
  std::string raw;
  if (!RegReadRaw(HKEY_CURRENT_USER, kKey, L"BadgeStyle", type, text, raw) || type != REG_SZ) return L"(none)";
  return text;
}

bool MenuRowChecked(const wchar_t* text) {
  ScopedMenu menu = BuildTrayMenu();
  const std::vector<MenuRow> rows = ReadMenuRows(menu.Get());
  const int i = FindRow(rows, text);
  return i >= 0 && rows[i].checked();
}

class MenuCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureGdiplus();
    ResetAppState();
    ASSERT_TRUE(scratch.ok());
    ASSERT_TRUE(recorder.ok());
    window = CreateWindowExW(0, L"STATIC", L"TolvaneWin", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    g_app.hiddenWindow = window;
    LoadSourceCursors();
  }
  void TearDown() override {
    ReleaseSourceCursors();
    if (window != nullptr) DestroyWindow(window);
    ResetAppState();
  }

  ScratchRegistry scratch;
  PlatformRecorder recorder;
  HWND window = nullptr;
};

}  // namespace

TEST_F(MenuCommandTest, HandednessCommandsStoreAndShowTheChoice) {
  HandleMenuCommand(window, kMenuRightHanded);
  EXPECT_FALSE(g_app.leftHanded);
  // The set is rebuilt for the new choice (the letter badge keeps it replaced).
  EXPECT_EQ(recorder.AcceptedCount(), LoadableCursorIds().size());
  DWORD stored = 7;
  ASSERT_TRUE(StoredLeftHanded(stored));
  EXPECT_EQ(stored, 0u);
  EXPECT_EQ(StoredBadgeStyle(), L"letter");
  EXPECT_TRUE(MenuRowChecked(L"Right-handed cursor"));
  EXPECT_FALSE(MenuRowChecked(L"Left-handed cursor"));

  HandleMenuCommand(window, kMenuLeftHanded);
  EXPECT_TRUE(g_app.leftHanded);
  ASSERT_TRUE(StoredLeftHanded(stored));
  EXPECT_EQ(stored, 1u);
  EXPECT_TRUE(MenuRowChecked(L"Left-handed cursor"));
}

TEST_F(MenuCommandTest, BadgeCommandsStoreCanonicalNames) {
  const struct {
    WORD command;
    int32_t style;
    const wchar_t* stored;
    const wchar_t* row;
  } cases[] = {
      {kMenuBadgeDot, 2, L"dot", L"Color dot"},
      {kMenuBadgeNone, 0, L"none", L"No badge"},
      {kMenuBadgeHighContrast, 3, L"high_contrast", L"High contrast badge"},
      {kMenuBadgeLetter, 1, L"letter", L"Letter badge"},
  };
  g_app.leftHanded = false;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    recorder.Clear();
    HandleMenuCommand(window, c.command);
    EXPECT_EQ(g_app.badgeStyle, c.style);
    // Right-handed without a badge keeps the system set; every other choice installs.
    if (c.style == 0) {
      EXPECT_EQ(recorder.installs.size(), 0u);
      EXPECT_EQ(recorder.CountEvents("restore"), 1u);
    } else {
      EXPECT_EQ(recorder.AcceptedCount(), LoadableCursorIds().size());
    }
    EXPECT_EQ(StoredBadgeStyle(), c.stored);
    DWORD stored = 7;
    ASSERT_TRUE(StoredLeftHanded(stored));
    EXPECT_EQ(stored, 0u);
    EXPECT_TRUE(MenuRowChecked(c.row));
  }
}

TEST_F(MenuCommandTest, PreferenceCommandsWorkWhileFeatureIsOff) {
  // The menu keeps these rows disabled; the commands themselves do not look.
  g_app.enabled = false;
  HandleMenuCommand(window, kMenuBadgeDot);
  HandleMenuCommand(window, kMenuRightHanded);
  EXPECT_EQ(StoredBadgeStyle(), L"dot");
  DWORD stored = 7;
  ASSERT_TRUE(StoredLeftHanded(stored));
  EXPECT_EQ(stored, 0u);
  EXPECT_FALSE(g_app.enabled);
}

TEST_F(MenuCommandTest, EnableTogglesWithoutStoringAnything) {
  HandleMenuCommand(window, kMenuEnable);
  EXPECT_FALSE(g_app.enabled);
  EXPECT_FALSE(MenuRowChecked(L"Enable TolvaneWin"));
  EXPECT_EQ(recorder.CountEvents("restore"), 1u);
  EXPECT_EQ(recorder.installs.size(), 0u);

  recorder.Clear();
  HandleMenuCommand(window, kMenuEnable);
  EXPECT_TRUE(g_app.enabled);
  EXPECT_TRUE(MenuRowChecked(L"Enable TolvaneWin"));
  // Switching on installs the replacement set again.
  EXPECT_EQ(recorder.AcceptedCount(), LoadableCursorIds().size());
  std::wstring names;
  RegValueNames(HKEY_CURRENT_USER, kKey, names);
  EXPECT_EQ(names, L"");
}

TEST_F(MenuCommandTest, RestoreSwitchesFeatureOffUntilReEnabled) {
  HandleMenuCommand(window, kMenuRestoreCursor);
  EXPECT_FALSE(g_app.enabled);
  EXPECT_FALSE(MenuRowChecked(L"Enable TolvaneWin"));
  EXPECT_EQ(recorder.CountEvents("restore"), 1u);
  EXPECT_EQ(recorder.installs.size(), 0u);
  // The visible pointer is redrawn once, without the repeating timer.
  EXPECT_GE(recorder.cursorPosCalls, 1);
  EXPECT_EQ(g_app.visibleRefreshRemaining, 0);
  // A second restore keeps it off; it is not a toggle.
  HandleMenuCommand(window, kMenuRestoreCursor);
  EXPECT_FALSE(g_app.enabled);

  recorder.Clear();
  HandleMenuCommand(window, kMenuEnable);
  EXPECT_TRUE(g_app.enabled);
  EXPECT_TRUE(MenuRowChecked(L"Enable TolvaneWin"));
  EXPECT_EQ(recorder.AcceptedCount(), LoadableCursorIds().size());
}

TEST_F(MenuCommandTest, UnknownCommandsChangeNothing) {
  for (WORD id : {WORD{0}, WORD{2000}, WORD{2010}, WORD{2014}, WORD{0xFFFF}}) {
    HandleMenuCommand(window, id);
  }
  EXPECT_TRUE(g_app.enabled);
  EXPECT_TRUE(g_app.leftHanded);
  EXPECT_EQ(g_app.badgeStyle, 1);
  EXPECT_FALSE(g_app.autoStart);
  EXPECT_TRUE(IsWindow(window));
  std::wstring names;
  EXPECT_FALSE(RegValueNames(HKEY_CURRENT_USER, kKey, names)) << "no key should have been created";
}

// The tray entry's icon: resource icon, drawn fallback, refresh and removal.
#include <gtest/gtest.h>

#include <windows.h>

#include "common/ScopedHandle.h"
#include "cursor/LanguageBadge.h"
#include "shell/AppState.h"
#include "shell/TrayIcon.h"
#include "tests/cursor/CursorTestSupport.h"
#include "tests/support/Processes.h"

using namespace testing_support;

namespace {

class TrayIcon : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureGdiplus();
    g_app = AppState();
    g_app.instance = GetModuleHandleW(nullptr);
    ASSERT_TRUE(recorder.ok());
  }
  void TearDown() override {
    if (g_app.trayIconHandle != nullptr) DestroyIcon(g_app.trayIconHandle);
    g_app = AppState();
  }
  PlatformRecorder recorder;
};

CursorPixels IconPixels(HICON icon) {
  CursorPixels pixels;
  EXPECT_TRUE(ReadCursorPixels(icon, pixels));
  return pixels;
}

}  // namespace

TEST_F(TrayIcon, DrawnIconShowsDiscLanguageDotAndLetter) {
  ScopedIcon english(CreateTrayIcon(L"En"));
  ScopedIcon german(CreateTrayIcon(L"DE"));
  ASSERT_TRUE(english.IsValid());
  ASSERT_TRUE(german.IsValid());
  const CursorPixels en = IconPixels(english.Get());
  const CursorPixels de = IconPixels(german.Get());
  ASSERT_EQ(en.width, 32);
  ASSERT_EQ(en.height, 32);

  EXPECT_EQ(en.At(0, 0), 0u) << "transparent corner";
  EXPECT_EQ(en.At(6, 16), 0xFF2B7CFFu) << "blue disc";
  EXPECT_EQ(de.At(6, 16), 0xFF2B7CFFu) << "the disc does not follow the language";
  EXPECT_EQ(de.At(24, 24), LanguageColor(L"DE")) << "language dot";
  EXPECT_EQ(en.At(24, 24), LanguageColor(L"En"));

  int white = 0;
  for (int y = 6; y < 26; ++y)
    for (int x = 8; x < 24; ++x) white += de.At(x, y) == 0xFFFFFFFFu;
  EXPECT_GT(white, 10) << "the letter L";
}

TEST_F(TrayIcon, RefreshKeepsExactlyOneOwnedIcon) {
  g_app.badgeText = L"En";
  RefreshTrayIcon();
  HICON previous = g_app.trayIconHandle;
  ASSERT_NE(previous, nullptr);
  for (const wchar_t* badge : {L"DE", L"FR", L"En"}) {
    g_app.badgeText = badge;
    RefreshTrayIcon();
    ASSERT_NE(g_app.trayIconHandle, nullptr);
    EXPECT_EQ(g_app.trayIcon.hIcon, g_app.trayIconHandle);
    ICONINFO info = {};
    EXPECT_FALSE(GetIconInfo(previous, &info)) << "the previous icon was destroyed";
    previous = g_app.trayIconHandle;
  }
  EXPECT_EQ(IconPixels(g_app.trayIconHandle).At(24, 24), LanguageColor(L"En"));
}

TEST_F(TrayIcon, ResourceIconIsUsedWhenPresent) {
  // The program's own icon group, read from the built program as data.
  HMODULE program = LoadLibraryExW(TolvaneWinExePath().c_str(), nullptr,
                                   LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(program, nullptr);
  g_app.instance = program;
  g_app.badgeText = L"DE";
  RefreshTrayIcon();
  ASSERT_NE(g_app.trayIconHandle, nullptr);
  const CursorPixels first = IconPixels(g_app.trayIconHandle);
  EXPECT_EQ(first.width, 32);
  g_app.badgeText = L"En";
  RefreshTrayIcon();
  const CursorPixels second = IconPixels(g_app.trayIconHandle);
  EXPECT_EQ(first.argb, second.argb) << "the resource icon does not show the language";
  DestroyIcon(g_app.trayIconHandle);
  g_app.trayIconHandle = nullptr;
  FreeLibrary(program);
}

TEST_F(TrayIcon, RemovingAnEntryNeverAddedSendsNothing) {
  RemoveTrayIcon();
  EXPECT_TRUE(recorder.trayCalls.empty());
}

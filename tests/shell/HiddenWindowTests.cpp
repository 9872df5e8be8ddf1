// The real window procedure driven in this process: start-up, layout
// messages, timers and shut-down, with the system's cursor calls recorded.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/Time.h"
#include "cursor/BadgeGeometry.h"
#include "cursor/LanguageBadge.h"
#include "cursor/SystemCursors.h"
#include "shell/AppState.h"
#include "shell/ShellConstants.h"
#include "shell/WindowProc.h"
#include "tests/cursor/CursorTestSupport.h"
#include "tests/support/ScratchDirectories.h"
#include "tests/support/ScratchRegistry.h"
#include "tests/support/Windows.h"

using namespace testing_support;

namespace {

constexpr LPARAM kGermanLayout = 0x04070407;
constexpr LPARAM kFrenchLayout = 0x040C040C;

size_t IndexOf(const std::vector<std::string>& events, const std::string& event) {
  return static_cast<size_t>(std::find(events.begin(), events.end(), event) - events.begin());
}

std::wstring OwnLayoutBadge() {
  return BadgeFromLocaleName(LocaleNameFromLangId(LOWORD(reinterpret_cast<ULONG_PTR>(GetKeyboardLayout(0)))));
}

// A layout other than this thread's own (German unless that is ours).
LPARAM ForeignLayout() {
  const ULONG_PTR own = reinterpret_cast<ULONG_PTR>(GetKeyboardLayout(0));
  return (own & 0xFFFF) == 0x0407 ? kFrenchLayout : kGermanLayout;
}

class HiddenWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureGdiplus();
    g_app = AppState();
    g_app.instance = GetModuleHandleW(nullptr);
    static const bool registered = [] {
      WNDCLASSEXW windowClass = {};
      windowClass.cbSize = sizeof(windowClass);
      windowClass.lpfnWndProc = WindowProc;
      windowClass.hInstance = GetModuleHandleW(nullptr);
      windowClass.lpszClassName = kWindowClassName;
      return RegisterClassExW(&windowClass) != 0;
    }();
    ASSERT_TRUE(registered);
    ASSERT_TRUE(registry.ok());
    ASSERT_TRUE(recorder.ok());
    loadable = LoadableCursorIds();
  }

  void TearDown() override {
    if (window != nullptr && IsWindow(window)) DestroyWindow(window);
    PumpMessages(20);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    g_app = AppState();
  }

  void Create() {
    window = CreateWindowExW(0, kWindowClassName, kAppTitle, 0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, nullptr, nullptr, g_app.instance, nullptr);
    ASSERT_NE(window, nullptr);
  }

  // Lets the start-up pointer refresh burst and the silent update check at
  // start run out (its answer refreshes the tray); a busy machine may need
  // longer than their usual time.
  void Settle() {
    for (int i = 0; i < 400 && (g_app.visibleRefreshRemaining > 0 || g_app.updateCheckRunning); ++i) {
      PumpMessages(25);
    }
    PumpMessages(100);
    ASSERT_EQ(g_app.visibleRefreshRemaining, 0);
    ASSERT_FALSE(g_app.updateCheckRunning);
    recorder.Clear();
  }

  std::vector<DWORD> InstalledIds() const {
    std::vector<DWORD> ids;
    for (const InstalledCursor& call : recorder.installs) ids.push_back(call.id);
    return ids;
  }

  bool TrayCalled(DWORD message) const {
    for (const auto& call : recorder.trayCalls)
      if (call.first == message) return true;
    return false;
  }

  ScratchRegistry registry;
  ScratchDirectories dirs;
  PlatformRecorder recorder;
  std::vector<DWORD> loadable;
  HWND window = nullptr;
};

}  // namespace

TEST_F(HiddenWindow, StartUpAddsTrayEntryAndInstallsSetInOrder) {
  Create();
  EXPECT_EQ(g_app.hiddenWindow, window);
  EXPECT_FALSE(g_app.sessionId.empty());
  EXPECT_EQ(g_app.badgeText, OwnLayoutBadge());
  EXPECT_EQ(g_app.lastKeyboardLayout, GetKeyboardLayout(0));

  const std::vector<std::string>& events = recorder.events;
  ASSERT_GE(events.size(), 4u);
  EXPECT_EQ(events[0], "tray:" + std::to_string(NIM_ADD));
  EXPECT_EQ(events[1], "tray:" + std::to_string(NIM_SETVERSION));
  EXPECT_EQ(events[2], "restore") << "the copies are taken from the system's own set";
  EXPECT_LT(IndexOf(events, "restore"), IndexOf(events, "set:32512"));
  ASSERT_FALSE(recorder.trayCalls.empty());
  EXPECT_TRUE(recorder.trayCalls[0].second) << "NIM_ADD needs the X display of the test session";

  // Installed at creation, then re-applied for the first layout.
  EXPECT_EQ(recorder.installs.size(), 2 * loadable.size());
  EXPECT_EQ(g_app.cursorApplyResult, loadable.size() == kSystemCursorCount ? L"success" : L"failure");
  EXPECT_EQ(g_app.activityCount, 0u) << "the first layout is not a change";
  for (size_t i = 0; i < kSystemCursorCount; ++i) {
    const bool expected = std::count(loadable.begin(), loadable.end(), kSystemCursorSpecs[i].id) != 0;
    EXPECT_EQ(g_app.sourceCursors[i] != nullptr, expected) << i;
  }

  const NOTIFYICONDATAW& tray = g_app.trayIcon;
  EXPECT_EQ(tray.cbSize, 976u);
  EXPECT_EQ(tray.hWnd, window);
  EXPECT_EQ(tray.uID, 1u);
  EXPECT_EQ(tray.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
  EXPECT_EQ(tray.uCallbackMessage, static_cast<UINT>(WM_APP + 1));
  EXPECT_STREQ(tray.szTip, L"TolvaneWin");
  EXPECT_EQ(tray.uVersion, 4u);
  // This test binary has no icon resource: the drawn icon is shown and owned.
  ASSERT_NE(g_app.trayIconHandle, nullptr);
  EXPECT_EQ(tray.hIcon, g_app.trayIconHandle);

  NOTIFYICONDATAW probe = g_app.trayIcon;
  EXPECT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &probe)) << "the entry exists";
}

TEST_F(HiddenWindow, TaskbarCreatedAddsTheForgottenEntryAgain) {
  Create();
  Settle();
  NOTIFYICONDATAW probe = g_app.trayIcon;
  ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &probe)) << "as a restarted Explorer leaves it";
  ASSERT_FALSE(Shell_NotifyIconW(NIM_MODIFY, &probe));
  recorder.Clear();
  SendMessageW(window, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"tray:" + std::to_string(NIM_ADD),
                                                       "tray:" + std::to_string(NIM_SETVERSION)}));
  probe = g_app.trayIcon;
  EXPECT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &probe)) << "the entry is back";
}

TEST_F(HiddenWindow, ShutDownRestoresSetAndRemovesTrayEntry) {
  Create();
  Settle();
  const NOTIFYICONDATAW entry = g_app.trayIcon;
  ASSERT_TRUE(DestroyWindow(window));

  const std::vector<std::string>& events = recorder.events;
  const size_t restore = IndexOf(events, "restore");
  const size_t remove = IndexOf(events, "tray:" + std::to_string(NIM_DELETE));
  ASSERT_LT(restore, events.size());
  ASSERT_LT(remove, events.size());
  EXPECT_LT(restore, remove) << "cursors are restored before the entry goes";
  EXPECT_TRUE(recorder.installs.empty());
  EXPECT_TRUE(TrayCalled(NIM_DELETE));
  EXPECT_TRUE(recorder.trayCalls.back().second);

  EXPECT_EQ(g_app.trayIconHandle, nullptr);
  for (HCURSOR cursor : g_app.sourceCursors) EXPECT_EQ(cursor, nullptr);
  MSG msg;
  EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));

  NOTIFYICONDATAW probe = entry;
  EXPECT_FALSE(Shell_NotifyIconW(NIM_MODIFY, &probe)) << "the entry is gone";
  window = nullptr;
}

TEST_F(HiddenWindow, PostedGermanLayoutRerendersWithGermanBadge) {
  if ((reinterpret_cast<ULONG_PTR>(GetKeyboardLayout(0)) & 0xFFFF) == 0x0407) {
    GTEST_SKIP() << "this session already runs a German layout";
  }
  Create();
  KillTimer(window, kTimerLayoutPoll);  // the poll would bring this thread's own layout back
  g_app.badgeStyle = 2;                 // plain disc: its centre shows the fill colour
  Settle();
  const uint64_t activity = g_app.activityCount;
  const uint64_t before = CurrentUnixTime();

  ASSERT_TRUE(PostMessageW(window, WM_INPUTLANGCHANGE, 0, kGermanLayout));
  PumpMessages(20);
  EXPECT_EQ(g_app.badgeText, L"DE");
  EXPECT_EQ(g_app.activityCount, activity + 1);
  EXPECT_GE(g_app.lastSeenUnix, before);
  EXPECT_EQ(g_app.lastKeyboardLayout, reinterpret_cast<HKL>(kGermanLayout));
  EXPECT_EQ(InstalledIds(), loadable);
  for (const InstalledCursor& call : recorder.installs) EXPECT_EQ(call.badgeText, L"DE");
  EXPECT_TRUE(TrayCalled(NIM_MODIFY));

  // The arrow (badge on the left in left-handed mode) carries the German colour.
  ASSERT_FALSE(recorder.installs.empty());
  ASSERT_EQ(recorder.installs[0].id, 32512u);
  CursorPixels arrow;
  ASSERT_TRUE(ReadCursorPixels(recorder.installs[0].cursor, arrow));
  const BadgeGeometry g = ComputeBadgeGeometry(arrow.width, arrow.height, 2, true, false);
  EXPECT_EQ(arrow.At(static_cast<int>(g.drawCenterX), static_cast<int>(g.drawCenterY)), 0xFF386CC7u);

  // A new badge forces the pointer redraw: one at once, three on the timer.
  for (int i = 0; i < 400 && g_app.visibleRefreshRemaining > 0; ++i) PumpMessages(25);
  PumpMessages(100);
  EXPECT_EQ(recorder.cursorPosCalls, 4);
}

TEST_F(HiddenWindow, ShellHookReappliesSameLayoutWithoutCounting) {
  Create();
  KillTimer(window, kTimerLayoutPoll);
  ASSERT_NE(g_app.shellHookMessage, 0u);
  Settle();
  const uint64_t activity = g_app.activityCount;
  const HKL layout = g_app.lastKeyboardLayout;
  const std::wstring badge = g_app.badgeText;

  SendMessageW(window, g_app.shellHookMessage, HSHELL_LANGUAGE, reinterpret_cast<LPARAM>(layout));
  PumpMessages(200);
  EXPECT_EQ(InstalledIds(), loadable) << "re-applied although the badge is the same";
  EXPECT_EQ(g_app.badgeText, badge);
  EXPECT_EQ(g_app.activityCount, activity);
  EXPECT_TRUE(TrayCalled(NIM_MODIFY));
  EXPECT_EQ(recorder.cursorPosCalls, 1) << "unforced refresh only";

  // Other shell-hook codes are not layout changes.
  recorder.Clear();
  SendMessageW(window, g_app.shellHookMessage, HSHELL_WINDOWCREATED, 0);
  PumpMessages(50);
  EXPECT_TRUE(recorder.installs.empty());
}

TEST_F(HiddenWindow, PollRendersOnlyWhenBadgeChanges) {
  Create();
  Settle();
  const uint64_t activity = g_app.activityCount;
  PumpMessages(450);  // four or more poll ticks with the same layout
  EXPECT_TRUE(recorder.installs.empty());
  EXPECT_FALSE(TrayCalled(NIM_MODIFY));
  EXPECT_EQ(g_app.activityCount, activity);

  // The poll is alive: pretend the last layout was another and it switches back.
  g_app.lastKeyboardLayout = reinterpret_cast<HKL>(ForeignLayout());
  g_app.badgeText = L"??";
  for (int i = 0; i < 400 && g_app.badgeText == L"??"; ++i) PumpMessages(25);
  EXPECT_EQ(g_app.badgeText, OwnLayoutBadge());
  EXPECT_EQ(g_app.activityCount, activity + 1);
  EXPECT_EQ(InstalledIds(), loadable);
  EXPECT_TRUE(TrayCalled(NIM_MODIFY));
}

TEST_F(HiddenWindow, ReapplyTimerReinstallsSetAndRefreshesTray) {
  Create();
  Settle();
  ASSERT_TRUE(PostMessageW(window, WM_TIMER, kTimerCursorReapply, 0));
  PumpMessages(100);
  EXPECT_EQ(InstalledIds(), loadable);
  EXPECT_TRUE(TrayCalled(NIM_MODIFY));
  EXPECT_EQ(recorder.cursorPosCalls, 1);

  // Timers of other parts, or unknown ids, do nothing here.
  recorder.Clear();
  PostMessageW(window, WM_TIMER, 4242, 0);
  PumpMessages(50);
  EXPECT_TRUE(recorder.installs.empty());
}

TEST_F(HiddenWindow, DisabledFeatureKeepsSystemSetAtStart) {
  g_app.enabled = false;
  Create();
  EXPECT_TRUE(recorder.installs.empty());
  EXPECT_EQ(g_app.cursorApplyResult, L"suppressed");
}

// Installing, restoring and the visible-pointer refresh, with the system's
// cursor calls recorded (Wine only stubs them).
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <vector>

#include "cursor/CursorSet.h"
#include "cursor/SystemCursors.h"
#include "shell/AppState.h"
#include "shell/ShellConstants.h"
#include "shell/Timers.h"
#include "tests/cursor/CursorTestSupport.h"
#include "tests/support/Windows.h"

using namespace testing_support;

namespace {

// A window whose timers reach the real timer handler, without the start-up
// of the hidden window.
LRESULT CALLBACK TimerOnlyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER) {
    HandleTimer(window, static_cast<UINT_PTR>(wParam));
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateTimerWindow() {
  static bool registered = false;
  if (!registered) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = TimerOnlyProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"CursorInstallTests.TimerWindow";
    registered = RegisterClassW(&windowClass) != 0;
  }
  return CreateWindowExW(0, L"CursorInstallTests.TimerWindow", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
}

// Dispatches messages one at a time until pred holds (false on timeout).
template <class Pred>
bool PumpUntil(Pred pred, unsigned timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  while (!pred()) {
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return false;
    MSG msg;
    if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    } else {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
    }
  }
  return true;
}

class CursorInstall : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureGdiplus();
    g_app = AppState();
    ASSERT_TRUE(recorder.ok());
    LoadSourceCursors();
  }
  void TearDown() override {
    ReleaseSourceCursors();
    g_app = AppState();
  }

  std::vector<DWORD> InstalledIds() const {
    std::vector<DWORD> ids;
    for (const InstalledCursor& call : recorder.installs) ids.push_back(call.id);
    return ids;
  }

  PlatformRecorder recorder;
};

}  // namespace

TEST_F(CursorInstall, RestoreDecisionsFollowPreferences) {
  struct Case {
    bool enabled, leftHanded;
    int32_t style;
    BOOL restoreResult;
    const wchar_t* result;
  } cases[] = {
      {false, true, 1, TRUE, L"suppressed"},
      {false, true, 1, FALSE, L"failure"},
      {false, false, 0, TRUE, L"suppressed"},
      {true, false, 0, TRUE, L"success"},
      {true, false, 0, FALSE, L"failure"},
  };
  for (const Case& c : cases) {
    recorder.Clear();
    recorder.restoreResult = c.restoreResult;
    g_app.enabled = c.enabled;
    g_app.leftHanded = c.leftHanded;
    g_app.badgeStyle = c.style;
    ApplyCurrentCursors(false);
    EXPECT_EQ(g_app.cursorApplyResult, c.result);
    EXPECT_TRUE(recorder.installs.empty());
    EXPECT_EQ(recorder.events, std::vector<std::string>{"restore"});
    EXPECT_EQ(recorder.cursorPosCalls, 1) << "one pointer refresh";
  }
}

TEST_F(CursorInstall, InstallsEveryRenderableRowInTableOrder) {
  const std::vector<DWORD> loadable = LoadableCursorIds();
  struct Case {
    bool leftHanded;
    int32_t style;
  } cases[] = {{true, 0}, {true, 1}, {false, 1}, {false, 2}, {true, 3}};
  for (const Case& c : cases) {
    recorder.Clear();
    g_app.leftHanded = c.leftHanded;
    g_app.badgeStyle = c.style;
    ApplyCurrentCursors(false);
    EXPECT_EQ(InstalledIds(), loadable);
    EXPECT_EQ(recorder.CountEvents("restore"), 0u);
    // Shapes the platform cannot load (Wine: the pin and person) make it a failure.
    EXPECT_EQ(g_app.cursorApplyResult, loadable.size() == kSystemCursorCount ? L"success" : L"failure");
  }
}

TEST_F(CursorInstall, OneRejectedRowFailsWhileTheOthersStayInstalled) {
  // Every row renders when the two shapes Wine lacks come from another cursor.
  for (size_t i = 0; i < kSystemCursorCount; ++i) {
    if (g_app.sourceCursors[i] == nullptr) g_app.sourceCursors[i] = CopyIcon(LoadCursorW(nullptr, IDC_ARROW));
  }
  g_app.leftHanded = true;
  g_app.badgeStyle = 1;
  ApplyCurrentCursors(false);
  EXPECT_EQ(g_app.cursorApplyResult, L"success");
  EXPECT_EQ(recorder.AcceptedCount(), kSystemCursorCount);

  recorder.Clear();
  recorder.rejectedCursorId = 32514;
  ApplyCurrentCursors(false);
  EXPECT_EQ(g_app.cursorApplyResult, L"failure");
  EXPECT_EQ(recorder.installs.size(), kSystemCursorCount) << "no early exit after the rejected row";
  EXPECT_EQ(recorder.AcceptedCount(), kSystemCursorCount - 1);
  EXPECT_EQ(recorder.installs.back().id, 32672u);
}

TEST_F(CursorInstall, RestoreReportsTheSystemAnswer) {
  recorder.restoreResult = TRUE;
  EXPECT_TRUE(RestoreSystemCursors());
  EXPECT_EQ(g_app.cursorApplyResult, L"success");
  recorder.restoreResult = FALSE;
  EXPECT_FALSE(RestoreSystemCursors());
  EXPECT_EQ(g_app.cursorApplyResult, L"failure");
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"restore", "restore"}));
}

TEST_F(CursorInstall, ForcedRefreshRunsOnceNowAndThreeTimesOnTheTimer) {
  HWND window = CreateTimerWindow();
  ASSERT_NE(window, nullptr);
  g_app.hiddenWindow = window;

  ScheduleVisibleCursorRefresh(true);
  EXPECT_EQ(recorder.cursorPosCalls, 1);
  EXPECT_EQ(g_app.visibleRefreshRemaining, 3);
  PumpUntil([] { return g_app.visibleRefreshRemaining == 0; }, 10000);
  PumpMessages(100);
  EXPECT_EQ(recorder.cursorPosCalls, 4);
  EXPECT_EQ(g_app.visibleRefreshRemaining, 0);
  EXPECT_FALSE(KillTimer(window, kTimerVisibleCursorRefresh)) << "the burst stops its timer";

  // Re-arming during a burst starts the count again.
  recorder.Clear();
  ScheduleVisibleCursorRefresh(true);
  ASSERT_TRUE(PumpUntil([&] { return recorder.cursorPosCalls == 2; }, 10000));
  ASSERT_EQ(g_app.visibleRefreshRemaining, 2) << "one tick into the first burst";
  const int beforeRearm = recorder.cursorPosCalls;
  ScheduleVisibleCursorRefresh(true);
  EXPECT_EQ(g_app.visibleRefreshRemaining, 3);
  PumpUntil([] { return g_app.visibleRefreshRemaining == 0; }, 10000);
  PumpMessages(100);
  EXPECT_EQ(recorder.cursorPosCalls, beforeRearm + 1 + 3);

  // An apply with force runs the same burst.
  recorder.Clear();
  g_app.badgeStyle = 2;
  ApplyCurrentCursors(true);
  PumpUntil([] { return g_app.visibleRefreshRemaining == 0; }, 10000);
  PumpMessages(100);
  EXPECT_EQ(recorder.cursorPosCalls, 4);
  DestroyWindow(window);
}

TEST_F(CursorInstall, UnforcedRefreshArmsNoTimer) {
  HWND window = CreateTimerWindow();
  ASSERT_NE(window, nullptr);
  g_app.hiddenWindow = window;
  ScheduleVisibleCursorRefresh(false);
  PumpMessages(200);
  EXPECT_EQ(recorder.cursorPosCalls, 1);
  EXPECT_EQ(g_app.visibleRefreshRemaining, 0);

  // Forced, but without a window to own the timer.
  g_app.hiddenWindow = nullptr;
  recorder.Clear();
  ScheduleVisibleCursorRefresh(true);
  PumpMessages(200);
  EXPECT_EQ(recorder.cursorPosCalls, 1);
  EXPECT_EQ(g_app.visibleRefreshRemaining, 0);
  DestroyWindow(window);
}

TEST_F(CursorInstall, RefreshTimerWithNothingLeftStopsWithoutRedrawing) {
  HWND window = CreateTimerWindow();
  ASSERT_NE(window, nullptr);
  g_app.visibleRefreshRemaining = 0;
  ASSERT_NE(SetTimer(window, kTimerVisibleCursorRefresh, 40, nullptr), 0u);
  PumpMessages(150);
  EXPECT_EQ(recorder.cursorPosCalls, 0);
  EXPECT_FALSE(KillTimer(window, kTimerVisibleCursorRefresh));
  DestroyWindow(window);
}

TEST(SourceCursors_Load, CopiesEveryLoadableShapeAtTargetSizeAndReloadsCleanly) {
  g_app = AppState();
  LoadSourceCursors();
  const SIZE target = CurrentCursorTargetSize();
  std::vector<HCURSOR> first(std::begin(g_app.sourceCursors), std::end(g_app.sourceCursors));
  for (size_t i = 0; i < kSystemCursorCount; ++i) {
    const bool loadable = LoadCursorW(nullptr, kSystemCursorSpecs[i].resource) != nullptr;
    EXPECT_EQ(first[i] != nullptr, loadable) << i;
    if (!first[i]) continue;
    CursorPixels pixels;
    ASSERT_TRUE(ReadCursorPixels(first[i], pixels));
    EXPECT_EQ(pixels.width, target.cx) << i;
    // A private copy, not the shared system handle.
    EXPECT_NE(first[i], LoadCursorW(nullptr, kSystemCursorSpecs[i].resource)) << i;
  }

  LoadSourceCursors();
  ICONINFO info = {};
  EXPECT_FALSE(GetIconInfo(first[0], &info)) << "the first copies are destroyed before reloading";
  EXPECT_NE(g_app.sourceCursors[0], nullptr);

  ReleaseSourceCursors();
  for (HCURSOR cursor : g_app.sourceCursors) EXPECT_EQ(cursor, nullptr);
  ReleaseSourceCursors();  // nothing left: no effect
  g_app = AppState();
}

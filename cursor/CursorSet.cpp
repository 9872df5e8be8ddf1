#include "cursor/CursorSet.h"

#include <windows.h>

#include <cstdint>

#include "cursor/CursorApplyPlan.h"
#include "cursor/CursorRender.h"
#include "cursor/SystemCursors.h"
#include "shell/AppState.h"
#include "shell/ShellConstants.h"

namespace {

constexpr UINT kMessageWaitMs = 30;
constexpr int kChildSearchDepth = 32;
constexpr int kForcedRefreshRepeats = 3;

bool InstallReplacementCursors() {
  bool allInstalled = true;
  for (size_t i = 0; i < kSystemCursorCount; ++i) {
    const SystemCursorSpec& row = kSystemCursorSpecs[i];
    HCURSOR cursor = CreateMirroredSystemCursor(row, i);
    if (cursor == nullptr) {
      allInstalled = false;
      continue;
    }
    // On success the system owns the cursor.
    if (!SetSystemCursor(cursor, row.id)) {
      DestroyCursor(cursor);
      allInstalled = false;
    }
  }
  return allInstalled;
}

HWND DeepestWindowAt(POINT pt) {
  HWND window = WindowFromPoint(pt);
  if (window == nullptr) return nullptr;
  for (int step = 0; step < kChildSearchDepth; ++step) {
    POINT client = pt;
    if (!ScreenToClient(window, &client)) break;
    HWND child = ChildWindowFromPointEx(window, client,
                                        CWP_SKIPINVISIBLE | CWP_SKIPDISABLED | CWP_SKIPTRANSPARENT);
    if (child == nullptr || child == window) break;
    window = child;
  }
  return window;
}

// Moves the pointer onto itself so that the shell redraws it with the new set.
void InjectMoveToPointer(POINT pt) {
  const int vx = GetSystemMetrics(SM_XVIRTUALSCREEN);
  const int vy = GetSystemMetrics(SM_YVIRTUALSCREEN);
  const int vw = GetSystemMetrics(SM_CXVIRTUALSCREEN);
  const int vh = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  if (vw <= 0 || vh <= 0) return;

  INPUT input = {};
  input.type = INPUT_MOUSE;
  input.mi.dx = AbsoluteMoveCoordinate(pt.x, vx, vw);
  input.mi.dy = AbsoluteMoveCoordinate(pt.y, vy, vh);
  input.mi.mouseData = 0;
  input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_MOVE_NOCOALESCE | MOUSEEVENTF_VIRTUALDESK |
                     MOUSEEVENTF_ABSOLUTE;
  input.mi.time = 0;
  input.mi.dwExtraInfo = 0;
  SendInput(1, &input, sizeof(INPUT));
}

}  // namespace

CursorApplyAction DecideCursorApply(bool enabled, bool leftHanded, int32_t badgeStyle) {
  if (!enabled) return CursorApplyAction::RestoreSuppressed;
  if (!leftHanded && badgeStyle == 0) return CursorApplyAction::RestoreSystemSet;
  return CursorApplyAction::InstallReplacements;
}

LONG AbsoluteMoveCoordinate(LONG position, LONG origin, LONG extent) {
  const int64_t span = extent;
  int64_t offset = static_cast<int64_t>(position) - origin;
  if (offset < 0) offset = 0;
  if (offset > span - 1) offset = span - 1;
  int64_t coordinate = offset * 65536 / span + 32768 / span;
  if (coordinate > 65535) coordinate = 65535;
  return static_cast<LONG>(coordinate);
}

void ApplyCurrentCursors(bool force) {
  const CursorApplyAction action = DecideCursorApply(g_app.enabled, g_app.leftHanded, g_app.badgeStyle);
  if (action == CursorApplyAction::InstallReplacements) {
    const bool allInstalled = InstallReplacementCursors();
    ScheduleVisibleCursorRefresh(force);
    g_app.cursorApplyResult = allInstalled ? L"success" : L"failure";
    return;
  }

  const bool restored = RestoreSystemCursors();
  ScheduleVisibleCursorRefresh(force);
  if (!restored) {
    g_app.cursorApplyResult = L"failure";
  } else {
    g_app.cursorApplyResult =
        action == CursorApplyAction::RestoreSuppressed ? L"suppressed" : L"success";
  }
}

bool RestoreSystemCursors() {
  // Reloads the user's scheme; no profile write, no broadcast.
  const bool restored = SystemParametersInfoW(SPI_SETCURSORS, 0, nullptr, 0) == 1;
  g_app.cursorApplyResult = restored ? L"success" : L"failure";
  return restored;
}

void ScheduleVisibleCursorRefresh(bool force) {
  RefreshVisibleCursor(force);
  if (force && g_app.hiddenWindow != nullptr) {
    g_app.visibleRefreshRemaining = kForcedRefreshRepeats;
    if (SetTimer(g_app.hiddenWindow, kTimerVisibleCursorRefresh, kTimerVisibleCursorRefreshMs,
                 nullptr) == 0) {
      g_app.visibleRefreshRemaining = 0;
    }
  }
}

void RefreshVisibleCursor(bool force) {
  POINT pt;
  if (!GetCursorPos(&pt)) return;
  HWND window = DeepestWindowAt(pt);
  if (window == nullptr) return;

  DWORD_PTR hit = HTCLIENT;
  SendMessageTimeoutW(window, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y), SMTO_ABORTIFHUNG, kMessageWaitMs,
                      &hit);
  const LPARAM setCursorParam = MAKELPARAM(LOWORD(hit), WM_MOUSEMOVE);
  if (!force) {
    SendMessageTimeoutW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), setCursorParam,
                        SMTO_ABORTIFHUNG, kMessageWaitMs, nullptr);
    return;
  }

  if (HCURSOR current = GetCursor()) {
    SetCursor(nullptr);
    SetCursor(current);
  }
  SendMessageTimeoutW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), setCursorParam,
                      SMTO_ABORTIFHUNG, kMessageWaitMs, nullptr);
  InjectMoveToPointer(pt);
}

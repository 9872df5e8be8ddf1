#include "shell/Timers.h"

#include "cursor/CursorSet.h"
#include "cursor/LayoutChange.h"
#include "shell/AppState.h"
#include "shell/ShellConstants.h"
#include "shell/TrayIcon.h"

namespace {

void HandleVisibleCursorRefreshTick(HWND window) {
  if (g_app.visibleRefreshRemaining <= 0) {
    KillTimer(window, kTimerVisibleCursorRefresh);
    return;
  }
  RefreshVisibleCursor(true);
  g_app.visibleRefreshRemaining -= 1;
  if (g_app.visibleRefreshRemaining <= 0) KillTimer(window, kTimerVisibleCursorRefresh);
}

}  // namespace

void HandleTimer(HWND window, UINT_PTR timerId) {
  switch (timerId) {
    case kTimerLayoutPoll:
      UpdateLanguageAndApply(false, true);
      break;
    case kTimerCursorReapply:
      ApplyCurrentCursors(false);
      RefreshTrayIcon();
      break;
    case kTimerVisibleCursorRefresh:
      HandleVisibleCursorRefreshTick(window);
      break;
    default:
      break;
  }
}

#include "shell/Timers.h"

#include "common/Time.h"
#include "cursor/CursorSet.h"
#include "cursor/LayoutChange.h"
#include "shell/AppState.h"
#include "shell/ShellConstants.h"
#include "shell/TrayIcon.h"
#include "telemetry/EventQueue.h"
#include "update/UpdateCheck.h"

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

void HandleTelemetryReportTick() {
  if (g_app.activityCount != g_app.reportedActivityCount) {
    QueueTelemetryReport(L"activity_summary", L"");
    g_app.reportedActivityCount = g_app.activityCount;
  }
  const uint64_t now = CurrentUnixTime();
  if (now >= g_app.lastSessionAliveUnix + 300) {
    QueueTelemetryReport(L"session_alive", L"");
    g_app.lastSessionAliveUnix = now;
  }
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
    case kTimerUpdateCheck:
      QueueUpdateCheck(false);
      break;
    case kTimerVisibleCursorRefresh:
      HandleVisibleCursorRefreshTick(window);
      break;
    case kTimerTelemetryReport:
      HandleTelemetryReportTick();
      break;
    default:
      break;
  }
}

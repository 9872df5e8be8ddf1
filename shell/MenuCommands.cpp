#include "shell/MenuCommands.h"

#include <cstdint>

#include "cursor/CursorSet.h"
#include "cursor/LayoutChange.h"
#include "shell/AppState.h"
#include "shell/AutoStart.h"
#include "shell/ForegroundLayout.h"
#include "shell/Preferences.h"
#include "shell/ShellConstants.h"
#include "shell/TrayIcon.h"
#include "shell/UpdateResults.h"
#include "telemetry/EventQueue.h"

namespace {

const wchar_t* const kStyleEvents[] = {L"style_none", L"style_letter", L"style_dot", L"style_high_contrast"};

// Stores the changed preference and rebuilds the set for the current layout.
void ApplyPreferenceChange() {
  SaveCursorPreferences();
  UpdateLanguageFromLayout(ForegroundKeyboardLayout(), true, false);
}

void ToggleEnabled() {
  g_app.enabled = !g_app.enabled;
  if (g_app.enabled) {
    UpdateLanguageAndApply(true, false);
  } else {
    RestoreSystemCursors();
  }
  RefreshTrayIcon();
  QueueTelemetryReport(g_app.enabled ? L"enabled" : L"disabled", L"");
}

void RestoreOsCursor() {
  g_app.enabled = false;
  RestoreSystemCursors();
  ScheduleVisibleCursorRefresh(false);
  RefreshTrayIcon();
  QueueTelemetryReport(L"restore", L"");
}

}  // namespace

void HandleMenuCommand(HWND window, WORD commandId) {
  switch (commandId) {
    case kMenuEnable:
      ToggleEnabled();
      break;
    case kMenuLeftHanded:
    case kMenuRightHanded:
      g_app.leftHanded = commandId == kMenuLeftHanded;
      ApplyPreferenceChange();
      QueueTelemetryReport(g_app.leftHanded ? L"handedness_left" : L"handedness_right", L"");
      break;
    case kMenuBadgeNone:
    case kMenuBadgeLetter:
    case kMenuBadgeDot:
    case kMenuBadgeHighContrast:
      // The four badge ids run in style order.
      g_app.badgeStyle = static_cast<int32_t>(commandId - kMenuBadgeNone);
      ApplyPreferenceChange();
      QueueTelemetryReport(kStyleEvents[g_app.badgeStyle], L"");
      break;
    case kMenuRestoreCursor:
      RestoreOsCursor();
      break;
    case kMenuCheckForUpdates:
      CheckForUpdatesCommand(window);
      break;
    case kMenuDownloadUpdate:
      DownloadUpdateCommand(window);
      break;
    case kMenuLaunchAtStartup:
      ToggleAutoStart(window);
      break;
    case kMenuExit:
      DestroyWindow(window);
      break;
    default:
      break;
  }
}

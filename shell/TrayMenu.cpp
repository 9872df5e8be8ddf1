#include "shell/TrayMenu.h"

#include "common/Format.h"
#include "shell/AppState.h"
#include "shell/AutoStart.h"
#include "shell/ShellConstants.h"

namespace {

UINT CheckedWhen(bool condition) {
  return condition ? MF_CHECKED : MF_UNCHECKED;
}

// MF_DISABLED alone: the rows keep their normal look.
UINT DisabledWhen(bool condition) {
  return condition ? MF_DISABLED : MF_ENABLED;
}

void AppendStatusRows(HMENU menu) {
  if (g_app.updateDownloadRunning) {
    AppendMenuW(menu, MF_STRING | MF_DISABLED, 0, L"Downloading update...");
  } else if (g_app.updateCheckRunning) {
    AppendMenuW(menu, MF_STRING | MF_DISABLED, 0, L"Checking for updates...");
  } else if (g_app.updateAvailable) {
    // A version that does not fit leaves the row empty; the download row
    // still follows.
    wchar_t status[128];
    FormatWide(status, L"Update available: %ls", g_app.updateVersion.c_str());
    AppendMenuW(menu, MF_STRING | MF_DISABLED, 0, status);
    AppendMenuW(menu, MF_STRING, kMenuDownloadUpdate, L"Download update");
  } else if (g_app.updateCheckDone) {
    AppendMenuW(menu, MF_STRING | MF_DISABLED, 0, L"No updates available");
  }
}

}  // namespace

ScopedMenu BuildTrayMenu() {
  ScopedMenu menu(CreatePopupMenu());
  if (!menu) return menu;
  const HMENU m = menu.Get();
  const UINT featureRow = MF_STRING | DisabledWhen(!g_app.enabled);

  AppendMenuW(m, MF_STRING | CheckedWhen(g_app.enabled), kMenuEnable, L"Enable TolvaneWin");
  AppendMenuW(m, MF_STRING | CheckedWhen(g_app.autoStart), kMenuLaunchAtStartup, L"Launch at Windows startup");
  AppendMenuW(m, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(m, featureRow | CheckedWhen(g_app.leftHanded), kMenuLeftHanded, L"Left-handed cursor");
  AppendMenuW(m, featureRow | CheckedWhen(!g_app.leftHanded), kMenuRightHanded, L"Right-handed cursor");
  AppendMenuW(m, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(m, featureRow | CheckedWhen(g_app.badgeStyle == 0), kMenuBadgeNone, L"No badge");
  AppendMenuW(m, featureRow | CheckedWhen(g_app.badgeStyle == 1), kMenuBadgeLetter, L"Letter badge");
  AppendMenuW(m, featureRow | CheckedWhen(g_app.badgeStyle == 2), kMenuBadgeDot, L"Color dot");
  AppendMenuW(m, featureRow | CheckedWhen(g_app.badgeStyle == 3), kMenuBadgeHighContrast, L"High contrast badge");
  AppendMenuW(m, MF_SEPARATOR, 0, nullptr);
  AppendStatusRows(m);
  AppendMenuW(m, MF_STRING | DisabledWhen(g_app.updateCheckRunning || g_app.updateDownloadRunning),
              kMenuCheckForUpdates, L"Check for updates");
  AppendMenuW(m, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(m, MF_STRING, kMenuRestoreCursor, L"Restore OS cursor");
  AppendMenuW(m, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(m, MF_STRING, kMenuExit, L"Exit");
  return menu;
}

void ShowTrayMenu(HWND window) {
  RefreshAutoStartState();
  ScopedMenu menu = BuildTrayMenu();
  if (!menu) return;
  POINT point = {0, 0};
  GetCursorPos(&point);
  // Without this the menu would not close when the user clicks elsewhere.
  SetForegroundWindow(window);
  TrackPopupMenu(menu.Get(), TPM_BOTTOMALIGN | TPM_RIGHTBUTTON, point.x, point.y, 0, window, nullptr);
}

void HandleTrayCallback(HWND window, LPARAM lParam) {
  switch (LOWORD(lParam)) {
    case WM_CONTEXTMENU:
    case WM_RBUTTONUP:
    case WM_LBUTTONUP:
      ShowTrayMenu(window);
      break;
    default:
      break;
  }
}

#include <windows.h>

#include "common/Identifiers.h"
#include "cursor/CursorSet.h"
#include "cursor/LanguageBadge.h"
#include "cursor/LayoutChange.h"
#include "cursor/SystemCursors.h"
#include "shell/AppState.h"
#include "shell/AutoStart.h"
#include "shell/ForegroundLayout.h"
#include "shell/InstallState.h"
#include "shell/ShellConstants.h"
#include "shell/TrayIcon.h"
#include "shell/WindowProc.h"

void HandleCreate(HWND window) {
  g_app.hiddenWindow = window;
  LoadInstallState();
  g_app.sessionId = GenerateGuidString();
  RefreshAutoStartState();

  const LANGID language = LOWORD(reinterpret_cast<ULONG_PTR>(ForegroundKeyboardLayout()));
  g_app.badgeText = BadgeFromLocaleName(LocaleNameFromLangId(language));
  AddTrayIcon(window);

  g_app.shellHookMessage = RegisterWindowMessageW(L"SHELLHOOK");
  if (g_app.shellHookMessage != 0) {
    g_app.shellHookRegistered = RegisterShellHookWindow(window) == 1;
  }

  // The private copies must come from the system's own set, not from ours.
  RestoreSystemCursors();
  LoadSourceCursors();
  ApplyCurrentCursors(false);

  UpdateLanguageFromLayout(ForegroundKeyboardLayout(), true, false);

  SetTimer(window, kTimerLayoutPoll, kTimerLayoutPollMs, nullptr);
  SetTimer(window, kTimerCursorReapply, kTimerCursorReapplyMs, nullptr);
}

void HandleDestroy(HWND window) {
  KillTimer(window, kTimerLayoutPoll);
  KillTimer(window, kTimerCursorReapply);
  KillTimer(window, kTimerVisibleCursorRefresh);

  if (g_app.shellHookRegistered) {
    DeregisterShellHookWindow(window);
    g_app.shellHookRegistered = false;
  }

  RestoreSystemCursors();
  RemoveTrayIcon();
  ReleaseSourceCursors();

  PostQuitMessage(0);
}

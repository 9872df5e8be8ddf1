#include <windows.h>

#include "common/Identifiers.h"
#include "common/Time.h"
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
#include "telemetry/EventQueue.h"
#include "telemetry/IdentityMetadata.h"
#include "telemetry/Transport.h"
#include "telemetry/WindowsOutbox.h"
#include "update/UpdateCheck.h"

void HandleCreate(HWND window) {
  g_app.hiddenWindow = window;
  LoadInstallState();
  LoadTelemetryMetadata();
  const uint64_t nowUnix = CurrentUnixTime();
  g_telemetryOutbox->Start(g_telemetryDirectory, kRegistryPath, SendTelemetryNow, nowUnix);
  g_app.sessionId = GenerateGuidString();
  RefreshAutoStartState();

  const LANGID language = LOWORD(reinterpret_cast<ULONG_PTR>(ForegroundKeyboardLayout()));
  g_app.badgeText = BadgeFromLocaleName(LocaleNameFromLangId(language));
  AddTrayIcon(window);
  // Broadcast by a (re)started taskbar, which has forgotten every entry.
  g_app.taskbarCreatedMessage = RegisterWindowMessageW(L"TaskbarCreated");

  g_app.shellHookMessage = RegisterWindowMessageW(L"SHELLHOOK");
  if (g_app.shellHookMessage != 0) {
    g_app.shellHookRegistered = RegisterShellHookWindow(window) == 1;
  }

  // The private copies must come from the system's own set, not from ours.
  RestoreSystemCursors();
  LoadSourceCursors();
  ApplyCurrentCursors(false);
  SendTelemetryReportNow(g_app.launchKind.c_str());

  UpdateLanguageFromLayout(ForegroundKeyboardLayout(), true, false);

  SetTimer(window, kTimerTelemetryReport, kTimerTelemetryReportMs, nullptr);
  SetTimer(window, kTimerLayoutPoll, kTimerLayoutPollMs, nullptr);
  SetTimer(window, kTimerCursorReapply, kTimerCursorReapplyMs, nullptr);
  SetTimer(window, kTimerUpdateCheck, kTimerUpdateCheckMs, nullptr);
  QueueUpdateCheck(false);
}

void HandleDestroy(HWND window) {
  KillTimer(window, kTimerTelemetryReport);
  QueueTelemetryReport(L"activity_summary", L"");
  KillTimer(window, kTimerLayoutPoll);
  KillTimer(window, kTimerCursorReapply);
  KillTimer(window, kTimerUpdateCheck);
  KillTimer(window, kTimerVisibleCursorRefresh);

  if (g_app.shellHookRegistered) {
    DeregisterShellHookWindow(window);
    g_app.shellHookRegistered = false;
  }
  SendTelemetryReportNow(L"exit");
  // Events reach disk here; delivery is left to a later run.
  g_telemetryOutbox->FlushForExit();

  RestoreSystemCursors();
  RemoveTrayIcon();
  ReleaseSourceCursors();

  PostQuitMessage(0);
}

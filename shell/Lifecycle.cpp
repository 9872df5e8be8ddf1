#include <windows.h>

#include "common/Identifiers.h"
#include "shell/AppState.h"
#include "shell/AutoStart.h"
#include "shell/InstallState.h"
#include "shell/WindowProc.h"

void HandleCreate(HWND window) {
  g_app.hiddenWindow = window;
  LoadInstallState();
  g_app.sessionId = GenerateGuidString();
  RefreshAutoStartState();

  g_app.shellHookMessage = RegisterWindowMessageW(L"SHELLHOOK");
  if (g_app.shellHookMessage != 0) {
    g_app.shellHookRegistered = RegisterShellHookWindow(window) == 1;
  }
}

void HandleDestroy(HWND window) {
  if (g_app.shellHookRegistered) {
    DeregisterShellHookWindow(window);
    g_app.shellHookRegistered = false;
  }

  PostQuitMessage(0);
}

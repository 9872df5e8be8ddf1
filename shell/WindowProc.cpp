#include "shell/WindowProc.h"

#include "cursor/LayoutChange.h"
#include "shell/AppState.h"
#include "shell/MenuCommands.h"
#include "shell/ShellConstants.h"
#include "shell/Timers.h"
#include "shell/TrayIcon.h"
#include "shell/TrayMenu.h"
#include "shell/UpdateResults.h"

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // The registered shell-hook message is not a constant, so it is tested first.
  if (g_app.shellHookMessage != 0 && message == g_app.shellHookMessage) {
    if (wParam == HSHELL_LANGUAGE) {
      UpdateLanguageFromLayout(reinterpret_cast<HKL>(lParam), true, true);
      return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
  }

  if (g_app.taskbarCreatedMessage != 0 && message == g_app.taskbarCreatedMessage) {
    AddTrayIconAgain();
    return 0;
  }

  switch (message) {
    case WM_CREATE:
      HandleCreate(window);
      return 0;
    case WM_DESTROY:
      HandleDestroy(window);
      return 0;
    case WM_INPUTLANGCHANGE:
      UpdateLanguageFromLayout(reinterpret_cast<HKL>(lParam), true, true);
      return 0;
    case WM_COMMAND:
      HandleMenuCommand(window, LOWORD(wParam));
      return 0;
    case WM_TIMER:
      HandleTimer(window, static_cast<UINT_PTR>(wParam));
      return 0;
    case kTrayCallbackMessage:
      HandleTrayCallback(window, lParam);
      return 0;
    case kUpdateCheckResultMessage:
      HandleUpdateCheckResult(window, lParam);
      return 0;
    case kUpdateDownloadResultMessage:
      HandleUpdateDownloadResult(window, lParam);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

#include "shell/MenuCommands.h"

#include "shell/AutoStart.h"
#include "shell/ShellConstants.h"

void HandleMenuCommand(HWND window, WORD commandId) {
  switch (commandId) {
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

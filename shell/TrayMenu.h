#pragma once

#include <windows.h>

#include "common/ScopedHandle.h"

// Builds the tray menu from g_app as it is now; an invalid menu when
// CreatePopupMenu fails.
ScopedMenu BuildTrayMenu();
// Re-reads start with Windows, then shows the menu at the pointer; the chosen
// row reaches window as WM_COMMAND.
void ShowTrayMenu(HWND window);
// The tray callback (notification version 4: the event is in LOWORD(lParam)).
void HandleTrayCallback(HWND window, LPARAM lParam);

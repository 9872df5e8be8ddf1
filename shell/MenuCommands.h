#pragma once

#include <windows.h>

// Carries out a tray-menu command; unknown ids are ignored.
void HandleMenuCommand(HWND window, WORD commandId);

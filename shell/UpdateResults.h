#pragma once

#include <windows.h>

// Results posted by the update workers; the handlers own and free the record.
void HandleUpdateCheckResult(HWND window, LPARAM lParam);
void HandleUpdateDownloadResult(HWND window, LPARAM lParam);

// Tray commands "Check for updates" and "Download update".
void CheckForUpdatesCommand(HWND window);
void DownloadUpdateCommand(HWND window);

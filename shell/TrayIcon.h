#pragma once

#include <windows.h>

#include <string>

// Adds the notification-area entry of the hidden window.
void AddTrayIcon(HWND window);
// Adds the entry again from the record it already holds, after the shell
// forgot it (Explorer restarted, or no taskbar existed at start).
void AddTrayIconAgain();
BOOL RefreshTrayIcon();
// Removes the entry and frees the owned icon.
void RemoveTrayIcon();
// Fallback icon drawn when the icon resource cannot be loaded; caller owns it.
HICON CreateTrayIcon(const std::wstring& badgeText);

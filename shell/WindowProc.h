#pragma once

#include <windows.h>

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Start-up and shut-down of the hidden window.
void HandleCreate(HWND window);
void HandleDestroy(HWND window);

#pragma once

#include <windows.h>

// WM_TIMER of the hidden window; ids it does not know are ignored.
void HandleTimer(HWND window, UINT_PTR timerId);

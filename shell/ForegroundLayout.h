#pragma once

#include <windows.h>

// Keyboard layout of the foreground window's thread; with no foreground
// window, thread 0 (the calling thread's layout).
HKL ForegroundKeyboardLayout();

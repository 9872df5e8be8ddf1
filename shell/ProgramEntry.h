#pragma once

#include <windows.h>

// The whole run of the tray program: single instance, GDI+, the hidden window
// and its message loop. Returns the process exit code.
int RunTrayProgram(HINSTANCE instance);

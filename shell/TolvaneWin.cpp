#include <windows.h>

#include "shell/ProgramEntry.h"

// The program takes no command-line options.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, wchar_t*, int) {
  return RunTrayProgram(instance);
}

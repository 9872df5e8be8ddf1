#include "shell/ForegroundLayout.h"

HKL ForegroundKeyboardLayout() {
  HWND foreground = GetForegroundWindow();
  const DWORD thread = foreground != nullptr ? GetWindowThreadProcessId(foreground, nullptr) : 0;
  return GetKeyboardLayout(thread);
}

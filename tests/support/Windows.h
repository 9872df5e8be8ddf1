#pragma once

#include <windows.h>

namespace testing_support {

// Finds the hidden window of the running program (class "TolvaneWin.HiddenWindow"),
// optionally only one owned by the given process.
HWND FindHiddenWindow(unsigned timeoutMs, DWORD processId = 0);
// A visible popup menu (class "#32768") of the given process, waiting up to timeoutMs.
HWND FindOpenPopupMenu(DWORD processId, unsigned timeoutMs);
bool PostCommand(HWND window, WORD commandId);
bool PostClose(HWND window);

// Pumps this thread's messages for about the given time (for in-process window tests).
void PumpMessages(unsigned milliseconds);

}  // namespace testing_support

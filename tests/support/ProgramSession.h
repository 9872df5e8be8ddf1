#pragma once

#include <string>

#include "tests/support/Processes.h"
#include "tests/support/ScratchDirectories.h"

namespace testing_support {

// One run of the real program in a clean per-user setting: private
// LOCALAPPDATA and TEMP, and the prefix's HKCU\Software\TolvaneWin emptied
// before and after (programs started by tests share the prefix's registry).
class ProgramSession {
 public:
  ProgramSession();
  ~ProgramSession();

  // Starts exe (default: the built TolvaneWin.exe) and waits for its hidden window.
  // A failure is printed to the log.
  bool Start(const std::wstring& exe = L"");
  // Posts WM_CLOSE and waits for the exit code.
  bool Close(unsigned long& exitCode);

  ScratchDirectories dirs;
  ChildProcess process;
  HWND window = nullptr;
};

}  // namespace testing_support

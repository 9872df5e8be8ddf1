#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "common/CommandLine.h"

namespace testing_support {

// A started child process; killed at destruction if still running.
class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(ChildProcess&& other) noexcept;
  ChildProcess& operator=(ChildProcess&& other) noexcept;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts exe with the given (already quoted) arguments. Extra variables are
  // added to this process's environment for the child only. A failure is
  // printed to the log with the program and the error CreateProcessW gave.
  bool Start(const std::wstring& exe, const std::wstring& arguments = L"",
             const std::vector<std::pair<std::wstring, std::wstring>>& environment = {},
             const std::wstring& workingDirectory = L"");
  // Starts a whole command line, letting the platform find the program.
  bool StartCommandLine(const std::wstring& commandLine);
  // Waits up to timeoutMs; true when the process ended, exitCode then set.
  bool Wait(unsigned timeoutMs, DWORD& exitCode);
  bool Running() const;
  void Kill();
  DWORD pid() const { return processId; }
  HANDLE handle() const { return process; }

 private:
  HANDLE process = nullptr;
  DWORD processId = 0;
};

inline std::wstring QuoteForCommandLine(const std::wstring& argument) {
  return QuoteArgument(argument);
}
// Path of the real program under test (built beside the test executables).
std::wstring TolvaneWinExePath();

}  // namespace testing_support

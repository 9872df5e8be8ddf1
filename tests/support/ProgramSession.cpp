#include "tests/support/ProgramSession.h"

#include <cstdio>

#include "tests/support/ScratchRegistry.h"
#include "tests/support/Windows.h"

namespace testing_support {

namespace {
constexpr wchar_t kProgramKey[] = L"Software\\TolvaneWin";
constexpr unsigned kStartTimeoutMs = 15000;
constexpr unsigned kExitTimeoutMs = 15000;
}  // namespace

ProgramSession::ProgramSession() {
  RegDeleteTreeIfPresent(HKEY_CURRENT_USER, kProgramKey);
}

ProgramSession::~ProgramSession() {
  if (process.Running() && window != nullptr) {
    PostClose(window);
    DWORD code = 0;
    process.Wait(kExitTimeoutMs, code);
  }
  process.Kill();
  RegDeleteTreeIfPresent(HKEY_CURRENT_USER, kProgramKey);
}

bool ProgramSession::Start(const std::wstring& exe) {
  if (!process.Start(exe.empty() ? TolvaneWinExePath() : exe)) return false;
  window = FindHiddenWindow(kStartTimeoutMs, process.pid());
  if (window == nullptr) {
    std::printf("no hidden window of process %lu within %lu ms\n", static_cast<unsigned long>(process.pid()),
                static_cast<unsigned long>(kStartTimeoutMs));
    std::fflush(stdout);
  }
  return window != nullptr;
}

bool ProgramSession::Close(unsigned long& exitCode) {
  if (window == nullptr || !PostClose(window)) return false;
  DWORD code = 0;
  if (!process.Wait(kExitTimeoutMs, code)) return false;
  exitCode = code;
  window = nullptr;
  return true;
}

}  // namespace testing_support

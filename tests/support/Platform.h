#pragma once

#include <string>

namespace testing_support {

// True under Wine (ntdll exports wine_get_version).
bool IsWine();

// Skips the current test under Wine, with a greppable reason.
#define TOLVANE_SKIP_ON_WINE(reason)                              \
  do {                                                            \
    if (::testing_support::IsWine()) GTEST_SKIP() << "WINE-SKIP: " << reason; \
  } while (0)

// For a single assertion Wine cannot show: prints a greppable WINE-SKIP line
// and returns true under Wine.
bool WineCannotShow(const char* what);

// Folder of the running test executable (TolvaneWin.exe is built beside it).
std::wstring ExecutableDirectory();

// Polls pred every 10 ms until it holds or timeoutMs pass.
template <class Pred>
bool WaitFor(Pred pred, unsigned timeoutMs);

}  // namespace testing_support

#include <windows.h>

template <class Pred>
bool testing_support::WaitFor(Pred pred, unsigned timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    if (pred()) return true;
    if (GetTickCount64() >= deadline) return false;
    Sleep(10);
  }
}

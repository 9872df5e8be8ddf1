#include "tests/support/Platform.h"

#include <windows.h>

#include <cstdio>

#include "common/Paths.h"

namespace testing_support {

bool IsWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

bool WineCannotShow(const char* what) {
  if (!IsWine()) return false;
  std::printf("[ WINE-SKIP ] %s\n", what);
  std::fflush(stdout);
  return true;
}

std::wstring ExecutableDirectory() {
  std::wstring path = CurrentExecutablePath();
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

}  // namespace testing_support

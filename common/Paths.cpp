#include "common/Paths.h"

#include <windows.h>

std::wstring CurrentExecutablePath() {
  return ModuleFileName(nullptr);
}

std::wstring ModuleFileName(HMODULE module) {
  std::wstring path(MAX_PATH, L'\0');
  DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
  // A result that fills the buffer may be cut short: grow and ask again.
  while (length != 0 && length == path.size()) {
    path.assign(static_cast<size_t>(length) * 2, L'\0');
    length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
  }
  path.resize(length);
  return path;
}

std::wstring JoinPath(const std::wstring& directory, const std::wstring& name) {
  if (directory.empty()) return name;
  const wchar_t last = directory.back();
  if (last == L'\\' || last == L'/') return directory + name;
  return directory + L'\\' + name;
}

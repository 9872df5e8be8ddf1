#include "updater/UpdaterFiles.h"

#include <wchar.h>

#include "common/ScopedHandle.h"

namespace updater {

namespace {

bool IsDotEntry(const wchar_t* name) {
  return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0;
}

// Only the stage folder is walked. A folder link found there is never
// followed: removal would otherwise reach files outside the stage, and a
// search could loop.
bool IsFolderLink(const WIN32_FIND_DATAW& entry) {
  return (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// PowerShell ends a single-quoted string at any of these, not only at U+0027.
bool IsPowerShellSingleQuote(wchar_t unit) {
  return unit == L'\'' || unit == L'\x2018' || unit == L'\x2019' || unit == L'\x201A' || unit == L'\x201B';
}

}  // namespace

std::wstring JoinPath(const std::wstring& directory, const std::wstring& name) {
  if (directory.empty()) return name;
  const wchar_t last = directory.back();
  if (last == L'\\' || last == L'/') return directory + name;
  return directory + L'\\' + name;
}

std::wstring PowerShellSingleQuoted(const std::wstring& text) {
  std::wstring quoted = L"'";
  for (wchar_t unit : text) {
    quoted.push_back(unit);
    if (IsPowerShellSingleQuote(unit)) quoted.push_back(unit);
  }
  quoted.push_back(L'\'');
  return quoted;
}

std::wstring DirectoryName(const std::wstring& path) {
  const size_t separator = path.find_last_of(L"\\/");
  if (separator == std::wstring::npos) return L".";
  if (separator == 0) return path.substr(0, 1);
  return path.substr(0, separator);
}

bool FindFileRecursive(const std::wstring& folder, const std::wstring& fileName, std::wstring& foundPath) {
  WIN32_FIND_DATAW entry;
  ScopedFindHandle find(FindFirstFileW(JoinPath(folder, L"*").c_str(), &entry));
  if (!find.IsValid()) return false;
  do {
    if (IsDotEntry(entry.cFileName)) continue;
    const std::wstring child = JoinPath(folder, entry.cFileName);
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (!IsFolderLink(entry) && FindFileRecursive(child, fileName, foundPath)) return true;
    } else if (_wcsicmp(entry.cFileName, fileName.c_str()) == 0) {
      foundPath = child;
      return true;
    }
  } while (FindNextFileW(find.Get(), &entry));
  return false;
}

BOOL RemoveDirectoryRecursive(const std::wstring& folder) {
  WIN32_FIND_DATAW entry;
  ScopedFindHandle find(FindFirstFileW(JoinPath(folder, L"*").c_str(), &entry));
  if (find.IsValid()) {
    do {
      if (IsDotEntry(entry.cFileName)) continue;
      const std::wstring child = JoinPath(folder, entry.cFileName);
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        // A link goes as a link; what it points at stays.
        if (IsFolderLink(entry)) {
          RemoveDirectoryW(child.c_str());
        } else {
          RemoveDirectoryRecursive(child);
        }
      } else {
        SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(child.c_str());
      }
    } while (FindNextFileW(find.Get(), &entry));
  }
  find.Reset();
  return RemoveDirectoryW(folder.c_str());
}

}  // namespace updater

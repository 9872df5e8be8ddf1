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
bool IsLink(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Deletes the link itself, never what it points at. The handle must show the
// link, not its target; where the platform cannot open the link as such, the
// link stays and false comes back.
BOOL RemoveFolderLink(const std::wstring& path) {
  ScopedFileHandle link(CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!link.IsValid()) return FALSE;
  FILE_ATTRIBUTE_TAG_INFO opened = {};
  if (!GetFileInformationByHandleEx(link.Get(), FileAttributeTagInfo, &opened, sizeof(opened)) ||
      (opened.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    return FALSE;
  }
  FILE_DISPOSITION_INFO disposition = {};
  disposition.DeleteFile = TRUE;
  return SetFileInformationByHandle(link.Get(), FileDispositionInfo, &disposition, sizeof(disposition));
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
  if (IsLink(folder)) return false;
  WIN32_FIND_DATAW entry;
  ScopedFindHandle find(FindFirstFileW(JoinPath(folder, L"*").c_str(), &entry));
  if (!find.IsValid()) return false;
  do {
    if (IsDotEntry(entry.cFileName)) continue;
    const std::wstring child = JoinPath(folder, entry.cFileName);
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (FindFileRecursive(child, fileName, foundPath)) return true;
    } else if (_wcsicmp(entry.cFileName, fileName.c_str()) == 0) {
      foundPath = child;
      return true;
    }
  } while (FindNextFileW(find.Get(), &entry));
  return false;
}

bool IsExistingFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsRealFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::wstring ReplacementPath(const std::wstring& targetPath) {
  return targetPath + L".new";
}

bool CopyBesideTarget(const std::wstring& source, const std::wstring& targetPath) {
  const std::wstring copy = ReplacementPath(targetPath);
  bool whole = CopyFileW(source.c_str(), copy.c_str(), FALSE) != FALSE;
  if (whole) {
    // On disk before the rename, so that a power cut cannot leave the new
    // name on data that was never written.
    ScopedFileHandle file(CreateFileW(copy.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    whole = file.IsValid() && FlushFileBuffers(file.Get());
  }
  if (!whole) DeleteFileW(copy.c_str());
  return whole;
}

bool MoveCopyOntoTarget(const std::wstring& targetPath) {
  const std::wstring copy = ReplacementPath(targetPath);
  if (MoveFileExW(copy.c_str(), targetPath.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  DeleteFileW(copy.c_str());
  return false;
}

bool InstallFileWhole(const std::wstring& source, const std::wstring& targetPath) {
  return CopyBesideTarget(source, targetPath) && MoveCopyOntoTarget(targetPath);
}

void RestoreBackup(const std::wstring& backupPath, const std::wstring& targetPath) {
  if (!IsExistingFile(backupPath)) return;
  if (MoveFileExW(backupPath.c_str(), targetPath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) return;
  CopyFileW(backupPath.c_str(), targetPath.c_str(), FALSE);
}

BOOL RemoveDirectoryRecursive(const std::wstring& folder) {
  if (IsLink(folder)) return RemoveFolderLink(folder);
  WIN32_FIND_DATAW entry;
  ScopedFindHandle find(FindFirstFileW(JoinPath(folder, L"*").c_str(), &entry));
  if (find.IsValid()) {
    do {
      if (IsDotEntry(entry.cFileName)) continue;
      const std::wstring child = JoinPath(folder, entry.cFileName);
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveDirectoryRecursive(child);
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

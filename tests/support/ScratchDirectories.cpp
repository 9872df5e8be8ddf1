#include "tests/support/ScratchDirectories.h"

#include <windows.h>

#include <atomic>

#include "common/CommandLine.h"
#include "common/Paths.h"
#include "common/ScopedHandle.h"
#include "tests/support/Platform.h"

namespace testing_support {

namespace {

std::atomic<unsigned> g_dirCounter{0};

bool IsFolderLink(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::wstring UnixPath(const std::wstring& path) {
  using UnixFileName = char*(CDECL*)(const wchar_t*);
  const auto convert = reinterpret_cast<UnixFileName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  char* name = convert != nullptr ? convert(path.c_str()) : nullptr;
  if (name == nullptr) return L"";
  std::wstring wide;
  for (const char* c = name; *c != '\0'; ++c) wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*c)));
  HeapFree(GetProcessHeap(), 0, name);
  return wide;
}

// Wine starts Unix programs too. Their handles cannot be waited on, so
// callers poll for the program's effect.
bool StartUnixProgram(std::wstring commandLine) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    return false;
  }
  if (info.hThread != nullptr) CloseHandle(info.hThread);
  if (info.hProcess != nullptr) CloseHandle(info.hProcess);
  return true;
}

// Wine has no call that removes a folder link without reaching its target,
// and once the target is gone it no longer lists the link at all.
void RemoveWithUnixTools(const std::wstring& path) {
  const std::wstring unixPath = UnixPath(path);
  if (!unixPath.empty() && StartUnixProgram(L"/bin/rm -rf -- " + QuoteArgument(unixPath))) {
    WaitFor([&] { return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES; }, 10000);
  }
}

bool SaveVariable(const wchar_t* name, std::wstring& value) {
  const DWORD needed = GetEnvironmentVariableW(name, nullptr, 0);
  if (needed == 0) return false;
  value.assign(needed, L'\0');
  const DWORD length = GetEnvironmentVariableW(name, value.data(), needed);
  value.resize(length);
  return true;
}

void RestoreVariable(const wchar_t* name, bool had, const std::wstring& value) {
  SetEnvironmentVariableW(name, had ? value.c_str() : nullptr);
}

}  // namespace

ScratchDirectories::ScratchDirectories() {
  hadLocalAppData = SaveVariable(L"LOCALAPPDATA", savedLocalAppData);
  hadTemp = SaveVariable(L"TEMP", savedTemp);
  hadTmp = SaveVariable(L"TMP", savedTmp);

  wchar_t base[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, base);
  rootPath = JoinPath(base, L"tvw-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(g_dirCounter++));
  RemoveTree(rootPath);
  CreateDirectoryW(rootPath.c_str(), nullptr);
  localAppDataPath = JoinPath(rootPath, L"LocalAppData");
  tempPath = JoinPath(rootPath, L"Temp");
  CreateDirectoryW(localAppDataPath.c_str(), nullptr);
  CreateDirectoryW(tempPath.c_str(), nullptr);
  SetEnvironmentVariableW(L"LOCALAPPDATA", localAppDataPath.c_str());
  SetEnvironmentVariableW(L"TEMP", tempPath.c_str());
  SetEnvironmentVariableW(L"TMP", tempPath.c_str());
}

ScratchDirectories::~ScratchDirectories() {
  RestoreVariable(L"LOCALAPPDATA", hadLocalAppData, savedLocalAppData);
  RestoreVariable(L"TEMP", hadTemp, savedTemp);
  RestoreVariable(L"TMP", hadTmp, savedTmp);
  RemoveTree(rootPath);
  if (IsWine() && DirectoryExists(rootPath)) RemoveWithUnixTools(rootPath);
}

void RemoveTree(const std::wstring& path) {
  if (path.empty()) return;
  WIN32_FIND_DATAW data;
  ScopedFindHandle find(FindFirstFileW(JoinPath(path, L"*").c_str(), &data));
  if (find.IsValid()) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = JoinPath(path, name);
      if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        // A link goes as a link; under Wine only the Unix tools can do that.
        if (!IsWine()) RemoveDirectoryW(child.c_str());
      } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(child.c_str());
      }
    } while (FindNextFileW(find.Get(), &data));
  }
  find.Reset();
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryW(path.c_str());
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  ScopedFileHandle file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) return false;
  DWORD written = 0;
  if (bytes.empty()) return true;
  return WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

// Tests poll files that running programs replace by renaming; a reader must
// never make such a rename fail.
bool ReadFileBytes(const std::wstring& path, std::string& bytes) {
  ScopedFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) return false;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.Get(), &size)) return false;
  bytes.assign(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!bytes.empty() && (!ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                         read != bytes.size())) {
    return false;
  }
  return true;
}

bool FileExists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeFolderLink(const std::wstring& link, const std::wstring& target) {
  if (!IsWine()) {
    return CreateSymbolicLinkW(link.c_str(), target.c_str(),
                               SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) != FALSE;
  }
  const std::wstring unixTarget = UnixPath(target);
  const std::wstring unixLink = UnixPath(link);
  return !unixTarget.empty() && !unixLink.empty() &&
         StartUnixProgram(L"/bin/ln -s -- " + QuoteArgument(unixTarget) + L" " + QuoteArgument(unixLink)) &&
         WaitFor([&] { return IsFolderLink(link); }, 10000);
}

}  // namespace testing_support

#include "telemetry/Files.h"

#include <windows.h>

#include <vector>

#include "common/ScopedHandle.h"

namespace telemetry {

namespace {

constexpr DWORD kEnvironmentBufferUnits = 32768;

}  // namespace

std::wstring DataDirectory(const wchar_t* name) {
  std::vector<wchar_t> buffer(kEnvironmentBufferUnits, L'\0');
  const DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", buffer.data(), kEnvironmentBufferUnits);
  if (length == 0 || length >= kEnvironmentBufferUnits) return std::wstring();

  std::wstring path(buffer.data(), length);
  path += L'\\';
  path += name;
  if (CreateDirectoryW(path.c_str(), nullptr)) return path;
  if (GetLastError() != ERROR_ALREADY_EXISTS) return std::wstring();
  // A file of that name answers "already exists" too, but holds no files.
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return std::wstring();
  return path;
}

bool ReadFileBytes(const std::wstring& path, std::string& bytes) {
  if (path.empty()) return false;
  ScopedFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;

  LARGE_INTEGER size = {};
  if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0 ||
      static_cast<uint64_t>(size.QuadPart) > kTelemetryFileReadLimit) {
    return false;
  }

  std::string content(static_cast<size_t>(size.QuadPart), '\0');
  if (!content.empty()) {
    DWORD read = 0;
    const DWORD wanted = static_cast<DWORD>(content.size());
    if (!ReadFile(file.Get(), content.data(), wanted, &read, nullptr) || read != wanted) return false;
  }
  bytes.swap(content);
  return true;
}

}  // namespace telemetry

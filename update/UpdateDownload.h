#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

struct UpdateDownloadRequest {
  HWND window = nullptr;
  std::wstring version;
  std::wstring url;
  std::wstring sha256;
  uint64_t sizeBytes = 0;  // 0 skips the size check
};

struct UpdateDownloadResult {
  bool succeeded = false;
  std::wstring version;
  std::wstring zipPath;
  std::wstring error;
};

DWORD WINAPI UpdateDownloadThreadProc(void* parameter);
// Runs one whole download with its checks on the calling thread.
UpdateDownloadResult DownloadAndVerifyUpdate(const UpdateDownloadRequest& request);
bool HttpDownloadUrlToFile(const std::wstring& url, const std::wstring& path, std::wstring& error);
bool ComputeFileSha256(const std::wstring& path, std::wstring& hex);
std::wstring HexLower(const unsigned char* bytes, size_t count);
// The user's temporary folder without trailing separators; "." when unknown.
std::wstring TempDirectory();
// "TolvaneWin-update-" + the version with unsafe characters as '_' + ".zip".
std::wstring UpdateArchiveFileName(const std::wstring& version);

#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct UpdateCheckRequest {
  HWND window = nullptr;
  bool manual = false;
};

struct UpdateCheckResult {
  bool manual = false;
  bool metadataComplete = false;
  bool updateAvailable = false;
  std::wstring version;
  std::wstring downloadUrl;
  std::wstring trackedDownloadUrl;
  std::wstring sha256;
  uint64_t sizeBytes = 0;
  std::wstring error;
};

// Starts one check on a worker thread; false when one is refused or cannot start.
bool QueueUpdateCheck(bool manual);
DWORD WINAPI UpdateCheckThreadProc(void* parameter);
// Fetches and reads the release feed on the calling thread.
UpdateCheckResult FetchLatestUpdateNow(bool manual);
// Reads the feed body already fetched.
UpdateCheckResult ReadUpdateFeed(const std::string& body, bool manual);

// The runs of ASCII digits of a version text, each modulo 2^64.
std::vector<uint64_t> VersionNumbers(const std::wstring& version);
// True when the feed's sequence is greater; missing elements count as 0.
bool IsNewerVersion(const std::vector<uint64_t>& feed, const std::vector<uint64_t>& running);
// The unquoted decimal after the first quoted "sizeBytes" key; 0 when there is none.
uint64_t ReadFeedSizeBytes(const std::string& body);

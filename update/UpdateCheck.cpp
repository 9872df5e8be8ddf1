#include "update/UpdateCheck.h"

#include <memory>

#include "BuildConfig.h"
#include "common/Http.h"
#include "common/Json.h"
#include "common/Text.h"
#include "common/Version.h"
#include "shell/AppState.h"
#include "shell/ShellConstants.h"

namespace {

bool IsAsciiDigit(wchar_t c) {
  return c >= L'0' && c <= L'9';
}

std::wstring FeedString(const std::string& body, const char* key) {
  return Utf8ToWide(ExtractJsonStringUtf8(body, key));
}

}  // namespace

std::vector<uint64_t> VersionNumbers(const std::wstring& version) {
  std::vector<uint64_t> numbers;
  bool inRun = false;
  for (wchar_t c : version) {
    if (!IsAsciiDigit(c)) {
      inRun = false;
      continue;
    }
    if (!inRun) {
      numbers.push_back(0);
      inRun = true;
    }
    numbers.back() = numbers.back() * 10u + static_cast<uint64_t>(c - L'0');
  }
  return numbers;
}

bool IsNewerVersion(const std::vector<uint64_t>& feed, const std::vector<uint64_t>& running) {
  const size_t length = feed.size() > running.size() ? feed.size() : running.size();
  for (size_t i = 0; i < length; ++i) {
    const uint64_t a = i < feed.size() ? feed[i] : 0;
    const uint64_t b = i < running.size() ? running[i] : 0;
    if (a != b) return a > b;
  }
  return false;
}

uint64_t ReadFeedSizeBytes(const std::string& body) {
  const std::string key = "\"sizeBytes\"";
  const size_t found = body.find(key);
  if (found == std::string::npos) return 0;
  const size_t colon = body.find(':', found + key.size());
  if (colon == std::string::npos) return 0;
  size_t at = colon + 1;
  while (at < body.size() && (body[at] == ' ' || body[at] == '\t' || body[at] == '\r' || body[at] == '\n')) ++at;
  if (at >= body.size() || body[at] < '0' || body[at] > '9') return 0;
  uint64_t value = 0;
  for (; at < body.size() && body[at] >= '0' && body[at] <= '9'; ++at) {
    value = value * 10u + static_cast<uint64_t>(body[at] - '0');
  }
  return value;
}

UpdateCheckResult ReadUpdateFeed(const std::string& body, bool manual) {
  UpdateCheckResult result;
  result.manual = manual;
  result.version = FeedString(body, "version");
  result.downloadUrl = FeedString(body, "downloadUrl");
  result.trackedDownloadUrl = FeedString(body, "trackedDownloadUrl");
  result.sha256 = ToLowerAscii(FeedString(body, "sha256"));
  result.sizeBytes = ReadFeedSizeBytes(body);
  if (result.version.empty() || result.downloadUrl.empty() || result.sha256.empty() || result.sizeBytes == 0) {
    result.error = L"Update metadata is incomplete.";
    return result;
  }
  result.metadataComplete = true;
  result.updateAvailable = IsNewerVersion(VersionNumbers(result.version), VersionNumbers(kAppVersion));
  return result;
}

UpdateCheckResult FetchLatestUpdateNow(bool manual) {
  std::string body;
  if (!HttpGetUrl(kUpdateFeedUrl, &body)) {
    UpdateCheckResult failed;
    failed.manual = manual;
    failed.error = L"Could not check for updates.";
    return failed;
  }
  return ReadUpdateFeed(body, manual);
}

DWORD WINAPI UpdateCheckThreadProc(void* parameter) {
  if (parameter == nullptr) return 0;
  std::unique_ptr<UpdateCheckRequest> request(static_cast<UpdateCheckRequest*>(parameter));
  auto result = std::make_unique<UpdateCheckResult>(FetchLatestUpdateNow(request->manual));
  const HWND window = request->window;
  request.reset();
  // From a successful post on, the window procedure owns the result.
  if (PostMessageW(window, kUpdateCheckResultMessage, 0, reinterpret_cast<LPARAM>(result.get()))) result.release();
  return 0;
}

bool QueueUpdateCheck(bool manual) {
  if (g_app.updateCheckRunning || g_app.updateDownloadRunning) return false;
  auto request = std::make_unique<UpdateCheckRequest>();
  request->window = g_app.hiddenWindow;
  request->manual = manual;
  HANDLE thread = CreateThread(nullptr, 0, UpdateCheckThreadProc, request.get(), 0, nullptr);
  if (thread == nullptr) return false;
  request.release();
  g_app.updateCheckRunning = true;
  g_app.updateStatusMessage.clear();
  CloseHandle(thread);
  return true;
}

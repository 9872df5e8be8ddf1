#include <windows.h>
#include <winhttp.h>

#include <vector>

#include "common/Http.h"
#include "common/ScopedHandle.h"
#include "common/Version.h"
#include "update/UpdateDownload.h"

namespace {

using ScopedInternet = ScopedInternetHandle;

bool Fail(std::wstring& error, const wchar_t* text) {
  error = text;
  return false;
}

}  // namespace

bool HttpDownloadUrlToFile(const std::wstring& url, const std::wstring& path, std::wstring& error) {
  CrackedUrl cracked;
  if (!CrackHttpUrl(url, 2048, cracked)) return Fail(error, L"Invalid update download URL.");

  const std::wstring agent = std::wstring(L"TolvaneWin/") + kAppVersion;
  ScopedInternet session(
      WinHttpOpen(agent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session) return Fail(error, L"Could not open WinHTTP session.");
  WinHttpSetTimeouts(session.Get(), 5000, 5000, 15000, 15000);
  ScopedInternet connection(WinHttpConnect(session.Get(), cracked.host.c_str(), cracked.port, 0));
  if (!connection) return Fail(error, L"Could not connect to update host.");
  const DWORD flags = cracked.secure ? WINHTTP_FLAG_SECURE : 0;
  ScopedInternet request(WinHttpOpenRequest(connection.Get(), L"GET", cracked.requestPath.c_str(), nullptr,
                                            WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
  if (!request) return Fail(error, L"Could not create update request.");
  DWORD policy = WINHTTP_OPTION_REDIRECT_POLICY_ALWAYS;
  WinHttpSetOption(request.Get(), WINHTTP_OPTION_REDIRECT_POLICY, &policy, sizeof(policy));

  // From here on a failure also removes what was written.
  ScopedFileHandle file;
  auto failAndDelete = [&](const wchar_t* text) {
    file.Reset();
    request.Reset();
    connection.Reset();
    session.Reset();
    DeleteFileW(path.c_str());
    return Fail(error, text);
  };

  if (!WinHttpSendRequest(request.Get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
      !WinHttpReceiveResponse(request.Get(), nullptr)) {
    return failAndDelete(L"Update download request failed.");
  }
  DWORD status = 0;
  DWORD statusSize = sizeof(status);
  if (WinHttpQueryHeaders(request.Get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                          WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize, WINHTTP_NO_HEADER_INDEX) &&
      (status < 200 || status > 299)) {
    return failAndDelete(L"Update download request failed.");
  }

  file.Reset(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return failAndDelete(L"Could not write update ZIP.");
  for (;;) {
    DWORD available = 0;
    if (!WinHttpQueryDataAvailable(request.Get(), &available)) return failAndDelete(L"Could not read update response.");
    if (available == 0) break;
    std::vector<unsigned char> chunk(available);
    DWORD read = 0;
    if (!WinHttpReadData(request.Get(), chunk.data(), available, &read)) {
      return failAndDelete(L"Could not read update bytes.");
    }
    DWORD written = 0;
    if (read != 0 && (!WriteFile(file.Get(), chunk.data(), read, &written, nullptr) || written != read)) {
      return failAndDelete(L"Could not save update ZIP.");
    }
  }
  file.Reset();
  return true;
}

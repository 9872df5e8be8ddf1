#include "common/Http.h"

#include <cstdint>
#include <vector>

#include "common/Version.h"

namespace {

constexpr DWORD kHostBufferUnits = 256;
constexpr DWORD kPathBufferUnits = 2048;
constexpr DWORD kExtraBufferUnits = 32768;

}  // namespace

bool CrackHttpUrl(const std::wstring& url, DWORD extraUnits, CrackedUrl& cracked) {
  std::vector<wchar_t> host(kHostBufferUnits, L'\0');
  std::vector<wchar_t> path(kPathBufferUnits, L'\0');
  std::vector<wchar_t> extra(extraUnits, L'\0');
  URL_COMPONENTS components = {};
  components.dwStructSize = sizeof(components);
  components.lpszHostName = host.data();
  components.dwHostNameLength = kHostBufferUnits;
  components.lpszUrlPath = path.data();
  components.dwUrlPathLength = kPathBufferUnits;
  components.lpszExtraInfo = extra.data();
  components.dwExtraInfoLength = extraUnits;
  if (!WinHttpCrackUrl(url.c_str(), 0, 0, &components)) return false;

  // The query travels with the path, '?' included.
  cracked.requestPath = std::wstring(path.data(), components.dwUrlPathLength) +
                        std::wstring(extra.data(), components.dwExtraInfoLength);
  cracked.host.assign(host.data(), components.dwHostNameLength);
  cracked.port = components.nPort;
  cracked.secure = components.nScheme == INTERNET_SCHEME_HTTPS;
  return true;
}

bool HttpUrlFits(const std::wstring& url, size_t appendedQueryUnits) {
  if (appendedQueryUnits >= kExtraBufferUnits) return false;
  CrackedUrl cracked;
  return CrackHttpUrl(url, kExtraBufferUnits - static_cast<DWORD>(appendedQueryUnits), cracked);
}

bool HttpQueryEndsUrl(const std::wstring& url) {
  URL_COMPONENTS components = {};
  components.dwStructSize = sizeof(components);
  // No buffer: the answer points into url.
  components.dwExtraInfoLength = 1;
  if (!WinHttpCrackUrl(url.c_str(), 0, 0, &components)) return false;
  return components.lpszExtraInfo != nullptr && components.dwExtraInfoLength > 0 &&
         components.lpszExtraInfo + components.dwExtraInfoLength == url.c_str() + url.size();
}

bool HttpGetUrl(const std::wstring& url, std::string* body) {
  if (body == nullptr) return false;

  CrackedUrl cracked;
  if (!CrackHttpUrl(url, kExtraBufferUnits, cracked)) return false;
  const std::wstring& requestPath = cracked.requestPath;
  const std::wstring& hostName = cracked.host;
  const std::wstring agent = std::wstring(L"TolvaneWin/") + kAppVersion;

  // Declared in this order so that the request closes first and the session last.
  ScopedInternetHandle session(WinHttpOpen(agent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                           WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session) return false;
  WinHttpSetTimeouts(session.Get(), kHttpTimeoutMs, kHttpTimeoutMs, kHttpTimeoutMs, kHttpTimeoutMs);

  ScopedInternetHandle connection(WinHttpConnect(session.Get(), hostName.c_str(), cracked.port, 0));
  if (!connection) return false;

  const DWORD flags = cracked.secure ? WINHTTP_FLAG_SECURE : 0;
  ScopedInternetHandle request(WinHttpOpenRequest(connection.Get(), L"GET", requestPath.c_str(), nullptr,
                                                  WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
  if (!request) return false;

  DWORD redirectPolicy = WINHTTP_OPTION_REDIRECT_POLICY_ALWAYS;
  WinHttpSetOption(request.Get(), WINHTTP_OPTION_REDIRECT_POLICY, &redirectPolicy, sizeof(redirectPolicy));

  if (!WinHttpSendRequest(request.Get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0)) {
    return false;
  }
  if (!WinHttpReceiveResponse(request.Get(), nullptr)) return false;

  DWORD status = 0;
  DWORD statusSize = sizeof(status);
  if (!WinHttpQueryHeaders(request.Get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                           WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize, WINHTTP_NO_HEADER_INDEX)) {
    return false;
  }
  if (status < 200 || status > 299) return false;

  body->clear();
  for (;;) {
    DWORD available = 0;
    if (!WinHttpQueryDataAvailable(request.Get(), &available)) return false;
    if (available == 0) return true;
    if (static_cast<uint64_t>(body->size()) + available > kHttpBodyLimit) return false;
    std::vector<char> buffer(available);
    DWORD read = 0;
    if (!WinHttpReadData(request.Get(), buffer.data(), available, &read)) return false;
    body->append(buffer.data(), read < available ? read : available);
  }
}

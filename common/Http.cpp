#include "common/Http.h"

#include <cstdint>
#include <vector>

#include "common/Version.h"

namespace {

constexpr DWORD kHostBufferUnits = 256;
constexpr DWORD kPathBufferUnits = 2048;
constexpr DWORD kExtraBufferUnits = 32768;

}  // namespace

bool HttpGetUrl(const std::wstring& url, std::string* body) {
  if (body == nullptr) return false;

  std::vector<wchar_t> host(kHostBufferUnits, L'\0');
  std::vector<wchar_t> path(kPathBufferUnits, L'\0');
  std::vector<wchar_t> extra(kExtraBufferUnits, L'\0');
  URL_COMPONENTS components = {};
  components.dwStructSize = sizeof(components);
  components.lpszHostName = host.data();
  components.dwHostNameLength = kHostBufferUnits;
  components.lpszUrlPath = path.data();
  components.dwUrlPathLength = kPathBufferUnits;
  components.lpszExtraInfo = extra.data();
  components.dwExtraInfoLength = kExtraBufferUnits;
  if (!WinHttpCrackUrl(url.c_str(), 0, 0, &components)) return false;

  // The query travels with the path, '?' included.
  const std::wstring requestPath = std::wstring(path.data(), components.dwUrlPathLength) +
                                   std::wstring(extra.data(), components.dwExtraInfoLength);
  const std::wstring hostName(host.data(), components.dwHostNameLength);
  const std::wstring agent = std::wstring(L"TolvaneWin/") + kAppVersion;

  // Declared in this order so that the request closes first and the session last.
  ScopedInternetHandle session(WinHttpOpen(agent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                           WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session) return false;
  WinHttpSetTimeouts(session.Get(), kHttpTimeoutMs, kHttpTimeoutMs, kHttpTimeoutMs, kHttpTimeoutMs);

  ScopedInternetHandle connection(WinHttpConnect(session.Get(), hostName.c_str(), components.nPort, 0));
  if (!connection) return false;

  const DWORD flags = components.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;
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

#pragma once

#include <windows.h>
#include <winhttp.h>

#include <cstddef>
#include <string>

#include "common/ScopedHandle.h"

struct InternetHandleTraits {
  using Handle = HINTERNET;
  static Handle NullHandle() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::WinHttpCloseHandle(h); }
};

using ScopedInternetHandle = ScopedHandle<InternetHandleTraits>;

inline constexpr size_t kHttpBodyLimit = 65536;
inline constexpr DWORD kHttpTimeoutMs = 3000;

// A URL split into what a request needs.
struct CrackedUrl {
  std::wstring host;
  std::wstring requestPath;  // path followed directly by the query
  INTERNET_PORT port = 0;
  bool secure = false;
};

// Splits a URL with host, path and extra-information buffers of 256, 2048 and
// extraUnits characters; false when it cannot be split or a part does not fit.
bool CrackHttpUrl(const std::wstring& url, DWORD extraUnits, CrackedUrl& cracked);
// True when HttpGetUrl can split the URL once appendedQueryUnits more
// characters are added at the end of its query (see HttpQueryEndsUrl).
bool HttpUrlFits(const std::wstring& url, size_t appendedQueryUnits = 0);
// True when the URL's query (extra information) is what ends it, so text
// appended to the URL lengthens the query and no other part.
bool HttpQueryEndsUrl(const std::wstring& url);

// One synchronous GET (http or https, redirects always followed). True only
// for a 2xx status whose whole body, at most kHttpBodyLimit bytes, landed in
// *body. On false *body is unspecified.
bool HttpGetUrl(const std::wstring& url, std::string* body);

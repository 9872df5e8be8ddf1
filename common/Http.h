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

// One synchronous GET (http or https, redirects always followed). True only
// for a 2xx status whose whole body, at most kHttpBodyLimit bytes, landed in
// *body. On false *body is unspecified.
bool HttpGetUrl(const std::wstring& url, std::string* body);

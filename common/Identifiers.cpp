#include "common/Identifiers.h"

#include <objbase.h>
#include <windows.h>

#include "common/Format.h"

std::wstring GenerateGuidString() {
  GUID guid{};
  if (CoCreateGuid(&guid) != S_OK) return GenerateFallbackId();
  wchar_t buffer[40] = {};
  if (StringFromGUID2(guid, buffer, 40) == 0) return GenerateFallbackId();
  std::wstring text(buffer);
  if (text.size() > 1 && text.front() == L'{' && text.back() == L'}') text = text.substr(1, text.size() - 2);
  return text;
}

std::wstring GenerateFallbackId() {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  const DWORD ticks = GetTickCount();
  const DWORD processId = GetCurrentProcessId();
  wchar_t buffer[96] = {};
  FormatWide(buffer, L"TVW-%08lX%08lX-%08lX-%08lX", static_cast<unsigned long>(now.dwHighDateTime),
             static_cast<unsigned long>(now.dwLowDateTime), static_cast<unsigned long>(processId),
             static_cast<unsigned long>(ticks));
  return buffer;
}

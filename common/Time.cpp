#include "common/Time.h"

#include <windows.h>

#include "common/Format.h"

namespace {
constexpr uint64_t kUnixEpochAsFileTime = 116444736000000000ULL;
constexpr uint64_t kFileTimeTicksPerSecond = 10000000ULL;
}  // namespace

uint64_t CurrentUnixTime() {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  const uint64_t ticks = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  return (ticks - kUnixEpochAsFileTime) / kFileTimeTicksPerSecond;
}

std::wstring IsoFromUnixTime(uint64_t unixSeconds) {
  const uint64_t ticks = unixSeconds * kFileTimeTicksPerSecond + kUnixEpochAsFileTime;
  FILETIME fileTime{};
  fileTime.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFFu);
  fileTime.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  SYSTEMTIME time{};
  if (!FileTimeToSystemTime(&fileTime, &time)) GetSystemTime(&time);
  wchar_t buffer[32] = {};
  FormatWide(buffer, L"%04hu-%02hu-%02huT%02hu:%02hu:%02huZ", time.wYear, time.wMonth, time.wDay, time.wHour,
             time.wMinute, time.wSecond);
  return buffer;
}

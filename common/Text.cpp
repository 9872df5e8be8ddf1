#include "common/Text.h"

#include <windows.h>

#include <climits>

std::wstring ToLowerAscii(std::wstring text) {
  for (wchar_t& unit : text) {
    if (unit >= L'A' && unit <= L'Z') unit = static_cast<wchar_t>(unit + 0x20);
  }
  return text;
}

std::wstring Utf8ToWide(const std::string& bytes) {
  if (bytes.empty() || bytes.size() > static_cast<size_t>(INT_MAX)) return std::wstring();
  const int length = static_cast<int>(bytes.size());
  const int units = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), length, nullptr, 0);
  if (units <= 0) return std::wstring();
  std::wstring text(static_cast<size_t>(units), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes.data(), length, text.data(), units);
  return text;
}

std::string WideToUtf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int count = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (count <= 1) return std::string();
  std::string bytes(static_cast<size_t>(count - 1), '\0');
  // The terminator lands in the string's own terminating slot.
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, bytes.data(), count, nullptr, nullptr);
  return bytes;
}

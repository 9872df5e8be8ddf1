#include "common/Json.h"

std::wstring JsonEscape(const std::wstring& text) {
  std::wstring escaped;
  escaped.reserve(text.size() + 8);
  for (const wchar_t unit : text) {
    switch (unit) {
      case L'\t': escaped += L"\\t"; break;
      case L'\n': escaped += L"\\n"; break;
      case L'\r': escaped += L"\\r"; break;
      case L'"': escaped += L"\\\""; break;
      case L'\\': escaped += L"\\\\"; break;
      default:
        if (unit < 0x20) {
          // JSON allows no raw control character inside a string.
          static const wchar_t kHex[] = L"0123456789ABCDEF";
          escaped += L"\\u00";
          escaped += kHex[unit >> 4];
          escaped += kHex[unit & 0xF];
        } else {
          escaped += unit;
        }
        break;
    }
  }
  return escaped;
}

std::string ExtractJsonStringUtf8(const std::string& json, const char* key) {
  std::string pattern = "\"";
  pattern += key;
  pattern += '"';

  const size_t found = json.find(pattern);
  if (found == std::string::npos) return std::string();
  const size_t colon = json.find(':', found + pattern.size());
  if (colon == std::string::npos) return std::string();
  const size_t quote = json.find('"', colon + 1);
  if (quote == std::string::npos) return std::string();

  std::string value;
  bool escaped = false;
  for (size_t i = quote + 1; i < json.size(); ++i) {
    const char byte = json[i];
    if (!escaped && byte == '\\') {
      escaped = true;
    } else if (!escaped && byte == '"') {
      break;
    } else {
      value += byte;
      escaped = false;
    }
  }
  return value;
}

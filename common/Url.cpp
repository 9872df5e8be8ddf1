#include "common/Url.h"

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

bool IsUnreserved(unsigned char byte) {
  return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
         byte == '-' || byte == '.' || byte == '_' || byte == '~';
}

}  // namespace

std::string UrlEncode(const std::string& bytes) {
  std::string encoded;
  encoded.reserve(bytes.size() * 3);
  for (const char c : bytes) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (IsUnreserved(byte)) {
      encoded += c;
    } else {
      encoded += '%';
      encoded += kHexDigits[byte >> 4];
      encoded += kHexDigits[byte & 0x0F];
    }
  }
  return encoded;
}

size_t UrlEncodedLength(const std::string& bytes) {
  size_t length = 0;
  for (const char c : bytes) length += IsUnreserved(static_cast<unsigned char>(c)) ? 1 : 3;
  return length;
}

std::wstring AppendQuery(const std::wstring& url, const std::wstring& query) {
  std::wstring result = url;
  result += url.find(L'?') != std::wstring::npos ? L'&' : L'?';
  result += query;
  return result;
}

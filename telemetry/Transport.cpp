#include "telemetry/Transport.h"

#include "common/Http.h"
#include "common/Json.h"
#include "common/Text.h"
#include "common/Url.h"
#include "telemetry/AckReader.h"

namespace {

// The extra-information buffer that HttpGetUrl splits request URLs with.
constexpr size_t kRequestExtraUnits = 32768;

// The bytes UrlEncode keeps as they are.
bool IsUnreserved(unsigned char byte) {
  return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
         byte == '-' || byte == '.' || byte == '_' || byte == '~';
}

size_t EncodedLength(const std::string& bytes) {
  size_t length = 0;
  for (const char c : bytes) length += IsUnreserved(static_cast<unsigned char>(c)) ? 1 : 3;
  return length;
}

// True when the extra information is what ends the URL, so that text
// appended to it lengthens that part and no other.
bool ExtraInfoEndsUrl(const std::wstring& url) {
  URL_COMPONENTS components = {};
  components.dwStructSize = sizeof(components);
  // No buffer: the answer points into url.
  components.dwExtraInfoLength = 1;
  if (!WinHttpCrackUrl(url.c_str(), 0, 0, &components)) return false;
  return components.lpszExtraInfo != nullptr && components.dwExtraInfoLength > 0 &&
         components.lpszExtraInfo + components.dwExtraInfoLength == url.c_str() + url.size();
}

}  // namespace

std::wstring TelemetryRequestUrl(const std::string& endpoint, const std::string& body) {
  const std::wstring query = L"data=" + Utf8ToWide(UrlEncode(body));
  return AppendQuery(Utf8ToWide(endpoint), query);
}

bool TelemetryRequestFits(const std::string& endpoint, const std::string& body) {
  if (endpoint.empty() || body.empty()) return false;
  // The encoded body is only unreserved characters and %XX: it lengthens the
  // query and nothing else. The URL with an empty value then has to fit a
  // query buffer short by that much, which spares building the whole URL.
  const std::wstring stem = TelemetryRequestUrl(endpoint, std::string());
  if (!ExtraInfoEndsUrl(stem)) return HttpUrlFits(TelemetryRequestUrl(endpoint, body));
  const size_t encoded = EncodedLength(body);
  CrackedUrl cracked;
  return encoded < kRequestExtraUnits &&
         CrackHttpUrl(stem, static_cast<DWORD>(kRequestExtraUnits - encoded), cracked);
}

bool SendTelemetryNow(const std::string& endpoint, const std::string& body) {
  if (endpoint.empty() || body.empty()) return false;

  const std::wstring url = TelemetryRequestUrl(endpoint, body);
  std::string reply;
  if (!HttpGetUrl(url, &reply)) return false;

  const std::string expectedEventId = ExtractJsonStringUtf8(body, "eventId");
  telemetry::AckReader reader(reply);
  return reader.Accepted(expectedEventId);
}

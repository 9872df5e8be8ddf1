#include "telemetry/Transport.h"

#include "common/Http.h"
#include "common/Json.h"
#include "common/Text.h"
#include "common/Url.h"
#include "telemetry/AckReader.h"

std::wstring TelemetryRequestUrl(const std::string& endpoint, const std::string& body) {
  const std::wstring query = L"data=" + Utf8ToWide(UrlEncode(body));
  return AppendQuery(Utf8ToWide(endpoint), query);
}

bool TelemetryRequestFits(const std::string& endpoint, const std::string& body) {
  if (endpoint.empty() || body.empty()) return false;
  // The encoded body is only unreserved characters and %XX: where the query
  // ends the URL, it lengthens the query and nothing else, so the whole URL
  // (three times the body's size) need not be built on the caller's thread.
  const std::wstring stem = TelemetryRequestUrl(endpoint, std::string());
  if (!HttpQueryEndsUrl(stem)) return HttpUrlFits(TelemetryRequestUrl(endpoint, body));
  return HttpUrlFits(stem, UrlEncodedLength(body));
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

#include "telemetry/Transport.h"

#include "common/Http.h"
#include "common/Json.h"
#include "common/Text.h"
#include "common/Url.h"
#include "telemetry/AckReader.h"

bool SendTelemetryNow(const std::string& endpoint, const std::string& body) {
  if (endpoint.empty() || body.empty()) return false;

  const std::wstring query = L"data=" + Utf8ToWide(UrlEncode(body));
  const std::wstring url = AppendQuery(Utf8ToWide(endpoint), query);
  std::string reply;
  if (!HttpGetUrl(url, &reply)) return false;

  const std::string expectedEventId = ExtractJsonStringUtf8(body, "eventId");
  telemetry::AckReader reader(reply);
  return reader.Accepted(expectedEventId);
}

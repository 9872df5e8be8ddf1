#include <gtest/gtest.h>

#include <string>

#include "common/Http.h"
#include "common/Json.h"
#include "common/Url.h"
#include "telemetry/Transport.h"
#include "tests/support/HttpServer.h"

using testing_support::HttpReply;
using testing_support::HttpRequestRecord;
using testing_support::LoopbackHttpServer;

namespace {

const std::string kBody =
    "{\"eventId\":\"8D3E1F00-1234-4ABC-9DEF-00112233AABB\",\"eventType\":\"launch\","
    "\"text\":\"caf\xC3\xA9 & more=1+2 \\\"q\\\" \\n / ~ %\"}";

std::string Narrow(const std::wstring& text) {
  std::string bytes;
  for (const wchar_t unit : text) bytes += static_cast<char>(unit);
  return bytes;
}

// The endpoint: acknowledges the event id of the document in "data".
HttpReply Echo(const HttpRequestRecord& request) {
  const std::string data = testing_support::PercentDecode(testing_support::QueryParameter(request.query, "data"));
  HttpReply reply;
  reply.body = "{\"ok\":true,\"eventId\":\"" + ExtractJsonStringUtf8(data, "eventId") + "\",\"row\":12}";
  return reply;
}

HttpReply Fixed(int status, const std::string& body) {
  HttpReply reply;
  reply.status = status;
  reply.body = body;
  return reply;
}

}  // namespace

TEST(Transport_SendTelemetryNow, EchoingEndpointAcknowledges) {
  LoopbackHttpServer server;
  ASSERT_TRUE(server.ok());
  server.Handle("/exec", Echo);

  const std::string endpoint = Narrow(server.Url("/exec"));
  EXPECT_TRUE(SendTelemetryNow(endpoint, kBody));
  EXPECT_TRUE(SendTelemetryNow(endpoint + "?key=abc", kBody));
  EXPECT_TRUE(SendTelemetryNow(endpoint + "?", kBody));

  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  const std::string data = "data=" + UrlEncode(kBody);
  EXPECT_EQ(requests[0].query, data);
  EXPECT_EQ(requests[1].query, "key=abc&" + data);
  EXPECT_EQ(requests[2].query, "&" + data);
  EXPECT_EQ(testing_support::PercentDecode(requests[0].query.substr(5)), kBody);
  for (const auto& request : requests) EXPECT_EQ(request.method, "GET");
}

TEST(Transport_SendTelemetryNow, RepliesThatDoNotAcknowledge) {
  LoopbackHttpServer server;
  ASSERT_TRUE(server.ok());
  const std::string id = ExtractJsonStringUtf8(kBody, "eventId");
  const std::string ack = "{\"ok\":true,\"eventId\":\"" + id + "\"}";
  // Padding inside a member brings a reply to an exact size.
  const auto padded = [&](size_t size) {
    const std::string head = "{\"ok\":true,\"eventId\":\"" + id + "\",\"pad\":\"";
    return head + std::string(size - head.size() - 2, 'p') + "\"}";
  };
  struct Case {
    const char* path;
    HttpReply reply;
    bool expected;
  };
  const Case cases[] = {
      {"/ok", Fixed(200, ack), true},
      {"/exact", Fixed(200, padded(65536)), true},
      {"/over", Fixed(200, padded(65537)), false},
      {"/wrong-id", Fixed(200, "{\"ok\":true,\"eventId\":\"" + id.substr(1) + "\"}"), false},
      {"/ok-false", Fixed(200, "{\"ok\":false,\"eventId\":\"" + id + "\"}"), false},
      {"/server-error", Fixed(500, ack), false},
      {"/not-json", Fixed(200, "<html>ok</html>"), false},
      {"/empty", Fixed(200, ""), false},
  };
  for (const Case& c : cases) server.Route(c.path, c.reply);
  const std::string base = Narrow(server.Url(""));
  for (const Case& c : cases) EXPECT_EQ(SendTelemetryNow(base + c.path, kBody), c.expected) << c.path;
  EXPECT_EQ(server.Requests().size(), std::size(cases));
}

TEST(Transport_SendTelemetryNow, NoEventIdNeverAcknowledges) {
  LoopbackHttpServer server;
  ASSERT_TRUE(server.ok());
  server.Handle("/exec", Echo);
  // The echo answers with an empty id, and an empty expected id never matches.
  EXPECT_FALSE(SendTelemetryNow(Narrow(server.Url("/exec")), "{\"eventType\":\"launch\"}"));
  EXPECT_EQ(server.Requests().size(), 1u);
}

TEST(Transport_SendTelemetryNow, EmptyInputsMakeNoRequest) {
  LoopbackHttpServer server;
  ASSERT_TRUE(server.ok());
  server.Handle("/exec", Echo);
  EXPECT_FALSE(SendTelemetryNow("", kBody));
  EXPECT_FALSE(SendTelemetryNow(Narrow(server.Url("/exec")), ""));
  EXPECT_TRUE(server.Requests().empty());
}

// The size check splits only the URL with an empty "data=" and adds the
// encoded body's length; it must decide as building the whole URL would.
TEST(Transport_TelemetryRequestFits, DecidesAsTheWholeUrlDoesAtEveryLimit) {
  auto wholeUrlFits = [](const std::string& endpoint, const std::string& body) {
    return !endpoint.empty() && !body.empty() && HttpUrlFits(TelemetryRequestUrl(endpoint, body));
  };
  const struct {
    const char* endpoint;
    bool usable;
  } cases[] = {
      {"https://t.example/exec", true},           {"http://127.0.0.1:8080/a/b", true},
      {"https://t.example:8443/e?key=1&k2=v", true}, {"https://t.example/e#part", true},
      {"https://t.example/e?k=v#part", true},      {"https://t.example", true},
      {"http://127.0.0.1:9?k=v", true},             {"not a url", false},
      {"", false},
  };
  constexpr size_t kNeverFits = 40000;
  for (const auto& c : cases) {
    for (char fill : {'a', '{'}) {  // one encoded unit per byte, and three
      SCOPED_TRACE(std::string(c.endpoint) + " filled with " + fill);
      // Largest body the whole URL takes, by bisection over the reference.
      // Wine drops the query of a URL with a port and no path, so any size fits there.
      size_t fits = 0, fails = kNeverFits;
      if (wholeUrlFits(c.endpoint, std::string(fails, fill))) fits = fails;
      while (fails - fits > 1) {
        const size_t middle = (fits + fails) / 2;
        (wholeUrlFits(c.endpoint, std::string(middle, fill)) ? fits : fails) = middle;
      }
      EXPECT_EQ(fits > 0, c.usable);
      for (size_t size = fits == 0 ? 0 : fits - 1; size <= fits + 1; ++size) {
        const std::string body(size, fill);
        EXPECT_EQ(TelemetryRequestFits(c.endpoint, body), wholeUrlFits(c.endpoint, body)) << size << " bytes";
      }
    }
  }
}

// The real program delivering its events to a loopback endpoint.
#include <gtest/gtest.h>

#include <mutex>
#include <set>

#include "common/Json.h"
#include "common/Paths.h"
#include "tests/support/HttpServer.h"
#include "tests/support/Platform.h"
#include "tests/support/ProgramSession.h"
#include "tests/support/ScratchRegistry.h"

using namespace testing_support;

namespace {

constexpr wchar_t kKey[] = L"Software\\TolvaneWin";

// An endpoint that acknowledges every event and remembers each one, in order
// of first arrival. Delivery is at least once: an event sent during shut-down
// whose removal had not reached the disk comes again from the next run, so
// events are told apart by their "eventId".
class EchoEndpoint {
 public:
  EchoEndpoint() {
    server.Handle("/exec", [this](const HttpRequestRecord& request) {
      const std::string body = PercentDecode(QueryParameter(request.query, "data"));
      const std::string id = ExtractJsonStringUtf8(body, "eventId");
      {
        std::lock_guard<std::mutex> guard(mutex);
        if (ids.insert(id).second) {
          types.push_back(ExtractJsonStringUtf8(body, "eventType"));
          bodies.push_back(body);
        }
      }
      HttpReply reply;
      reply.body = "{\"ok\":true,\"eventId\":\"" + id + "\"}";
      return reply;
    });
  }
  std::vector<std::string> Types() {
    std::lock_guard<std::mutex> guard(mutex);
    return types;
  }
  bool Saw(const std::string& type) {
    for (const auto& seen : Types()) {
      if (seen == type) return true;
    }
    return false;
  }
  LoopbackHttpServer server;
  std::mutex mutex;
  std::set<std::string> ids;
  std::vector<std::string> types;
  std::vector<std::string> bodies;
};

std::string OutboxFile(const ProgramSession& session) {
  std::string bytes;
  ReadFileBytes(JoinPath(JoinPath(session.dirs.localAppData(), L"TolvaneWin"), L"telemetry-outbox-v3.dat"), bytes);
  return bytes;
}

}  // namespace

TEST(TelemetryProgram, EventsAreDeliveredAcrossRuns) {
  EchoEndpoint endpoint;
  ASSERT_TRUE(endpoint.server.ok());
  ProgramSession session;
  ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, kKey, L"TelemetryEndpointUrl", endpoint.server.Url("/exec")));

  ASSERT_TRUE(session.Start());
  // First run of this user: the start-up event is an activation.
  ASSERT_TRUE(WaitFor([&] { return endpoint.Saw("activation"); }, 15000));
  // Acknowledged and the removal written: the outbox file holds no record.
  EXPECT_TRUE(WaitFor([&] { return OutboxFile(session) == "TVTQ3\n0\n0\n"; }, 15000)) << OutboxFile(session);
  EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, kKey, L"TelemetryEventSequence"));
  EXPECT_TRUE(FileExists(JoinPath(JoinPath(session.dirs.localAppData(), L"TolvaneWin"), L"telemetry-state-v3.dat")));

  unsigned long code = 99;
  ASSERT_TRUE(session.Close(code));
  EXPECT_EQ(code, 0u);
  // The shut-down events reached the disk or the endpoint.
  const std::string queued = OutboxFile(session);
  for (const char* type : {"activity_summary", "exit"}) {
    const bool stored = queued.find(std::string("\"eventType\":\"") + type + "\"") != std::string::npos;
    EXPECT_TRUE(stored || endpoint.Saw(type)) << type;
  }

  // The next run sends what is left, then its own start event.
  ASSERT_TRUE(session.Start());
  ASSERT_TRUE(WaitFor([&] { return endpoint.Saw("exit") && endpoint.Saw("launch"); }, 15000));
  const auto types = endpoint.Types();
  const auto position = [&](const std::string& type) {
    return std::find(types.begin(), types.end(), type) - types.begin();
  };
  EXPECT_LT(position("activation"), position("activity_summary"));
  EXPECT_LT(position("activity_summary"), position("exit"));
  EXPECT_LT(position("exit"), position("launch"));
  ASSERT_TRUE(session.Close(code));
  EXPECT_EQ(code, 0u);

  // Every delivered event of the install carries an id and consecutive sequence numbers.
  uint64_t expected = 1;
  for (const auto& body : endpoint.bodies) {
    EXPECT_FALSE(ExtractJsonStringUtf8(body, "eventId").empty()) << body;
    const size_t at = body.find("\"eventSequence\":");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(std::stoull(body.substr(at + 16)), expected) << body;
    ++expected;
  }
}

TEST(TelemetryProgram, UnreachableEndpointKeepsEventsForLater) {
  ProgramSession session;
  // Nothing listens on port 9 of the loopback.
  ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, kKey, L"TelemetryEndpointUrl", L"http://127.0.0.1:9/exec"));
  ASSERT_TRUE(session.Start());
  EXPECT_TRUE(WaitFor([&] { return OutboxFile(session).find("\"eventType\":\"activation\"") != std::string::npos; },
                      10000));
  unsigned long code = 99;
  ASSERT_TRUE(session.Close(code));
  EXPECT_EQ(code, 0u);
  const std::string queued = OutboxFile(session);
  EXPECT_EQ(queued.rfind("TVTQ3\n0\n3\n", 0), 0u) << queued;
  EXPECT_NE(queued.find("\"eventType\":\"exit\""), std::string::npos);
}

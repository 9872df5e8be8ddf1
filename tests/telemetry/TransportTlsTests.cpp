#include <gtest/gtest.h>

#include <string>

#include "telemetry/Transport.h"
#include "tests/support/HttpsFixture.h"

namespace {

const std::string kBody = "{\"eventId\":\"5A5A5A5A-0000-4000-8000-000000000001\",\"eventType\":\"exit\"}";

std::string Endpoint(unsigned short port, const char* path) {
  return "https://localhost:" + std::to_string(port) + path;
}

}  // namespace

TEST(Transport_SendTelemetryNowTls, AcknowledgedOverTrustedHttps) {
  testing_support::HttpsFixture fixture;
  ASSERT_TRUE(testing_support::ReadHttpsFixture(fixture)) << "run through tests/support/https_fixture.py";
  ASSERT_TRUE(testing_support::TrustTestAuthority(fixture));

  EXPECT_TRUE(SendTelemetryNow(Endpoint(fixture.trustedPort, "/exec"), kBody));
  EXPECT_TRUE(SendTelemetryNow(Endpoint(fixture.trustedPort, "/exec?key=1"), kBody));
  EXPECT_FALSE(SendTelemetryNow(Endpoint(fixture.trustedPort, "/exec-wrong"), kBody));
  EXPECT_FALSE(SendTelemetryNow(Endpoint(fixture.untrustedPort, "/exec"), kBody));
}

#include <gtest/gtest.h>

#include <string>

#include "common/Http.h"
#include "tests/support/HttpsFixture.h"

using testing_support::HttpsFixture;

namespace {

std::wstring LocalUrl(const wchar_t* scheme, unsigned short port, const wchar_t* path) {
  return std::wstring(scheme) + L"://localhost:" + std::to_wstring(port) + path;
}

class HttpsGet : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testing_support::ReadHttpsFixture(fixture)) << "run through tests/support/https_fixture.py";
    ASSERT_TRUE(testing_support::TrustTestAuthority(fixture));
  }
  HttpsFixture fixture;
};

}  // namespace

TEST_F(HttpsGet, TrustedCertificateServesTheBody) {
  std::string body;
  EXPECT_TRUE(HttpGetUrl(LocalUrl(L"https", fixture.trustedPort, L"/hello"), &body));
  EXPECT_EQ(body, "hello over tls");
}

TEST_F(HttpsGet, UntrustedCertificateFails) {
  std::string body;
  EXPECT_FALSE(HttpGetUrl(LocalUrl(L"https", fixture.untrustedPort, L"/hello"), &body));
  // Plain http to a TLS port gets no usable reply either.
  EXPECT_FALSE(HttpGetUrl(LocalUrl(L"http", fixture.trustedPort, L"/hello"), &body));
}

TEST_F(HttpsGet, RedirectFromHttpsToHttpIsFollowed) {
  std::string body;
  EXPECT_TRUE(HttpGetUrl(LocalUrl(L"https", fixture.trustedPort, L"/to-plain"), &body));
  EXPECT_EQ(body, "plain after redirect");
}

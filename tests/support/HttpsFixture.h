#pragma once

#include <string>

namespace testing_support {

// Ports and authority handed over by https_fixture.py, which runs the test
// programs registered with tolvane_add_https_test.
struct HttpsFixture {
  unsigned short trustedPort = 0;    // https://localhost, certificate from the trusted authority
  unsigned short untrustedPort = 0;  // https://localhost, certificate from an authority nobody trusts
  unsigned short plainPort = 0;      // http://localhost
  std::wstring authorityDerPath;
};

// False when the program was not started by the fixture script.
bool ReadHttpsFixture(HttpsFixture& fixture);
// Adds the trusted test authority to the CurrentUser "Root" store of this
// (test) prefix. Adding it again is harmless.
bool TrustTestAuthority(const HttpsFixture& fixture);

}  // namespace testing_support

#include "tests/support/HttpsFixture.h"

#include <windows.h>
#include <wincrypt.h>

#include <cwchar>

#include "tests/support/ScratchDirectories.h"

namespace testing_support {

namespace {

std::wstring Variable(const wchar_t* name) {
  wchar_t buffer[1024] = {};
  const DWORD length = GetEnvironmentVariableW(name, buffer, 1024);
  return length == 0 || length >= 1024 ? std::wstring() : std::wstring(buffer, length);
}

unsigned short Port(const wchar_t* name) {
  const std::wstring text = Variable(name);
  const unsigned long value = text.empty() ? 0 : std::wcstoul(text.c_str(), nullptr, 10);
  return value > 0 && value < 65536 ? static_cast<unsigned short>(value) : 0;
}

}  // namespace

bool ReadHttpsFixture(HttpsFixture& fixture) {
  fixture.trustedPort = Port(L"TOLVANE_TEST_HTTPS_PORT");
  fixture.untrustedPort = Port(L"TOLVANE_TEST_HTTPS_UNTRUSTED_PORT");
  fixture.plainPort = Port(L"TOLVANE_TEST_HTTP_PORT");
  fixture.authorityDerPath = Variable(L"TOLVANE_TEST_CA_DER");
  return fixture.trustedPort != 0 && fixture.untrustedPort != 0 && fixture.plainPort != 0 &&
         !fixture.authorityDerPath.empty();
}

bool TrustTestAuthority(const HttpsFixture& fixture) {
  std::string der;
  if (!ReadFileBytes(fixture.authorityDerPath, der) || der.empty()) return false;
  HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
  if (store == nullptr) return false;
  const BOOL added = CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING,
                                                      reinterpret_cast<const BYTE*>(der.data()),
                                                      static_cast<DWORD>(der.size()),
                                                      CERT_STORE_ADD_USE_EXISTING, nullptr);
  CertCloseStore(store, 0);
  return added != FALSE;
}

}  // namespace testing_support

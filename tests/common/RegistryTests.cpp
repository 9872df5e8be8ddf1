#include <gtest/gtest.h>

#include "common/Registry.h"
#include "common/ScopedHandle.h"
#include "tests/support/Platform.h"
#include "tests/support/ScratchRegistry.h"

using testing_support::RegSetRaw;
using testing_support::ScratchRegistry;

namespace {

constexpr wchar_t kKey[] = L"Software\\TolvaneWin";

class RegistryHelpers : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(scratch.ok());
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Receive(),
                              nullptr),
              ERROR_SUCCESS);
  }
  void SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD size) {
    ASSERT_TRUE(RegSetRaw(HKEY_CURRENT_USER, kKey, name, type, data, size));
  }

  ScratchRegistry scratch;
  ScopedRegKey key;
};

}  // namespace

TEST_F(RegistryHelpers, ReadQwordAcceptsOnlyRegQword) {
  const unsigned long long eight = 0x0102030405060708ULL;
  SetRaw(L"q", REG_QWORD, &eight, 8);
  SetRaw(L"bin8", REG_BINARY, &eight, 8);
  const DWORD dword = 7;
  SetRaw(L"dw", REG_DWORD, &dword, 4);

  uint64_t value = 99;
  EXPECT_TRUE(RegistryReadQword(key.Get(), L"q", value));
  EXPECT_EQ(value, 0x0102030405060708ULL);

  for (const wchar_t* refused : {L"bin8", L"dw", L"missing"}) {
    value = 99;
    EXPECT_FALSE(RegistryReadQword(key.Get(), refused, value)) << refused;
    EXPECT_EQ(value, 99u) << refused;
  }
}

TEST_F(RegistryHelpers, ReadQwordShortValueHasZeroHighBytesAndLongValueFails) {
  const unsigned char four[4] = {0x11, 0x22, 0x33, 0x44};
  SetRaw(L"short", REG_QWORD, four, 4);
  uint64_t value = 0xFFFFFFFFFFFFFFFFULL;
  EXPECT_TRUE(RegistryReadQword(key.Get(), L"short", value));
  EXPECT_EQ(value, 0x44332211u);

  const unsigned char twelve[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  SetRaw(L"long", REG_QWORD, twelve, 12);
  value = 5;
  EXPECT_FALSE(RegistryReadQword(key.Get(), L"long", value));
  EXPECT_EQ(value, 5u);
}

TEST_F(RegistryHelpers, ReadStringRefusesOtherTypesAndKeepsValue) {
  const std::wstring text = L"C:\\x";
  SetRaw(L"expand", REG_EXPAND_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * 2));
  const wchar_t multi[] = L"a\0b\0";
  SetRaw(L"multi", REG_MULTI_SZ, multi, sizeof(multi));
  const DWORD dword = 1;
  SetRaw(L"dw", REG_DWORD, &dword, 4);
  SetRaw(L"empty", REG_SZ, L"", 0);

  for (const wchar_t* refused : {L"expand", L"multi", L"dw", L"empty", L"missing"}) {
    std::wstring value = L"kept";
    EXPECT_FALSE(RegistryReadString(key.Get(), refused, value)) << refused;
    EXPECT_EQ(value, L"kept") << refused;
  }
}

// The text ends at its first NUL, so the terminators go and an embedded NUL
// ends it early.
TEST_F(RegistryHelpers, ReadStringEndsAtTheFirstNul) {
  struct Case {
    const wchar_t* name;
    const wchar_t* data;
    DWORD bytes;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {L"none", L"ab", 4, L"ab"},
      {L"one", L"ab", 6, L"ab"},
      {L"three", L"ab\0\0", 10, L"ab"},
      {L"onlyNul", L"", 2, L""},
      {L"onlyNuls", L"\0\0", 6, L""},
      {L"embedded", L"a\0b", 8, L"a"},
      {L"nulFirst", L"\0ab", 8, L""},
  };
  for (const Case& c : cases) {
    SetRaw(c.name, REG_SZ, c.data, c.bytes);
    std::wstring value = L"before";
    ASSERT_TRUE(RegistryReadString(key.Get(), c.name, value)) << c.name;
    EXPECT_EQ(value, c.expected) << c.name;
  }
}

TEST_F(RegistryHelpers, ReadStringWithOddByteCountDropsTheLastByte) {
  const unsigned char bytes[5] = {'a', 0, 'b', 0, 'c'};
  SetRaw(L"odd", REG_SZ, bytes, 5);
  std::wstring value;
  ASSERT_TRUE(RegistryReadString(key.Get(), L"odd", value));
  EXPECT_EQ(value, L"ab");
}

TEST_F(RegistryHelpers, WriteStringStoresOneTerminator) {
  ASSERT_TRUE(RegistryWriteString(key.Get(), L"empty", L""));
  ASSERT_TRUE(RegistryWriteString(key.Get(), L"text", L"Hello"));
  ASSERT_TRUE(RegistryWriteString(key.Get(), L"embedded", std::wstring(L"a\0b", 3)));

  DWORD type = 0;
  std::wstring asText;
  std::string raw;
  ASSERT_TRUE(testing_support::RegReadRaw(HKEY_CURRENT_USER, kKey, L"empty", type, asText, raw));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(raw.size(), 2u);
  ASSERT_TRUE(testing_support::RegReadRaw(HKEY_CURRENT_USER, kKey, L"text", type, asText, raw));
  EXPECT_EQ(raw.size(), 12u);
  EXPECT_EQ(asText, L"Hello");
  ASSERT_TRUE(testing_support::RegReadRaw(HKEY_CURRENT_USER, kKey, L"embedded", type, asText, raw));
  EXPECT_EQ(raw.size(), 8u);
  EXPECT_EQ(raw[4], 'b');
}

TEST_F(RegistryHelpers, WriteThenReadRoundTripsNonAsciiText) {
  const std::wstring text = L"Ру \u7B80 \xD83D\xDE00";
  ASSERT_TRUE(RegistryWriteString(key.Get(), L"unicode", text));
  std::wstring back;
  ASSERT_TRUE(RegistryReadString(key.Get(), L"unicode", back));
  EXPECT_EQ(back, text);
}

TEST_F(RegistryHelpers, WriteFailsOnReadOnlyKey) {
  ScopedRegKey readOnly;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, readOnly.Receive()), ERROR_SUCCESS);
  EXPECT_FALSE(RegistryWriteString(readOnly.Get(), L"x", L"y"));
}

TEST(ReadWindowsMachineGuid, ReturnsStoredTextUnchanged) {
  ScopedRegKey key;
  std::wstring expected;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Cryptography", 0, KEY_READ | KEY_WOW64_64KEY,
                    key.Receive()) == ERROR_SUCCESS) {
    RegistryReadString(key.Get(), L"MachineGuid", expected);
  }
  const std::wstring guid = ReadWindowsMachineGuid();
  EXPECT_EQ(guid, expected);
  if (testing_support::IsWine()) {
    // A Wine prefix always has one: a GUID without braces.
    EXPECT_EQ(guid.size(), 36u);
    EXPECT_NE(guid.front(), L'{');
  }
}

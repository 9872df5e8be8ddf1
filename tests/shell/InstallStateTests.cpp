// Install state and cursor preferences against a private HKCU.
#include <gtest/gtest.h>

#include <windows.h>

#include <cwctype>
#include <string>

#include "BuildConfig.h"
#include "common/Registry.h"
#include "common/Text.h"
#include "common/Time.h"
#include "common/Version.h"
#include "shell/AppState.h"
#include "shell/InstallState.h"
#include "shell/Preferences.h"
#include "telemetry/EventQueue.h"
#include "telemetry/IdentityMetadata.h"
#include "telemetry/WindowsOutbox.h"
#include "tests/shell/ShellTestSupport.h"
#include "tests/support/JsonProbe.h"
#include "tests/support/ManualOutbox.h"
#include "tests/support/ScratchDirectories.h"
#include "tests/support/ScratchRegistry.h"

using namespace testing_support;
using namespace shell_tests;

namespace {

constexpr wchar_t kKey[] = L"Software\\TolvaneWin";

bool LooksLikeGuid(const std::wstring& text) {
  if (text.size() != 36) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (c != L'-') return false;
    } else if (!((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F'))) {
      return false;
    }
  }
  return true;
}

struct StoredValue {
  bool present = false;
  DWORD type = REG_NONE;
  std::wstring text;
  std::string raw;
  unsigned long long number() const {
    unsigned long long n = 0;
    memcpy(&n, raw.data(), raw.size() < sizeof(n) ? raw.size() : sizeof(n));
    return n;
  }
};

StoredValue Stored(const wchar_t* name) {
  StoredValue value;
  value.present = RegReadRaw(HKEY_CURRENT_USER, kKey, name, value.type, value.text, value.raw);
  return value;
}

// A REG_SZ written with exactly one terminating NUL.
void ExpectString(const wchar_t* name, const std::wstring& expected) {
  const StoredValue value = Stored(name);
  ASSERT_TRUE(value.present) << name;
  EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ)) << name;
  EXPECT_EQ(value.text, expected) << name;
  EXPECT_EQ(value.raw.size(), (expected.size() + 1) * 2) << name;
}

void ExpectQword(const wchar_t* name, unsigned long long expected) {
  const StoredValue value = Stored(name);
  ASSERT_TRUE(value.present) << name;
  EXPECT_EQ(value.type, static_cast<DWORD>(REG_QWORD)) << name;
  EXPECT_EQ(value.raw.size(), 8u) << name;
  EXPECT_EQ(value.number(), expected) << name;
}

void ExpectDword(const wchar_t* name, DWORD expected) {
  const StoredValue value = Stored(name);
  ASSERT_TRUE(value.present) << name;
  EXPECT_EQ(value.type, static_cast<DWORD>(REG_DWORD)) << name;
  EXPECT_EQ(value.raw.size(), 4u) << name;
  EXPECT_EQ(value.number(), expected) << name;
}

std::wstring ValueNames() {
  std::wstring names;
  RegValueNames(HKEY_CURRENT_USER, kKey, names);
  return names;
}

class InstallStateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetAppState();
    ASSERT_TRUE(scratch.ok());
  }
  void TearDown() override {
    AllowKeyWrites(HKEY_CURRENT_USER, kKey);
    ResetAppState();
  }
  // An identity that already exists: a later start is not an activation.
  void SeedIdentity() {
    ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, kKey, L"InstallId", L"11111111-2222-3333-4444-555555555555"));
    ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, kKey, L"DeviceId", L"DEVICE-1"));
    ASSERT_TRUE(RegSetQword(HKEY_CURRENT_USER, kKey, L"FirstRunUnix", 1500000000ULL));
    ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, kKey, L"InstallVersion", L"0.1.3"));
  }
  void SeedHistory() {
    ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, kKey, L"UpdatedFromVersion", L"0.1.2"));
    ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, kKey, L"UpdatedToVersion", L"0.1.3"));
    ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, kKey, L"LastUpdatedAt", L"2024-01-02T03:04:05Z"));
  }

  ScratchRegistry scratch;
};

}  // namespace

TEST_F(InstallStateTest, FirstStartWritesExactlyTheListedValues) {
  const uint64_t before = CurrentUnixTime();
  LoadInstallState();
  const uint64_t after = CurrentUnixTime();

  EXPECT_EQ(ValueNames(),
            L"BadgeStyle,DeviceId,FirstRunUnix,InstallId,InstallVersion,LastSeenUnix,LastSeenVersion,LeftHanded");

  EXPECT_TRUE(LooksLikeGuid(g_app.installId)) << g_app.installId;
  ExpectString(L"InstallId", g_app.installId);
  const std::wstring machineGuid = ReadWindowsMachineGuid();
  if (!machineGuid.empty()) {
    EXPECT_EQ(g_app.deviceId, machineGuid);
  }
  EXPECT_FALSE(g_app.deviceId.empty());
  ExpectString(L"DeviceId", g_app.deviceId);

  EXPECT_GE(g_app.firstRunUnix, before);
  EXPECT_LE(g_app.firstRunUnix, after);
  EXPECT_EQ(g_app.lastSeenUnix, g_app.firstRunUnix);
  ExpectQword(L"FirstRunUnix", g_app.firstRunUnix);
  ExpectQword(L"LastSeenUnix", g_app.lastSeenUnix);
  ExpectString(L"InstallVersion", kAppVersion);
  ExpectString(L"LastSeenVersion", kAppVersion);
  ExpectDword(L"LeftHanded", 1);
  ExpectString(L"BadgeStyle", L"letter");

  EXPECT_EQ(g_app.launchKind, L"activation");
  EXPECT_TRUE(g_app.identityFresh);
  EXPECT_EQ(g_app.installVersion, kAppVersion);
  EXPECT_EQ(g_app.telemetryEndpointUrl, kDefaultTelemetryEndpointUrl);
  EXPECT_TRUE(g_app.updatedFromVersion.empty());
  EXPECT_TRUE(g_app.updatedToVersion.empty());
  EXPECT_TRUE(g_app.lastUpdatedAt.empty());
  EXPECT_TRUE(g_app.leftHanded);
  EXPECT_EQ(g_app.badgeStyle, 1);
}

TEST_F(InstallStateTest, SameVersionIsLaunchAndKeepsHistory) {
  SeedIdentity();
  SeedHistory();
  ASSERT_TRUE(RegSetQword(HKEY_CURRENT_USER, kKey, L"LastSeenUnix", 1600000000ULL));
  ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, kKey, L"LastSeenVersion", kAppVersion));

  const uint64_t before = CurrentUnixTime();
  LoadInstallState();

  EXPECT_EQ(g_app.launchKind, L"launch");
  EXPECT_FALSE(g_app.identityFresh);
  EXPECT_EQ(g_app.installId, L"11111111-2222-3333-4444-555555555555");
  EXPECT_EQ(g_app.deviceId, L"DEVICE-1");
  EXPECT_EQ(g_app.firstRunUnix, 1500000000u);
  EXPECT_GE(g_app.lastSeenUnix, before);
  ExpectQword(L"LastSeenUnix", g_app.lastSeenUnix);
  ExpectQword(L"FirstRunUnix", 1500000000ULL);
  EXPECT_EQ(g_app.installVersion, L"0.1.3");
  ExpectString(L"InstallVersion", L"0.1.3");
  EXPECT_EQ(g_app.updatedFromVersion, L"0.1.2");
  EXPECT_EQ(g_app.updatedToVersion, L"0.1.3");
  EXPECT_EQ(g_app.lastUpdatedAt, L"2024-01-02T03:04:05Z");
  ExpectString(L"UpdatedFromVersion", L"0.1.2");
  ExpectString(L"UpdatedToVersion", L"0.1.3");
  ExpectString(L"LastUpdatedAt", L"2024-01-02T03:04:05Z");
}

TEST_F(InstallStateTest, DifferentLastSeenVersionIsUpdateThenLaunch) {
  SeedIdentity();
  SeedHistory();
  ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, kKey, L"LastSeenVersion", L"0.1.9"));

  const std::wstring earliest = IsoFromUnixTime(CurrentUnixTime());
  LoadInstallState();
  const std::wstring latest = IsoFromUnixTime(CurrentUnixTime());

  EXPECT_EQ(g_app.launchKind, L"update");
  EXPECT_EQ(g_app.updatedFromVersion, L"0.1.9");
  EXPECT_EQ(g_app.updatedToVersion, kAppVersion);
  EXPECT_GE(g_app.lastUpdatedAt, earliest);
  EXPECT_LE(g_app.lastUpdatedAt, latest);
  ExpectString(L"UpdatedFromVersion", L"0.1.9");
  ExpectString(L"UpdatedToVersion", kAppVersion);
  ExpectString(L"LastUpdatedAt", g_app.lastUpdatedAt);
  ExpectString(L"LastSeenVersion", kAppVersion);
  EXPECT_EQ(g_app.installVersion, L"0.1.3");

  const std::wstring updatedAt = g_app.lastUpdatedAt;
  ResetAppState();
  LoadInstallState();
  EXPECT_EQ(g_app.launchKind, L"launch");
  EXPECT_EQ(g_app.updatedFromVersion, L"0.1.9");
  EXPECT_EQ(g_app.lastUpdatedAt, updatedAt);
}

// How the stored identity and previous version decide the start-up event.
TEST_F(InstallStateTest, LaunchKindFollowsStoredValues) {
  struct Case {
    const char* what;
    // Applied after SeedIdentity(); may damage it.
    void (*prepare)();
    const wchar_t* expectedKind;
    bool historyWritten;
  };
  const Case cases[] = {
      {"no LastSeenVersion", [] {}, L"launch", false},
      {"empty LastSeenVersion", [] { RegSetString(HKEY_CURRENT_USER, kKey, L"LastSeenVersion", L""); }, L"launch",
       false},
      {"LastSeenVersion as REG_EXPAND_SZ",
       [] { RegSetString(HKEY_CURRENT_USER, kKey, L"LastSeenVersion", L"0.1.9", REG_EXPAND_SZ); }, L"launch", false},
      {"LastSeenVersion with a trailing blank",
       [] { RegSetString(HKEY_CURRENT_USER, kKey, L"LastSeenVersion", std::wstring(kAppVersion) + L" "); },
       L"update", true},
      {"FirstRunUnix 0 beats update",
       [] {
         RegSetQword(HKEY_CURRENT_USER, kKey, L"FirstRunUnix", 0);
         RegSetString(HKEY_CURRENT_USER, kKey, L"LastSeenVersion", L"0.1.9");
       },
       L"activation", false},
      {"FirstRunUnix as REG_DWORD", [] { RegSetDword(HKEY_CURRENT_USER, kKey, L"FirstRunUnix", 1500000000u); },
       L"activation", false},
      {"FirstRunUnix as 12-byte REG_QWORD",
       [] {
         const unsigned char twelve[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
         RegSetRaw(HKEY_CURRENT_USER, kKey, L"FirstRunUnix", REG_QWORD, twelve, sizeof(twelve));
       },
       L"activation", false},
      {"InstallId as REG_EXPAND_SZ",
       [] { RegSetString(HKEY_CURRENT_USER, kKey, L"InstallId", L"OLD-ID", REG_EXPAND_SZ); }, L"activation", false},
      {"empty InstallId", [] { RegSetString(HKEY_CURRENT_USER, kKey, L"InstallId", L""); }, L"activation", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(RegDeleteTreeIfPresent(HKEY_CURRENT_USER, kKey));
    ResetAppState();
    SeedIdentity();
    c.prepare();
    LoadInstallState();
    EXPECT_EQ(g_app.launchKind, c.expectedKind);
    EXPECT_EQ(g_app.identityFresh, std::wstring(c.expectedKind) == L"activation");
    EXPECT_EQ(RegValueExists(HKEY_CURRENT_USER, kKey, L"UpdatedFromVersion"), c.historyWritten);
    EXPECT_EQ(RegValueExists(HKEY_CURRENT_USER, kKey, L"LastUpdatedAt"), c.historyWritten);
    ExpectString(L"LastSeenVersion", kAppVersion);
    ExpectString(L"InstallId", g_app.installId);
    // A damaged identifier is replaced by new GUID text; a valid one stays.
    EXPECT_TRUE(g_app.installId == L"11111111-2222-3333-4444-555555555555" || LooksLikeGuid(g_app.installId));
    EXPECT_NE(g_app.installId, L"OLD-ID");
    ExpectQword(L"FirstRunUnix", g_app.firstRunUnix);
    EXPECT_NE(g_app.firstRunUnix, 0u);
  }
}

// Texts that no event or state file could carry read as unreadable values;
// the start's event is still queued and handed to the sender, and the state
// file it writes loads at the next start.
TEST_F(InstallStateTest, TextsNoEventOrStateFileCanCarryCountAsUnreadable) {
  const struct Case {
    const wchar_t* name;
    std::wstring AppState::*member;
    const wchar_t* expected;  // nullptr: a new identifier, stored
  } cases[] = {
      {L"InstallId", &AppState::installId, nullptr},
      {L"DeviceId", &AppState::deviceId, nullptr},
      {L"InstallVersion", &AppState::installVersion, kAppVersion},
      {L"LastSeenVersion", &AppState::updatedFromVersion, L"0.1.2"},  // no update seen
      {L"UpdatedFromVersion", &AppState::updatedFromVersion, L""},
      {L"UpdatedToVersion", &AppState::updatedToVersion, L""},
      {L"LastUpdatedAt", &AppState::lastUpdatedAt, L""},
  };
  const auto check = [this](const Case& c, const std::wstring& text) {
    SCOPED_TRACE(::testing::Message() << WideToUtf8(c.name) << ", " << text.size() << " units");
    ASSERT_TRUE(RegDeleteTreeIfPresent(HKEY_CURRENT_USER, kKey));
    ResetAppState();
    SeedIdentity();
    SeedHistory();
    ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, kKey, c.name, text));
    ScratchDirectories dirs;
    LoadInstallState();
    EXPECT_EQ(g_app.identityFresh, c.member == &AppState::installId);
    if (c.expected != nullptr) {
      EXPECT_EQ(g_app.*c.member, c.expected);
    } else {
      EXPECT_NE(g_app.*c.member, text);
      ExpectString(c.name, g_app.*c.member);
    }
    LoadTelemetryMetadata();

    ManualOutbox manual(g_telemetryDirectory, kKey);
    telemetry::WindowsOutbox& outbox = manual.outbox;
    outbox.running = true;  // takes the start's state and event; one pass is run here
    telemetry::WindowsOutbox* const programOutbox = g_telemetryOutbox;
    g_telemetryOutbox = &outbox;
    SendTelemetryReportNow(g_app.launchKind.c_str());
    outbox.PersistencePass();
    g_telemetryOutbox = programOutbox;
    ASSERT_EQ(outbox.outbox.records.size(), 1u);
    std::vector<std::pair<std::string, std::string>> members;
    EXPECT_TRUE(ParseJsonObject(outbox.outbox.records.front().body, members));
    EXPECT_TRUE(outbox.sending);
    std::string stateFile;
    EXPECT_TRUE(ReadFileBytes(outbox.statePath, stateFile) && telemetry::StateSnapshot().Parse(stateFile));
  };
  const std::wstring texts[] = {std::wstring(1 << 19, L'7'), L"0.1\n7", L"0.1\r7"};
  for (const Case& c : cases) {
    for (const std::wstring& text : texts) check(c, text);
  }
  // Identifiers within 256 characters that the state file still cannot hold.
  check(cases[0], std::wstring(200, L'i'));
  check(cases[0], std::wstring(100, L'\u00E9'));
}

TEST_F(InstallStateTest, SmallFirstRunQwordIsAcceptedAsStored) {
  SeedIdentity();
  const unsigned char four[4] = {0x10, 0x27, 0, 0};  // 10000
  ASSERT_TRUE(RegSetRaw(HKEY_CURRENT_USER, kKey, L"FirstRunUnix", REG_QWORD, four, sizeof(four)));
  ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, kKey, L"LastSeenVersion", kAppVersion));
  LoadInstallState();
  EXPECT_EQ(g_app.launchKind, L"launch");
  EXPECT_EQ(g_app.firstRunUnix, 10000u);
}

TEST_F(InstallStateTest, MissingOrDamagedTextValuesGetDefaults) {
  SeedIdentity();
  ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, kKey, L"InstallVersion", L""));
  ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, kKey, L"DeviceId", L"X", REG_EXPAND_SZ));
  ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, kKey, L"UpdatedFromVersion", L"0.0.1", REG_MULTI_SZ));
  LoadInstallState();
  EXPECT_EQ(g_app.installVersion, kAppVersion);
  ExpectString(L"InstallVersion", kAppVersion);
  EXPECT_NE(g_app.deviceId, L"X");
  EXPECT_FALSE(g_app.deviceId.empty());
  ExpectString(L"DeviceId", g_app.deviceId);
  EXPECT_TRUE(g_app.updatedFromVersion.empty());
  // A new device identifier alone is not an activation.
  EXPECT_FALSE(g_app.identityFresh);
}

TEST_F(InstallStateTest, EndpointOverrideOnlyFromNonEmptyRegSz) {
  struct Case {
    const wchar_t* text;
    DWORD type;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {L"https://override.example/collect", REG_SZ, L"https://override.example/collect"},
      {L"not even a url", REG_SZ, L"not even a url"},
      {L"", REG_SZ, kDefaultTelemetryEndpointUrl},
      {L"https://override.example/collect", REG_EXPAND_SZ, kDefaultTelemetryEndpointUrl},
      {nullptr, REG_NONE, kDefaultTelemetryEndpointUrl},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text ? c.text : L"(missing)");
    ASSERT_TRUE(RegDeleteTreeIfPresent(HKEY_CURRENT_USER, kKey));
    ResetAppState();
    if (c.text != nullptr) {
      ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, kKey, L"TelemetryEndpointUrl", c.text, c.type));
    }
    LoadInstallState();
    EXPECT_EQ(g_app.telemetryEndpointUrl, c.expected);
    // The built-in default is never stored.
    EXPECT_EQ(RegValueExists(HKEY_CURRENT_USER, kKey, L"TelemetryEndpointUrl"), c.text != nullptr);
  }
}

TEST_F(InstallStateTest, UnopenableKeyGivesInMemoryStateAndWritesNothing) {
  ASSERT_TRUE(RegSetDword(HKEY_CURRENT_USER, kKey, L"LeftHanded", 0));
  ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, kKey, L"BadgeStyle", L"dot"));
  ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, kKey, L"InstallId", L"STORED-ID"));
  ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, kKey, L"TelemetryEndpointUrl", L"https://override.example/"));
  ASSERT_TRUE(DenyKeyWrites(HKEY_CURRENT_USER, kKey));
  const std::wstring namesBefore = ValueNames();

  const uint64_t before = CurrentUnixTime();
  LoadInstallState();

  EXPECT_EQ(ValueNames(), namesBefore);
  ExpectString(L"InstallId", L"STORED-ID");
  ExpectDword(L"LeftHanded", 0);
  ExpectString(L"BadgeStyle", L"dot");

  EXPECT_TRUE(LooksLikeGuid(g_app.installId)) << g_app.installId;
  const std::wstring machineGuid = ReadWindowsMachineGuid();
  if (!machineGuid.empty()) {
    EXPECT_EQ(g_app.deviceId, machineGuid);
  }
  EXPECT_FALSE(g_app.deviceId.empty());
  EXPECT_EQ(g_app.installVersion, kAppVersion);
  EXPECT_TRUE(g_app.identityFresh);
  EXPECT_GE(g_app.firstRunUnix, before);
  EXPECT_EQ(g_app.lastSeenUnix, g_app.firstRunUnix);
  EXPECT_EQ(g_app.launchKind, L"activation");
  EXPECT_EQ(g_app.telemetryEndpointUrl, kDefaultTelemetryEndpointUrl);
  EXPECT_TRUE(g_app.leftHanded);
  EXPECT_EQ(g_app.badgeStyle, 1);

  // Each such start makes a new identity.
  const std::wstring firstId = g_app.installId;
  ResetAppState();
  LoadInstallState();
  EXPECT_NE(g_app.installId, firstId);
}

TEST_F(InstallStateTest, SaveWritesIdentityAndTimes) {
  ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, kKey, L"BadgeStyle", L"dot"));
  g_app.installId = L"SAVED-ID";
  g_app.deviceId = L"SAVED-DEVICE";
  g_app.firstRunUnix = 1234;
  g_app.lastSeenUnix = 0x123456789ULL;
  SaveInstallState();
  ExpectString(L"InstallId", L"SAVED-ID");
  ExpectString(L"DeviceId", L"SAVED-DEVICE");
  ExpectQword(L"FirstRunUnix", 1234);
  ExpectQword(L"LastSeenUnix", 0x123456789ULL);
  EXPECT_EQ(ValueNames(), L"BadgeStyle,DeviceId,FirstRunUnix,InstallId,LastSeenUnix");
  EXPECT_EQ(g_app.identityDiagnostic, L"ok");
}

TEST_F(InstallStateTest, SaveIntoDeniedKeyReportsWriteFailure) {
  ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, kKey, L"InstallId", L"STORED-ID"));
  ASSERT_TRUE(DenyKeyWrites(HKEY_CURRENT_USER, kKey));
  g_app.installId = L"NEW-ID";
  SaveInstallState();
  EXPECT_EQ(g_app.identityDiagnostic, L"registry_write_failed");
  ExpectString(L"InstallId", L"STORED-ID");
}

// Stored "BadgeStyle" texts, how they read, and what the same start writes back.
TEST_F(InstallStateTest, BadgeStyleNamesMapAndAreRewrittenCanonically) {
  struct Case {
    const wchar_t* stored;
    DWORD type;
    int32_t style;
    const wchar_t* rewritten;
  };
  const Case cases[] = {
      {L"none", REG_SZ, 0, L"none"},
      {L"System", REG_SZ, 0, L"none"},
      {L"MIRROR_ONLY", REG_SZ, 0, L"none"},
      {L"letter", REG_SZ, 1, L"letter"},
      {L"LeTTer", REG_SZ, 1, L"letter"},
      {L"dot", REG_SZ, 2, L"dot"},
      {L"DOT_BADGE", REG_SZ, 2, L"dot"},
      {L"high_contrast", REG_SZ, 3, L"high_contrast"},
      {L"HighContrast", REG_SZ, 3, L"high_contrast"},
      {L"CONTRAST", REG_SZ, 3, L"high_contrast"},
      {L"sparkles", REG_SZ, 1, L"letter"},
      {L" dot", REG_SZ, 1, L"letter"},
      {L"dot\t", REG_SZ, 1, L"letter"},
      {L"d\u00d6t", REG_SZ, 1, L"letter"},
      {L"", REG_SZ, 1, L"letter"},
      {L"dot", REG_EXPAND_SZ, 1, L"letter"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    ASSERT_TRUE(RegDeleteTreeIfPresent(HKEY_CURRENT_USER, kKey));
    ResetAppState();
    ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, kKey, L"BadgeStyle", c.stored, c.type));
    LoadInstallState();
    EXPECT_EQ(g_app.badgeStyle, c.style);
    ExpectString(L"BadgeStyle", c.rewritten);
  }
}

TEST_F(InstallStateTest, LeftHandedOnlyFromRegDword) {
  struct Case {
    const char* what;
    DWORD type;
    std::string data;
    bool leftHanded;
  };
  const Case cases[] = {
      {"REG_DWORD 0", REG_DWORD, std::string("\0\0\0\0", 4), false},
      {"REG_DWORD 1", REG_DWORD, std::string("\1\0\0\0", 4), true},
      {"REG_DWORD 7", REG_DWORD, std::string("\7\0\0\0", 4), true},
      {"REG_DWORD 0x100", REG_DWORD, std::string("\0\1\0\0", 4), true},
      {"REG_SZ \"0\"", REG_SZ, std::string("0\0\0\0", 4), true},
      {"REG_QWORD 0", REG_QWORD, std::string(8, '\0'), true},
      {"REG_BINARY 0", REG_BINARY, std::string(4, '\0'), true},
      {"8-byte REG_DWORD 0", REG_DWORD, std::string(8, '\0'), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(RegDeleteTreeIfPresent(HKEY_CURRENT_USER, kKey));
    ResetAppState();
    ASSERT_TRUE(RegSetRaw(HKEY_CURRENT_USER, kKey, L"LeftHanded", c.type, c.data.data(),
                          static_cast<DWORD>(c.data.size())));
    LoadInstallState();
    EXPECT_EQ(g_app.leftHanded, c.leftHanded);
    ExpectDword(L"LeftHanded", c.leftHanded ? 1 : 0);
  }
}

TEST_F(InstallStateTest, SaveCursorPreferencesCreatesKeyAndWritesCanonicalForms) {
  const struct {
    bool leftHanded;
    int32_t style;
    DWORD storedLeft;
    const wchar_t* storedStyle;
  } cases[] = {
      {false, 0, 0, L"none"},
      {true, 1, 1, L"letter"},
      {false, 2, 0, L"dot"},
      {true, 3, 1, L"high_contrast"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.storedStyle);
    ASSERT_TRUE(RegDeleteTreeIfPresent(HKEY_CURRENT_USER, kKey));
    g_app.leftHanded = c.leftHanded;
    g_app.badgeStyle = c.style;
    SaveCursorPreferences();
    ExpectDword(L"LeftHanded", c.storedLeft);
    ExpectString(L"BadgeStyle", c.storedStyle);
    EXPECT_EQ(ValueNames(), L"BadgeStyle,LeftHanded");
  }
}

TEST_F(InstallStateTest, LoadAndSaveLeaveNoHandlesBehind) {
  ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, kKey, L"InstallVersion", kAppVersion));
  // The probe must notice one leaked key, or it proves nothing.
  const HANDLE free = NextHandleValue();
  ASSERT_NE(free, nullptr);
  HKEY leaked = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &leaked), ERROR_SUCCESS);
  EXPECT_NE(NextHandleValue(), free);
  RegCloseKey(leaked);
  ASSERT_EQ(NextHandleValue(), free);

  const struct {
    const char* what;
    void (*prepare)();
  } paths[] = {
      {"first start", [] { RegDeleteTreeIfPresent(HKEY_CURRENT_USER, kKey); }},
      {"later start", [] {}},
      {"update start", [] { RegSetString(HKEY_CURRENT_USER, kKey, L"LastSeenVersion", L"0.0.1"); }},
      {"denied key", [] { DenyKeyWrites(HKEY_CURRENT_USER, kKey); }},
  };
  for (const auto& path : paths) {
    SCOPED_TRACE(path.what);
    AllowKeyWrites(HKEY_CURRENT_USER, kKey);
    path.prepare();
    ResetAppState();
    const HANDLE before = NextHandleValue();
    LoadInstallState();
    SaveInstallState();
    SaveCursorPreferences();
    EXPECT_EQ(NextHandleValue(), before);
  }
}

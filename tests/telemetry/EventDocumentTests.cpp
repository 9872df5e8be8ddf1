#include <gtest/gtest.h>

#include "common/Text.h"
#include "shell/AppState.h"
#include "telemetry/EventDocument.h"
#include "telemetry/WindowsOutbox.h"
#include "tests/support/JsonProbe.h"

using namespace testing_support;

namespace {

using Members = std::vector<std::pair<std::string, std::string>>;

const char* const kTopLevelKeys[] = {
    "schemaVersion", "eventId", "sessionId", "eventCategory", "platform", "osVersion", "architecture",
    "uiLocale", "inputLanguage", "clientSentAt", "installId", "deviceId", "appVariant", "eventType",
    "appVersion", "appBuildVersion", "installVersion", "updatedFromVersion", "updatedToVersion",
    "lastUpdatedAt", "firstSeenAt", "lastSeenAt", "eventAt", "spreadsheetId", "language", "leftHanded",
    "handedness", "badgeStyle", "mode", "enabled", "properties", "eventSequence", "installFirstSeenAt",
    "installDateProvenance", "periodStartedAt", "activityCount", "featureEnabled", "cursorApplyResult",
    "identityDiagnostic", "sequenceReliable", "outboxPersistenceHealthy", "telemetryDroppedCount",
};

class EventDocument : public ::testing::Test {
 protected:
  void SetUp() override {
    g_app = AppState{};
    g_app.sessionId = L"SESSION";
    g_app.installId = L"INSTALL";
    g_app.deviceId = L"DEVICE";
    g_app.firstRunUnix = 86400;
    g_app.lastSeenUnix = 172800;
    g_app.installFirstSeenUnix = 86399;
    g_app.installDateProvenance = L"created";
    g_app.metadataLoaded = true;
    savedRunning = g_telemetryOutbox->running;
  }
  void TearDown() override {
    g_telemetryOutbox->running = savedRunning;
    g_app = AppState{};
  }
  Members Build(const wchar_t* type, const std::wstring& extra = L"") {
    document = WideToUtf8(BuildTelemetryJson(type, extra));
    Members members;
    EXPECT_TRUE(ParseJsonObject(document, members)) << document;
    return members;
  }
  std::string document;
  bool savedRunning = false;
};

}  // namespace

TEST_F(EventDocument, HasEveryMemberOnceInOrderOnOneLine) {
  const Members members = Build(L"launch");
  ASSERT_EQ(members.size(), std::size(kTopLevelKeys)) << document;
  for (size_t i = 0; i < members.size(); ++i) EXPECT_EQ(members[i].first, kTopLevelKeys[i]);
  // One line, nothing between tokens.
  EXPECT_EQ(document.find_first_of("\n\r\t"), std::string::npos) << document;
  EXPECT_EQ(document.find("\": "), std::string::npos);
  EXPECT_EQ(document.find(", \""), std::string::npos);
  EXPECT_EQ(JsonMember(members, "schemaVersion"), "3");
  EXPECT_EQ(JsonMember(members, "platform"), "\"windows\"");
  EXPECT_EQ(JsonMember(members, "appVariant"), "\"tw1\"");
  EXPECT_EQ(JsonMember(members, "appVersion"), "\"0.1.22\"");
  EXPECT_EQ(JsonMember(members, "appBuildVersion"), "\"23\"");
  EXPECT_EQ(JsonMember(members, "eventType"), "\"launch\"");
  EXPECT_EQ(JsonMember(members, "eventCategory"), "\"lifecycle\"");
  EXPECT_EQ(JsonMember(members, "firstSeenAt"), "\"1970-01-02T00:00:00Z\"");
  EXPECT_EQ(JsonMember(members, "periodStartedAt"), JsonMember(members, "firstSeenAt"));
  EXPECT_EQ(JsonMember(members, "lastSeenAt"), "\"1970-01-03T00:00:00Z\"");
  EXPECT_EQ(JsonMember(members, "installFirstSeenAt"), "\"1970-01-01T23:59:59Z\"");
  EXPECT_EQ(JsonMember(members, "eventAt"), JsonMember(members, "clientSentAt"));
  EXPECT_EQ(JsonMember(members, "featureEnabled"), JsonMember(members, "enabled"));
  EXPECT_EQ(JsonMember(members, "mode"), "\"left_letter\"");
  EXPECT_EQ(JsonMember(members, "spreadsheetId").size(), 46u);
  EXPECT_EQ(JsonMember(members, "architecture"), "\"x86_64\"");
  EXPECT_EQ(JsonStringValue(JsonMember(members, "osVersion")).rfind("Windows", 0), 0u);
}

TEST_F(EventDocument, PropertiesRepeatTheSettingsThenTheExtraMembers) {
  g_app.leftHanded = false;
  g_app.badgeStyle = 3;
  g_app.badgeText = L"\u0420\u0443";
  Members members = Build(L"style_high_contrast");
  Members properties;
  ASSERT_TRUE(ParseJsonObject(JsonMember(members, "properties"), properties));
  ASSERT_EQ(properties.size(), 6u);
  const char* keys[] = {"language", "leftHanded", "handedness", "badgeStyle", "mode", "enabled"};
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(properties[i].first, keys[i]);
    EXPECT_EQ(properties[i].second, JsonMember(members, keys[i]));
  }
  EXPECT_EQ(JsonMember(members, "mode"), "\"right_high_contrast\"");
  EXPECT_EQ(JsonStringValue(JsonMember(members, "language")), "\xD0\xA0\xD1\x83");

  members = Build(L"feature_x", L",\"extra\":1,\"more\":\"x\"");
  ASSERT_TRUE(ParseJsonObject(JsonMember(members, "properties"), properties));
  ASSERT_EQ(properties.size(), 8u);
  EXPECT_EQ(properties[6].first, "extra");
  EXPECT_EQ(properties[7].first, "more");
  EXPECT_EQ(members.size(), std::size(kTopLevelKeys));
}

TEST_F(EventDocument, CategoriesFollowTheTypeRules) {
  struct Case {
    const wchar_t* type;
    const wchar_t* category;
  };
  const Case cases[] = {
      {L"update", L"lifecycle"},         {L"session_alive", L"lifecycle"},   {L"update_available", L"updates"},
      {L"updates", L"feature"},          {L"enabled", L"settings"},          {L"enabledx", L"feature"},
      {L"autostart_disabled", L"settings"}, {L"style_dot", L"settings"},     {L"auto_return_x", L"activity"},
      {L"heartbeat", L"activity"},       {L"activity_summary", L"activity"}, {L"restore", L"settings"},
      {L"mode_x", L"settings"},          {L"primary_layout_y", L"settings"}, {L"Launch", L"feature"},
  };
  for (const Case& c : cases) EXPECT_EQ(TelemetryEventCategory(c.type), c.category) << c.type;
}

TEST_F(EventDocument, NullTypeIsAHeartbeat) {
  const Members members = Build(nullptr);
  EXPECT_EQ(JsonMember(members, "eventType"), "\"heartbeat\"");
  EXPECT_EQ(JsonMember(members, "eventCategory"), "\"activity\"");
}

TEST_F(EventDocument, UnknownStyleNamesItselfUnknownEverywhere) {
  for (int32_t style : {7, -1}) {
    g_app.badgeStyle = style;
    const Members members = Build(L"launch");
    EXPECT_EQ(JsonMember(members, "badgeStyle"), "\"unknown\"");
    EXPECT_EQ(JsonMember(members, "mode"), "\"left_unknown\"");
    EXPECT_NE(JsonMember(members, "properties").find("\"mode\":\"left_unknown\""), std::string::npos);
  }
}

TEST_F(EventDocument, SequenceIsClaimedOnlyWhenTheStateCanReachDisk) {
  g_telemetryOutbox->running = false;
  g_app.eventSequence = 10;
  Members members = Build(L"launch");
  EXPECT_EQ(g_app.eventSequence, 11u);
  EXPECT_EQ(JsonMember(members, "eventSequence"), "null");
  EXPECT_EQ(JsonMember(members, "sequenceReliable"), "false");

  // A running outbox whose last state write worked: numbered documents.
  g_telemetryOutbox->running = true;
  g_telemetryOutbox->stateHealthy = true;
  members = Build(L"launch");
  EXPECT_EQ(JsonMember(members, "eventSequence"), "12");
  EXPECT_EQ(JsonMember(members, "sequenceReliable"), "true");
  const std::string firstId = JsonMember(members, "eventId");
  members = Build(L"launch");
  EXPECT_EQ(JsonMember(members, "eventSequence"), "13");
  EXPECT_NE(JsonMember(members, "eventId"), firstId);

  g_app.orderingReliable = false;
  members = Build(L"launch");
  EXPECT_EQ(JsonMember(members, "eventSequence"), "null");
  EXPECT_EQ(g_app.eventSequence, 14u);
}

TEST_F(EventDocument, LastSeenZeroUsesTheCurrentTime) {
  g_app.lastSeenUnix = 0;
  const Members members = Build(L"launch");
  EXPECT_EQ(JsonMember(members, "lastSeenAt").substr(0, 12), JsonMember(members, "clientSentAt").substr(0, 12));
}

TEST_F(EventDocument, RegistryTextsAreEscapedAndMayBeLong) {
  g_app.installId = L"quote\" back\\ tab\t";
  g_app.deviceId = std::wstring(10000, L'd');
  // Every control character, NUL included, survives as the same text.
  std::string controls;
  for (char c = 0; c < 0x20; ++c) controls += c;
  g_app.lastUpdatedAt.assign(controls.begin(), controls.end());
  const Members members = Build(L"launch");
  EXPECT_EQ(JsonStringValue(JsonMember(members, "lastUpdatedAt")), controls);
  EXPECT_EQ(JsonStringValue(JsonMember(members, "installId")), "quote\" back\\ tab\t");
  EXPECT_EQ(JsonStringValue(JsonMember(members, "deviceId")).size(), 10000u);
  EXPECT_EQ(members.size(), std::size(kTopLevelKeys));
}

#include <gtest/gtest.h>

#include "common/Paths.h"
#include "shell/AppState.h"
#include "telemetry/IdentityMetadata.h"
#include "telemetry/StateSnapshot.h"
#include "telemetry/WindowsOutbox.h"
#include "tests/support/ScratchDirectories.h"
#include "tests/support/ScratchRegistry.h"

using namespace testing_support;

namespace {

constexpr wchar_t kKey[] = L"Software\\TolvaneWin";

class IdentityMetadata : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(registry.ok());
    g_app = AppState{};
    g_telemetryDirectory.clear();
    g_app.installId = L"REG-ID";
    g_app.firstRunUnix = 5000;
    folder = JoinPath(dirs.localAppData(), L"TolvaneWin");
  }
  void TearDown() override {
    g_app = AppState{};
    g_telemetryDirectory.clear();
  }
  void WriteState(const std::string& id, uint64_t firstSeen, uint64_t sequence, uint64_t activity, uint64_t firstRun,
                  bool reliable = true, const std::string& provenance = "created") {
    CreateDirectoryW(folder.c_str(), nullptr);
    telemetry::StateSnapshot snapshot;
    snapshot.installId = id;
    snapshot.installDateProvenance = provenance;
    snapshot.installFirstSeenUnix = firstSeen;
    snapshot.eventSequence = sequence;
    snapshot.activityCount = activity;
    snapshot.firstRunUnix = firstRun;
    snapshot.orderingReliable = reliable;
    ASSERT_TRUE(WriteFileBytes(StatePath(), snapshot.Serialize()));
  }
  void WriteMirror(const std::wstring& id, uint64_t sequence, uint64_t activity, uint64_t firstSeen,
                   const std::wstring& provenance, DWORD reliable = 1) {
    ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, kKey, L"TelemetryMetadataInstallId", id));
    ASSERT_TRUE(RegSetQword(HKEY_CURRENT_USER, kKey, L"TelemetryEventSequence", sequence));
    ASSERT_TRUE(RegSetQword(HKEY_CURRENT_USER, kKey, L"TelemetryActivityCount", activity));
    ASSERT_TRUE(RegSetQword(HKEY_CURRENT_USER, kKey, L"InstallFirstSeenUnix", firstSeen));
    ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, kKey, L"InstallDateProvenance", provenance));
    ASSERT_TRUE(RegSetDword(HKEY_CURRENT_USER, kKey, L"TelemetryOrderingReliable", reliable));
  }
  std::wstring StatePath() const { return JoinPath(folder, L"telemetry-state-v3.dat"); }

  ScratchRegistry registry;
  ScratchDirectories dirs;
  std::wstring folder;
};

}  // namespace

TEST_F(IdentityMetadata, FirstRunOnCleanMachine) {
  g_app.identityFresh = true;
  LoadTelemetryMetadata();
  EXPECT_EQ(g_telemetryDirectory, folder);
  EXPECT_TRUE(DirectoryExists(folder));
  EXPECT_EQ(g_app.installDateProvenance, L"created");
  EXPECT_EQ(g_app.installFirstSeenUnix, 5000u);
  EXPECT_EQ(g_app.eventSequence, 0u);
  EXPECT_TRUE(g_app.orderingReliable);
  EXPECT_EQ(g_app.identityDiagnostic, L"ok");
  EXPECT_TRUE(g_app.metadataLoaded);
  EXPECT_GT(g_app.lastSessionAliveUnix, 1700000000u);
  // SaveInstallState ran last.
  EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, kKey, L"InstallId"));
}

TEST_F(IdentityMetadata, ExistingIdentityWithoutHistoryIsMigratedQuietly) {
  LoadTelemetryMetadata();
  EXPECT_EQ(g_app.installDateProvenance, L"migrated_period");
  EXPECT_EQ(g_app.identityDiagnostic, L"ok");
  EXPECT_TRUE(g_app.orderingReliable);
}

TEST_F(IdentityMetadata, LostRegistryIdentityIsRecoveredFromTheStateFile) {
  g_app.identityFresh = true;
  g_app.launchKind = L"activation";
  g_app.installId = L"NEW-ID";
  WriteState("FILE-ID", 1234, 40, 9, 1111);
  LoadTelemetryMetadata();
  EXPECT_EQ(g_app.installId, L"FILE-ID");
  EXPECT_EQ(g_app.firstRunUnix, 1111u);
  EXPECT_FALSE(g_app.identityFresh);
  EXPECT_EQ(g_app.launchKind, L"launch");
  EXPECT_EQ(g_app.identityDiagnostic, L"recovered_from_backup");
  EXPECT_EQ(g_app.eventSequence, 40u);
  EXPECT_EQ(g_app.activityCount, 9u);
  EXPECT_EQ(g_app.reportedActivityCount, 9u);
  EXPECT_EQ(g_app.installFirstSeenUnix, 1234u);
}

TEST_F(IdentityMetadata, MirrorRaisesButNeverLowersCounters) {
  WriteState("REG-ID", 1234, 40, 9, 5000);
  WriteMirror(L"REG-ID", 50, 3, 777, L"mirror");
  LoadTelemetryMetadata();
  EXPECT_EQ(g_app.eventSequence, 50u);
  EXPECT_EQ(g_app.activityCount, 9u);
  EXPECT_EQ(g_app.installFirstSeenUnix, 1234u);  // a parsed file wins over the mirror here
  EXPECT_EQ(g_app.installDateProvenance, L"created");
  EXPECT_TRUE(g_app.orderingReliable);
}

TEST_F(IdentityMetadata, MirrorOrderingFlagCountsOnlyAsDwordZeroWithASequence) {
  WriteState("REG-ID", 1234, 40, 9, 5000);
  WriteMirror(L"REG-ID", 41, 9, 1, L"x", 0);
  LoadTelemetryMetadata();
  EXPECT_FALSE(g_app.orderingReliable);

  g_app = AppState{};
  g_app.installId = L"REG-ID";
  g_app.firstRunUnix = 5000;
  RegSetQword(HKEY_CURRENT_USER, kKey, L"TelemetryOrderingReliable", 0);
  LoadTelemetryMetadata();
  EXPECT_TRUE(g_app.orderingReliable);
}

TEST_F(IdentityMetadata, MirrorOfAnotherIdentityIsIgnoredWhole) {
  WriteMirror(L"OTHER", 99, 99, 42, L"mirror");
  LoadTelemetryMetadata();
  EXPECT_EQ(g_app.eventSequence, 0u);
  EXPECT_EQ(g_app.activityCount, 0u);
  EXPECT_EQ(g_app.installFirstSeenUnix, 5000u);
}

TEST_F(IdentityMetadata, StateFileOfAnotherIdentityEndsAsUnknownHistory) {
  WriteState("OTHER", 1234, 40, 9, 1111);
  LoadTelemetryMetadata();
  EXPECT_EQ(g_app.installId, L"REG-ID");
  EXPECT_EQ(g_app.eventSequence, 0u);
  EXPECT_EQ(g_app.identityDiagnostic, L"sequence_history_unknown");
  EXPECT_FALSE(g_app.orderingReliable);
  EXPECT_EQ(g_app.installDateProvenance, L"migrated_period");
}

TEST_F(IdentityMetadata, RefusedStateFileIsCopiedAsideAndMirrorFillsIn) {
  CreateDirectoryW(folder.c_str(), nullptr);
  ASSERT_TRUE(WriteFileBytes(StatePath(), ""));
  WriteMirror(L"REG-ID", 12, 4, 777, L"mirror");
  LoadTelemetryMetadata();
  EXPECT_TRUE(FileExists(StatePath() + L".corrupt"));
  EXPECT_TRUE(FileExists(StatePath()));
  EXPECT_EQ(g_app.identityDiagnostic, L"metadata_unreadable");
  EXPECT_EQ(g_app.installFirstSeenUnix, 777u);
  EXPECT_EQ(g_app.installDateProvenance, L"mirror");
  EXPECT_EQ(g_app.eventSequence, 12u);
  EXPECT_TRUE(g_app.orderingReliable);
}

// A mirrored word that the state file could not hold is not read; only the
// first one fits.
TEST_F(IdentityMetadata, MirroredProvenanceTheStateFileCannotHoldIsNotRead) {
  CreateDirectoryW(folder.c_str(), nullptr);
  ASSERT_TRUE(WriteFileBytes(StatePath(), ""));
  const std::wstring words[] = {std::wstring(64, L'p'), std::wstring(65, L'p'), std::wstring(33, L'\u00E9'), L"a\nb",
                                L"a\rb"};
  for (const std::wstring& word : words) {
    WriteMirror(L"REG-ID", 12, 4, 777, word);
    LoadTelemetryMetadata();
    EXPECT_EQ(g_app.installFirstSeenUnix, 777u);
    EXPECT_EQ(g_app.installDateProvenance, &word == words ? word : L"migrated_period") << word.size();
  }
}

TEST_F(IdentityMetadata, RefusedStateFileWithoutMirrorSequenceIsUnknownHistory) {
  CreateDirectoryW(folder.c_str(), nullptr);
  ASSERT_TRUE(WriteFileBytes(StatePath(), "TVTS3\r\nbad"));
  LoadTelemetryMetadata();
  EXPECT_EQ(g_app.identityDiagnostic, L"sequence_history_unknown");
  EXPECT_FALSE(g_app.orderingReliable);
}

TEST_F(IdentityMetadata, OutboxFileAloneMeansHistoryExists) {
  CreateDirectoryW(folder.c_str(), nullptr);
  ASSERT_TRUE(WriteFileBytes(JoinPath(folder, L"telemetry-outbox-v3.dat"), "TVTQ3\n0\n0\n"));
  LoadTelemetryMetadata();
  EXPECT_EQ(g_app.identityDiagnostic, L"sequence_history_unknown");
  EXPECT_FALSE(g_app.orderingReliable);
}

TEST_F(IdentityMetadata, NoDataFolderStillReadsTheMirror) {
  SetEnvironmentVariableW(L"LOCALAPPDATA", nullptr);
  WriteMirror(L"REG-ID", 12, 4, 777, L"mirror");
  LoadTelemetryMetadata();
  EXPECT_TRUE(g_telemetryDirectory.empty());
  EXPECT_EQ(g_app.eventSequence, 12u);
  EXPECT_EQ(g_app.installFirstSeenUnix, 777u);
  EXPECT_EQ(g_app.identityDiagnostic, L"ok");
}

TEST_F(IdentityMetadata, PersistIsRefusedBeforeLoadAndWithoutRunningOutbox) {
  EXPECT_FALSE(PersistTelemetryMetadata());
  LoadTelemetryMetadata();
  const bool wasRunning = g_telemetryOutbox->running;
  g_telemetryOutbox->running = false;
  EXPECT_FALSE(PersistTelemetryMetadata());
  g_telemetryOutbox->running = wasRunning;
}

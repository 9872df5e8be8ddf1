#include "telemetry/IdentityMetadata.h"

#include <windows.h>

#include "common/Paths.h"
#include "common/Registry.h"
#include "common/ScopedHandle.h"
#include "common/Text.h"
#include "common/Time.h"
#include "shell/AppState.h"
#include "shell/InstallState.h"
#include "shell/ShellConstants.h"
#include "telemetry/Files.h"
#include "telemetry/StateSnapshot.h"
#include "telemetry/WindowsOutbox.h"

namespace {

bool FileExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

void LoadTelemetryMetadata() {
  bool parsed = false;
  bool historyExists = false;
  bool sequenceTrusted = false;

  g_telemetryDirectory = telemetry::DataDirectory(L"TolvaneWin");
  telemetry::StateSnapshot snapshot;
  bool adopted = false;
  if (!g_telemetryDirectory.empty()) {
    const std::wstring statePath = JoinPath(g_telemetryDirectory, telemetry::kStateFileName);
    const std::wstring outboxPath = JoinPath(g_telemetryDirectory, telemetry::kOutboxFileName);
    std::string bytes;
    if (telemetry::ReadFileBytes(statePath, bytes)) parsed = snapshot.Parse(bytes);
    historyExists = FileExists(statePath) || FileExists(outboxPath);
    if (!parsed) {
      if (FileExists(statePath)) {
        CopyFileW(statePath.c_str(), (statePath + telemetry::kCorruptSuffix).c_str(), FALSE);
        g_app.identityDiagnostic = L"metadata_unreadable";
      }
    } else {
      if (g_app.identityFresh) {
        g_app.installId = Utf8ToWide(snapshot.installId);
        g_app.firstRunUnix = snapshot.firstRunUnix;
        g_app.identityFresh = false;
        g_app.launchKind = L"launch";
        g_app.identityDiagnostic = L"recovered_from_backup";
      }
      if (WideToUtf8(g_app.installId) == snapshot.installId) {
        g_app.installFirstSeenUnix = snapshot.installFirstSeenUnix;
        g_app.eventSequence = snapshot.eventSequence;
        g_app.activityCount = snapshot.activityCount;
        g_app.orderingReliable = snapshot.orderingReliable;
        g_app.installDateProvenance = Utf8ToWide(snapshot.installDateProvenance);
        sequenceTrusted = true;
        adopted = true;
      }
    }
  }
  if (!adopted) {
    g_app.installFirstSeenUnix = g_app.firstRunUnix;
    g_app.installDateProvenance = g_app.identityFresh ? L"created" : L"migrated_period";
    if (parsed) g_app.identityDiagnostic = L"registry_backup_identity_conflict";
  }

  ScopedRegKey key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kRegistryPath, 0, KEY_READ, key.Receive()) == ERROR_SUCCESS) {
    std::wstring mirroredId;
    if (RegistryReadString(key.Get(), L"TelemetryMetadataInstallId", mirroredId) && mirroredId == g_app.installId) {
      uint64_t value = 0;
      if (RegistryReadQword(key.Get(), L"TelemetryEventSequence", value)) {
        if (value > g_app.eventSequence) g_app.eventSequence = value;
        sequenceTrusted = true;
        DWORD type = 0;
        DWORD reliable = 1;
        DWORD size = sizeof(reliable);
        if (RegQueryValueExW(key.Get(), L"TelemetryOrderingReliable", nullptr, &type,
                             reinterpret_cast<BYTE*>(&reliable), &size) == ERROR_SUCCESS &&
            type == REG_DWORD && reliable == 0) {
          g_app.orderingReliable = false;
        }
      }
      if (RegistryReadQword(key.Get(), L"TelemetryActivityCount", value) && value > g_app.activityCount) {
        g_app.activityCount = value;
      }
      if (!parsed && RegistryReadQword(key.Get(), L"InstallFirstSeenUnix", value) && value != 0) {
        g_app.installFirstSeenUnix = value;
        // A word the state file could not hold leaves the earlier one.
        RegistryReadInstallText(key.Get(), L"InstallDateProvenance", g_app.installDateProvenance,
                                telemetry::kProvenanceLimit);
      }
    }
    key.Reset();
  }

  if (!sequenceTrusted && historyExists) {
    g_app.orderingReliable = false;
    g_app.identityDiagnostic = L"sequence_history_unknown";
  }
  g_app.reportedActivityCount = g_app.activityCount;
  g_app.lastSessionAliveUnix = CurrentUnixTime();
  g_app.metadataLoaded = true;
  SaveInstallState();
}

bool PersistTelemetryMetadata() {
  if (!g_app.metadataLoaded) return false;
  telemetry::PersistentState state;
  state.installId = WideToUtf8(g_app.installId);
  state.installDateProvenance = WideToUtf8(g_app.installDateProvenance);
  state.installFirstSeenUnix = g_app.installFirstSeenUnix;
  state.eventSequence = g_app.eventSequence;
  state.activityCount = g_app.activityCount;
  state.firstRunUnix = g_app.firstRunUnix;
  state.orderingReliable = g_app.orderingReliable;
  if (!g_telemetryOutbox->running) return false;
  g_telemetryOutbox->PushState(state);
  return g_telemetryOutbox->stateHealthy;
}

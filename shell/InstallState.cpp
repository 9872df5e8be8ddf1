#include "shell/InstallState.h"

#include <windows.h>

#include <cstdint>
#include <string>

#include "BuildConfig.h"
#include "common/Identifiers.h"
#include "common/Registry.h"
#include "common/ScopedHandle.h"
#include "common/Time.h"
#include "common/Version.h"
#include "shell/AppState.h"
#include "shell/Preferences.h"
#include "shell/ShellConstants.h"
#include "telemetry/IdentityMetadata.h"
#include "telemetry/StateSnapshot.h"

namespace {

bool WriteQword(HKEY key, const wchar_t* name, uint64_t value) {
  return RegSetValueExW(key, name, 0, REG_QWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value)) ==
         ERROR_SUCCESS;
}

// An install text that events or the state file could not carry reads as empty.
std::wstring ReadInstallTextOrEmpty(HKEY key, const wchar_t* name, size_t utf8Limit = SIZE_MAX) {
  std::wstring text;
  RegistryReadInstallText(key, name, text, utf8Limit);
  return text;
}

std::wstring MachineOrNewDeviceId() {
  std::wstring id = ReadWindowsMachineGuid();
  if (id.empty()) id = GenerateGuidString();
  return id;
}

// Without the key this run still gets a complete identity; nothing is stored.
void SetStateWithoutRegistry(uint64_t now) {
  g_app.installId = GenerateGuidString();
  g_app.deviceId = MachineOrNewDeviceId();
  g_app.installVersion = kAppVersion;
  g_app.identityFresh = true;
  g_app.firstRunUnix = now;
  g_app.lastSeenUnix = now;
  g_app.launchKind = L"activation";
  g_app.telemetryEndpointUrl = kDefaultTelemetryEndpointUrl;
}

}  // namespace

void LoadInstallState() {
  const uint64_t now = CurrentUnixTime();

  ScopedRegKey key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kRegistryPath, 0, nullptr, 0, KEY_READ | KEY_SET_VALUE, nullptr,
                      key.Receive(), nullptr) != ERROR_SUCCESS) {
    SetStateWithoutRegistry(now);
    return;
  }

  std::wstring installId = ReadInstallTextOrEmpty(key.Get(), L"InstallId", telemetry::kInstallIdLimit);
  if (installId.empty()) {
    installId = GenerateGuidString();
    g_app.identityFresh = true;
    RegistryWriteString(key.Get(), L"InstallId", installId);
  }
  g_app.installId = installId;

  std::wstring deviceId = ReadInstallTextOrEmpty(key.Get(), L"DeviceId");
  if (deviceId.empty()) {
    deviceId = MachineOrNewDeviceId();
    RegistryWriteString(key.Get(), L"DeviceId", deviceId);
  }
  g_app.deviceId = deviceId;

  uint64_t firstRun = 0;
  if (RegistryReadQword(key.Get(), L"FirstRunUnix", firstRun) && firstRun != 0) {
    g_app.firstRunUnix = firstRun;
  } else {
    g_app.firstRunUnix = now;
    g_app.identityFresh = true;
    WriteQword(key.Get(), L"FirstRunUnix", now);
  }

  g_app.lastSeenUnix = now;
  WriteQword(key.Get(), L"LastSeenUnix", now);

  g_app.installVersion = ReadInstallTextOrEmpty(key.Get(), L"InstallVersion");
  if (g_app.installVersion.empty()) {
    g_app.installVersion = kAppVersion;
    RegistryWriteString(key.Get(), L"InstallVersion", g_app.installVersion);
  }

  const std::wstring previousVersion = ReadInstallTextOrEmpty(key.Get(), L"LastSeenVersion");
  g_app.updatedFromVersion = ReadInstallTextOrEmpty(key.Get(), L"UpdatedFromVersion");
  g_app.updatedToVersion = ReadInstallTextOrEmpty(key.Get(), L"UpdatedToVersion");
  g_app.lastUpdatedAt = ReadInstallTextOrEmpty(key.Get(), L"LastUpdatedAt");

  if (g_app.identityFresh) {
    g_app.launchKind = L"activation";
  } else if (!previousVersion.empty() && previousVersion != kAppVersion) {
    g_app.launchKind = L"update";
    g_app.updatedFromVersion = previousVersion;
    g_app.updatedToVersion = kAppVersion;
    g_app.lastUpdatedAt = IsoFromUnixTime(CurrentUnixTime());
    RegistryWriteString(key.Get(), L"UpdatedFromVersion", g_app.updatedFromVersion);
    RegistryWriteString(key.Get(), L"UpdatedToVersion", g_app.updatedToVersion);
    RegistryWriteString(key.Get(), L"LastUpdatedAt", g_app.lastUpdatedAt);
  } else {
    g_app.launchKind = L"launch";
  }
  RegistryWriteString(key.Get(), L"LastSeenVersion", kAppVersion);

  g_app.telemetryEndpointUrl.clear();
  RegistryReadString(key.Get(), L"TelemetryEndpointUrl", g_app.telemetryEndpointUrl);
  if (g_app.telemetryEndpointUrl.empty()) g_app.telemetryEndpointUrl = kDefaultTelemetryEndpointUrl;

  ReadCursorPreferences(key.Get());
  key.Reset();

  SaveCursorPreferences();
}

void SaveInstallState() {
  ScopedRegKey key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kRegistryPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Receive(),
                      nullptr) != ERROR_SUCCESS) {
    g_app.identityDiagnostic = L"registry_write_failed";
  } else {
    // Every write is tried even after one failed.
    bool written = RegistryWriteString(key.Get(), L"InstallId", g_app.installId);
    written = RegistryWriteString(key.Get(), L"DeviceId", g_app.deviceId) && written;
    written = WriteQword(key.Get(), L"FirstRunUnix", g_app.firstRunUnix) && written;
    written = WriteQword(key.Get(), L"LastSeenUnix", g_app.lastSeenUnix) && written;
    if (!written) g_app.identityDiagnostic = L"registry_write_failed";
    key.Reset();
  }
  PersistTelemetryMetadata();
}

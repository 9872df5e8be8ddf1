#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <string>

#include "common/Version.h"

inline constexpr size_t kSystemCursorCount = 16;

// The tray program's whole run-time state; user-interface thread only.
struct AppState {
  HINSTANCE instance = nullptr;
  HWND hiddenWindow = nullptr;
  NOTIFYICONDATAW trayIcon = {};
  HICON trayIconHandle = nullptr;
  HCURSOR sourceCursors[kSystemCursorCount] = {};
  HANDLE singleInstanceMutex = nullptr;
  ULONG_PTR gdiplusToken = 0;
  UINT shellHookMessage = 0;
  UINT taskbarCreatedMessage = 0;
  bool shellHookRegistered = false;
  bool enabled = true;
  bool autoStart = false;
  bool leftHanded = true;
  int32_t badgeStyle = 1;
  std::wstring badgeText = L"En";
  bool identityFresh = false;
  uint64_t firstRunUnix = 0;
  uint64_t lastSeenUnix = 0;
  std::wstring installId;
  std::wstring deviceId;
  std::wstring installVersion = kAppVersion;
  std::wstring updatedFromVersion;
  std::wstring updatedToVersion;
  std::wstring lastUpdatedAt;
  std::wstring launchKind = L"launch";
  std::wstring telemetryEndpointUrl;
  std::wstring sessionId;
  uint64_t installFirstSeenUnix = 0;
  uint64_t eventSequence = 0;
  uint64_t activityCount = 0;
  uint64_t reportedActivityCount = 0;
  uint64_t lastSessionAliveUnix = 0;
  HKL lastKeyboardLayout = nullptr;
  bool metadataLoaded = false;
  bool orderingReliable = true;
  std::wstring installDateProvenance = L"unknown";
  std::wstring identityDiagnostic = L"ok";
  std::wstring cursorApplyResult = L"unknown";
  bool updateCheckRunning = false;
  bool updateDownloadRunning = false;
  bool updateCheckDone = false;
  bool updateAvailable = false;
  int32_t visibleRefreshRemaining = 0;
  std::wstring updateVersion;
  std::wstring updateDownloadUrl;
  std::wstring updateTrackedDownloadUrl;
  std::wstring updateSha256;
  uint64_t updateSizeBytes = 0;
  std::wstring updateStatusMessage;
};

extern AppState g_app;
// Telemetry data folder; empty means telemetry is not persisted this run.
extern std::wstring g_telemetryDirectory;

#include "shell/UpdateResults.h"

#include <memory>

#include "shell/AppState.h"
#include "shell/TrayIcon.h"
#include "telemetry/EventQueue.h"
#include "update/UpdateCheck.h"
#include "update/UpdateDownload.h"
#include "update/UpdaterHandOver.h"

namespace {

constexpr wchar_t kUpdatesCaption[] = L"TolvaneWin updates";

}  // namespace

void HandleUpdateCheckResult(HWND window, LPARAM lParam) {
  if (lParam == 0) return;
  std::unique_ptr<UpdateCheckResult> result(reinterpret_cast<UpdateCheckResult*>(lParam));
  g_app.updateCheckRunning = false;
  g_app.updateCheckDone = true;
  g_app.updateStatusMessage = result->error;
  if (result->metadataComplete) {
    g_app.updateAvailable = result->updateAvailable;
    if (result->updateAvailable) {
      g_app.updateVersion = result->version;
      g_app.updateDownloadUrl = result->downloadUrl;
      g_app.updateTrackedDownloadUrl = result->trackedDownloadUrl;
      g_app.updateSha256 = result->sha256;
      g_app.updateSizeBytes = result->sizeBytes;
      QueueTelemetryReport(L"update_available", L"");
    } else {
      g_app.updateVersion.clear();
      g_app.updateDownloadUrl.clear();
      g_app.updateTrackedDownloadUrl.clear();
      g_app.updateSha256.clear();
      g_app.updateSizeBytes = 0;
    }
  }
  if (result->manual) {
    if (result->metadataComplete && result->updateAvailable) {
      const std::wstring text =
          L"Update " + result->version + L" is available.\n\nOpen the tray menu and choose Download update.";
      MessageBoxW(window, text.c_str(), kUpdatesCaption, MB_ICONINFORMATION);
    } else if (result->metadataComplete) {
      MessageBoxW(window, L"You are using the latest version.", kUpdatesCaption, MB_ICONINFORMATION);
    } else {
      const std::wstring text = result->error.empty() ? L"Could not check for updates." : result->error;
      MessageBoxW(window, text.c_str(), kUpdatesCaption, MB_ICONWARNING);
    }
  }
  RefreshTrayIcon();
}

void HandleUpdateDownloadResult(HWND window, LPARAM lParam) {
  if (lParam == 0) return;
  std::unique_ptr<UpdateDownloadResult> result(reinterpret_cast<UpdateDownloadResult*>(lParam));
  g_app.updateDownloadRunning = false;
  if (result->succeeded) {
    QueueTelemetryReport(L"update_downloaded", L"");
    if (LaunchUpdaterAndExit(window, result->zipPath, result->version)) return;
    const std::wstring text =
        g_app.updateStatusMessage.empty() ? L"Could not start update installation." : g_app.updateStatusMessage;
    MessageBoxW(window, text.c_str(), kUpdatesCaption, MB_ICONWARNING);
  } else {
    const std::wstring text = result->error.empty() ? L"Could not download update." : result->error;
    g_app.updateStatusMessage = text;
    MessageBoxW(window, text.c_str(), kUpdatesCaption, MB_ICONWARNING);
  }
  RefreshTrayIcon();
}

void CheckForUpdatesCommand(HWND window) {
  if (!QueueUpdateCheck(true)) {
    MessageBoxW(window, L"Update check is already running.", kUpdatesCaption, MB_ICONINFORMATION);
  }
}

void DownloadUpdateCommand(HWND window) {
  if (g_app.updateAvailable && !g_app.updateDownloadRunning && !g_app.updateVersion.empty()) {
    if (!UpdaterHelperPresent()) {
      g_app.updateStatusMessage = L"Updater helper is missing next to TolvaneWin.exe.";
    } else {
      auto request = std::make_unique<UpdateDownloadRequest>();
      request->window = g_app.hiddenWindow;
      request->version = g_app.updateVersion;
      request->url = g_app.updateTrackedDownloadUrl.empty() ? g_app.updateDownloadUrl : g_app.updateTrackedDownloadUrl;
      request->sha256 = g_app.updateSha256;
      request->sizeBytes = g_app.updateSizeBytes;
      HANDLE thread = CreateThread(nullptr, 0, UpdateDownloadThreadProc, request.get(), 0, nullptr);
      if (thread != nullptr) {
        request.release();
        g_app.updateDownloadRunning = true;
        g_app.updateStatusMessage.clear();
        CloseHandle(thread);
        return;
      }
    }
  }
  const std::wstring text =
      g_app.updateStatusMessage.empty() ? L"No update is ready to download." : g_app.updateStatusMessage;
  MessageBoxW(window, text.c_str(), kUpdatesCaption, MB_ICONWARNING);
}

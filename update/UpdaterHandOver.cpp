#include "update/UpdaterHandOver.h"

#include "common/CommandLine.h"
#include "common/Paths.h"
#include "shell/AppState.h"
#include "telemetry/EventQueue.h"
#include "update/UpdateDownload.h"

std::wstring UpdaterHelperPath() {
  const std::wstring executable = CurrentExecutablePath();
  const size_t separator = executable.find_last_of(L"\\/");
  std::wstring folder;
  if (separator == std::wstring::npos) {
    folder = L".";
  } else if (separator == 0) {
    folder = executable.substr(0, 1);
  } else {
    folder = executable.substr(0, separator);
  }
  return JoinPath(folder, kUpdaterExeName);
}


namespace {

bool IsFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

bool UpdaterHelperPresent() {
  return IsFile(UpdaterHelperPath());
}

std::wstring UpdaterCommandLine(const std::wstring& updaterCopy, DWORD processId, const std::wstring& zipPath,
                                const std::wstring& targetPath, const std::wstring& version) {
  return QuoteArgument(updaterCopy) + L" --pid " + std::to_wstring(processId) + L" --zip " + QuoteArgument(zipPath) +
         L" --target " + QuoteArgument(targetPath) + L" --version " + QuoteArgument(version);
}

bool LaunchUpdaterAndExit(HWND hwnd, const std::wstring& zipPath, const std::wstring& version) {
  const std::wstring updater = UpdaterHelperPath();
  if (!IsFile(updater)) {
    g_app.updateStatusMessage = L"Updater helper is missing next to TolvaneWin.exe.";
    return false;
  }
  const DWORD processId = GetCurrentProcessId();
  const std::wstring copy =
      JoinPath(TempDirectory(), L"TolvaneWinUpdater-" + std::to_wstring(processId) + L".exe");
  DeleteFileW(copy.c_str());
  if (!CopyFileW(updater.c_str(), copy.c_str(), FALSE)) {
    g_app.updateStatusMessage = L"Could not copy updater helper to the temporary folder.";
    return false;
  }
  std::wstring commandLine = UpdaterCommandLine(copy, processId, zipPath, CurrentExecutablePath(), version);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    g_app.updateStatusMessage = L"Could not start updater helper.";
    DeleteFileW(copy.c_str());
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  SendTelemetryReportNow(L"update_install_start");
  DestroyWindow(hwnd);
  return true;
}

// TolvaneWinUpdater: installs a downloaded update archive after the tray
// program has exited, then starts the tray program again. It has no window;
// the user sees a message box only when a step fails.

#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <string>
#include <vector>

#include "common/CommandLine.h"
#include "common/ScopedHandle.h"
#include "updater/UpdaterFiles.h"

namespace updater {

namespace {

constexpr wchar_t kAppExeName[] = L"TolvaneWin.exe";
constexpr wchar_t kUpdaterExeName[] = L"TolvaneWinUpdater.exe";
constexpr wchar_t kCaption[] = L"TolvaneWin updater";
constexpr wchar_t kStagePrefix[] = L"TolvaneWin-update-stage-";
constexpr wchar_t kBackupSuffix[] = L".bak";
constexpr wchar_t kLibraryPattern[] = L"*.dll";
constexpr DWORD kExitWaitMs = 30000;
constexpr DWORD kTempPathCapacity = MAX_PATH;
constexpr wchar_t kPowerShellUnderSystem[] = L"WindowsPowerShell\\v1.0\\powershell.exe";

constexpr wchar_t kInvalidArgumentsMessage[] = L"Updater arguments are invalid.";
constexpr wchar_t kExitTimeoutMessage[] = L"TolvaneWin did not exit in time.";
constexpr wchar_t kExtractMessage[] = L"Could not extract the update ZIP.";
constexpr wchar_t kMissingExeMessage[] = L"The update ZIP does not contain TolvaneWin.exe.";
constexpr wchar_t kReplaceMessage[] = L"Could not replace TolvaneWin.exe.";
constexpr wchar_t kLibrariesMessage[] = L"Could not copy update runtime libraries.";

constexpr DWORD kMoveFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED;

struct UpdaterArguments {
  DWORD processId = 0;
  std::wstring zipPath;
  std::wstring targetPath;
  std::wstring version;  // Carried for the record; no step reads it.
};

int Fail(const wchar_t* message) {
  MessageBoxW(nullptr, message, kCaption, MB_ICONWARNING);
  return 1;
}

// Values are taken exactly as the platform splits them. The tray program
// quotes each path so that this split gives it back unchanged, so nothing is
// undone here.
bool ReadArguments(UpdaterArguments& arguments) {
  int count = 0;
  wchar_t** tokens = CommandLineToArgvW(GetCommandLineW(), &count);
  if (tokens == nullptr) return false;
  for (int i = 1; i < count; ++i) {
    const std::wstring option = tokens[i];
    if (i + 1 >= count) break;  // An option name in last place has no value.
    if (option == L"--pid") {
      arguments.processId = static_cast<DWORD>(wcstoul(tokens[i + 1], nullptr, 10));
    } else if (option == L"--zip") {
      arguments.zipPath = tokens[i + 1];
    } else if (option == L"--target") {
      arguments.targetPath = tokens[i + 1];
    } else if (option == L"--version") {
      arguments.version = tokens[i + 1];
    } else {
      continue;
    }
    ++i;
  }
  LocalFree(tokens);
  return arguments.processId != 0 && !arguments.zipPath.empty() && !arguments.targetPath.empty();
}

bool WaitForTrayExit(DWORD processId) {
  ScopedKernelHandle process(OpenProcess(SYNCHRONIZE, FALSE, processId));
  // A process that cannot be opened has ended already (or is not ours to wait for).
  if (!process.IsValid()) return true;
  return WaitForSingleObject(process.Get(), kExitWaitMs) == WAIT_OBJECT_0;
}

std::wstring TempDirectory() {
  wchar_t buffer[kTempPathCapacity] = {};
  const DWORD length = GetTempPathW(kTempPathCapacity, buffer);
  if (length == 0 || length >= kTempPathCapacity) return L".";
  std::wstring folder(buffer, length);
  while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
  return folder.empty() ? std::wstring(L".") : folder;
}

// The system's own PowerShell, by its full path: the running updater is a
// copy in the temporary folder, and a search would look there first.
std::wstring SystemPowerShellPath() {
  wchar_t buffer[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  return JoinPath(std::wstring(buffer, length), kPowerShellUnderSystem);
}

// Starts a program with this process's environment. Without an application
// name the platform takes the program from the command line's first token.
bool StartProcess(const std::wstring& application, const std::wstring& commandLine, DWORD flags,
                  const std::wstring& workingFolder, ScopedKernelHandle& process) {
  std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
  buffer.push_back(L'\0');
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(application.empty() ? nullptr : application.c_str(), buffer.data(), nullptr, nullptr, FALSE,
                      flags, nullptr, workingFolder.empty() ? nullptr : workingFolder.c_str(), &startup, &info)) {
    return false;
  }
  CloseHandle(info.hThread);
  process.Reset(info.hProcess);
  return true;
}

bool ExpandArchive(const std::wstring& zipPath, const std::wstring& stageFolder) {
  const std::wstring commandLine = L"powershell.exe -NoProfile -ExecutionPolicy Bypass -Command \"Expand-Archive -LiteralPath " +
                                   PowerShellSingleQuoted(zipPath) + L" -DestinationPath " +
                                   PowerShellSingleQuoted(stageFolder) + L" -Force\"";
  const std::wstring powerShell = SystemPowerShellPath();
  ScopedKernelHandle process;
  if (powerShell.empty() || !StartProcess(powerShell, commandLine, CREATE_NO_WINDOW, L"", process)) return false;
  WaitForSingleObject(process.Get(), INFINITE);
  DWORD exitCode = 1;  // Stays a failure when the code cannot be read.
  GetExitCodeProcess(process.Get(), &exitCode);
  return exitCode == 0;
}

// Copies every "*.dll" beside the new executable; stops at the first failure.
bool CopyRuntimeLibraries(const std::wstring& sourceFolder, const std::wstring& targetFolder) {
  WIN32_FIND_DATAW entry;
  ScopedFindHandle find(FindFirstFileW(JoinPath(sourceFolder, kLibraryPattern).c_str(), &entry));
  if (!find.IsValid()) return true;
  do {
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    if (!InstallFileWhole(JoinPath(sourceFolder, entry.cFileName), JoinPath(targetFolder, entry.cFileName))) {
      return false;
    }
  } while (FindNextFileW(find.Get(), &entry));
  return true;
}

int RunUpdate() {
  UpdaterArguments arguments;
  if (!ReadArguments(arguments)) return Fail(kInvalidArgumentsMessage);

  // Nothing in the target folder is touched while the tray program may still run.
  if (!WaitForTrayExit(arguments.processId)) return Fail(kExitTimeoutMessage);

  const std::wstring stageFolder = JoinPath(TempDirectory(), kStagePrefix + std::to_wstring(GetCurrentProcessId()));
  RemoveDirectoryRecursive(stageFolder);  // Left over by an earlier run with the same id.
  CreateDirectoryW(stageFolder.c_str(), nullptr);
  // The name is predictable: a link planted there must not send the archive
  // elsewhere. The clearing above removed a link as a link; one that could not
  // be removed is left alone.
  if (!IsRealFolder(stageFolder)) return Fail(kExtractMessage);

  // Each failure from here on clears the stage before telling the user.
  auto failAndClean = [&stageFolder](const wchar_t* message) {
    RemoveDirectoryRecursive(stageFolder);
    return Fail(message);
  };

  if (!ExpandArchive(arguments.zipPath, stageFolder)) return failAndClean(kExtractMessage);

  std::wstring newExecutable;
  if (!FindFileRecursive(stageFolder, kAppExeName, newExecutable)) return failAndClean(kMissingExeMessage);

  // The new program stands whole beside the old one before the old one moves
  // aside; the target path is empty only between the two renames.
  const std::wstring& targetPath = arguments.targetPath;
  const std::wstring backupPath = targetPath + kBackupSuffix;
  if (!CopyBesideTarget(newExecutable, targetPath)) return failAndClean(kReplaceMessage);
  DeleteFileW(backupPath.c_str());
  if (IsExistingFile(targetPath) && !MoveFileExW(targetPath.c_str(), backupPath.c_str(), kMoveFlags)) {
    DeleteFileW(ReplacementPath(targetPath).c_str());
    return failAndClean(kReplaceMessage);
  }
  if (!MoveCopyOntoTarget(targetPath)) {
    RestoreBackup(backupPath, targetPath);
    return failAndClean(kReplaceMessage);
  }

  // The running updater is a temporary copy, so the installed one may be overwritten.
  const std::wstring targetFolder = DirectoryName(targetPath);
  std::wstring newUpdater;
  if (FindFileRecursive(stageFolder, kUpdaterExeName, newUpdater)) {
    InstallFileWhole(newUpdater, JoinPath(targetFolder, kUpdaterExeName));
  }

  if (!CopyRuntimeLibraries(DirectoryName(newExecutable), targetFolder)) return failAndClean(kLibrariesMessage);

  // The backup stays until the next update replaces it.
  DeleteFileW(arguments.zipPath.c_str());
  RemoveDirectoryRecursive(stageFolder);

  ScopedKernelHandle restarted;
  StartProcess(L"", QuoteArgument(targetPath), 0, targetFolder, restarted);
  return 0;
}

}  // namespace

}  // namespace updater

int WINAPI wWinMain(HINSTANCE, HINSTANCE, wchar_t*, int) {
  return updater::RunUpdate();
}

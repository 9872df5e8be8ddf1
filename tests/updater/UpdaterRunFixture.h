#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "common/ScopedHandle.h"
#include "tests/support/Processes.h"
#include "tests/support/ScratchDirectories.h"
#include "tests/updater/ZipWriter.h"

namespace testing_support {

using Environment = std::vector<std::pair<std::wstring, std::wstring>>;

// The tray program's quoting rule.
inline std::wstring TrayQuote(const std::wstring& text) {
  return QuoteArgument(text);
}

std::string Utf8(const std::wstring& text);
// File contents, or "<missing>" when the file cannot be read.
std::string Contents(const std::wstring& path);

// One installed copy of the tray program with its own folder and archive.
struct Install {
  std::wstring folder;
  std::wstring target;  // folder\TolvaneWin.exe
  std::wstring zip;
};

// What the restarted tray program recorded.
struct LaunchRecord {
  std::wstring commandLine;
  std::wstring currentFolder;
};

// Runs the real TolvaneWinUpdater.exe, copied into a scratch folder as the
// tray program copies it into the temporary folder. PowerShell is the stand-in
// installed at the test prefix's system path.
class UpdaterRun : public ::testing::Test {
 protected:
  static constexpr const char* kOldApp = "old TolvaneWin build";
  static constexpr const char* kOldUpdater = "old updater build";
  static constexpr const char* kNewUpdater = "new updater build";

  void SetUp() override;

  // A folder under the scratch root holding the old executable (unless
  // withOldTarget is false), and an archive path in tempFolder (default: the
  // scratch TEMP).
  Install MakeInstall(const std::wstring& name, bool withOldTarget = true, const std::wstring& tempFolder = L"");
  void WriteZip(const Install& install, const std::vector<ZipEntry>& entries);
  // An archive holding only the new executable.
  void WriteSimpleZip(const Install& install);

  // The updater's command line as the tray program writes it.
  std::wstring TrayArguments(const Install& install, DWORD processId = 0) const;
  DWORD EndedProcessId() const { return ended.pid(); }

  void StartUpdater(ChildProcess& updater, const std::wstring& arguments, const Environment& environment = {});
  // A stand-in tray program, run from its own scratch folder, that lives
  // until exitNow is set (30 s at most).
  void StartRunningTray(ChildProcess& tray, ScopedKernelHandle& exitNow, const std::wstring& arguments = L"");

  // The one message box of a failed run: caption, text, OK, exit code 1.
  void ExpectFailure(ChildProcess& updater, const std::wstring& text);
  // The two halves of ExpectFailure, for many runs at once: a dismissed
  // updater takes about two seconds to end under Wine, so dismiss them all first.
  void DismissFailure(ChildProcess& updater, const std::wstring& text);
  void ExpectFailedExit(ChildProcess& updater);
  // A successful run: no message, exit code 0.
  void ExpectSuccess(ChildProcess& updater);

  std::wstring StageFolder(DWORD updaterId, const std::wstring& tempFolder = L"") const;
  bool WaitForLaunchRecord(const Install& install, LaunchRecord& record, unsigned timeoutMs = 10000) const;
  // The restarted tray program: the target path quoted by the shared rule,
  // started in the target's folder.
  void ExpectRestarted(const Install& install);
  // Failures never start the tray program.
  void ExpectNotStarted(const Install& install, unsigned graceMs = 0);

  int lastBoxIcon = 0;  // IDI_* number of the last box's icon, 0 when unknown.
  std::wstring updaterPath;
  std::wstring toolFolder;
  std::string newApp;  // The stand-in tray program packed as the new TolvaneWin.exe.
  ScratchDirectories scratch;

 private:
  ChildProcess ended;  // Has exited; holding it keeps its id from being reused.
};

}  // namespace testing_support

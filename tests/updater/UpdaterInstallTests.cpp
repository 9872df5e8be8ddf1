#include <windows.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <thread>

#include "common/Paths.h"
#include "common/ScopedHandle.h"
#include "tests/support/MessageBoxes.h"
#include "tests/support/Platform.h"
#include "tests/updater/UpdaterRunFixture.h"

using namespace testing_support;

namespace {

constexpr wchar_t kExtractFailed[] = L"Could not extract the update ZIP.";
constexpr wchar_t kNoExecutable[] = L"The update ZIP does not contain TolvaneWin.exe.";
constexpr wchar_t kCannotReplace[] = L"Could not replace TolvaneWin.exe.";
constexpr wchar_t kLibrariesFailed[] = L"Could not copy update runtime libraries.";

class UpdaterArchive : public UpdaterRun {};
class UpdaterReplace : public UpdaterRun {};
class UpdaterInstall : public UpdaterRun {};
class UpdaterNoPowerShell : public UpdaterRun {};

ScopedFileHandle OpenExclusive(const std::wstring& path) {
  return ScopedFileHandle(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
}

std::string Corrupted(std::string bytes, size_t offset) {
  bytes[offset] = static_cast<char>(bytes[offset] ^ 0x5A);
  return bytes;
}

// Lets a test act between the expansion and the rest of the run: the
// stand-in PowerShell waits after extracting until told to go on.
class PauseAfterExpansion {
 public:
  PauseAfterExpansion() {
    static unsigned counter = 0;
    name = L"Local\\tvw-updater-pause-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(counter++);
    extracted.Reset(CreateEventW(nullptr, TRUE, FALSE, (name + L"-extracted").c_str()));
    go.Reset(CreateEventW(nullptr, TRUE, FALSE, (name + L"-go").c_str()));
  }
  ~PauseAfterExpansion() { Resume(); }
  Environment environment() const { return {{L"TOLVANE_STANDIN_PAUSE", name}}; }
  bool WaitExtracted() const { return WaitForSingleObject(extracted.Get(), 20000) == WAIT_OBJECT_0; }
  void Resume() {
    if (go.IsValid()) SetEvent(go.Get());
  }

 private:
  std::wstring name;
  ScopedKernelHandle extracted;
  ScopedKernelHandle go;
};

}  // namespace

TEST_F(UpdaterArchive, UnusableArchivesLeaveTheInstallationAlone) {
  const std::string good = BuildZip({{"TolvaneWin.exe", newApp, false}, {"readme.txt", "read me", false}});
  struct Case {
    const char* what;
    std::wstring name;
    bool writeArchive;
    std::string archive;
  };
  std::vector<Case> cases = {
      {"bad local header signature", L"signature", true, Corrupted(good, 0)},
      {"CRC mismatch", L"crc", true, Corrupted(good, 30 + 14 + 100)},
      {"truncated", L"truncated", true, good.substr(0, good.size() - 40)},
      {"cut in the middle", L"halved", true, good.substr(0, good.size() / 2)},
      {"not a ZIP at all", L"text", true, "TolvaneWin.exe"},
      {"no archive", L"missing", false, ""},
  };
  std::vector<Install> installs;
  std::vector<std::unique_ptr<ChildProcess>> runs;
  for (const Case& c : cases) {
    installs.push_back(MakeInstall(c.name));
    const Install& install = installs.back();
    ASSERT_TRUE(WriteFileBytes(install.target + L".bak", "older"));
    if (c.writeArchive) {
      ASSERT_TRUE(WriteFileBytes(install.zip, c.archive));
    }
    runs.push_back(std::make_unique<ChildProcess>());
    StartUpdater(*runs.back(), TrayArguments(install));
  }
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].what);
    DismissFailure(*runs[i], kExtractFailed);
  }
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].what);
    const Install& install = installs[i];
    ExpectFailedExit(*runs[i]);
    EXPECT_EQ(Contents(install.target), kOldApp);
    EXPECT_EQ(Contents(install.target + L".bak"), "older");
    EXPECT_EQ(FileExists(install.zip), cases[i].writeArchive);
    EXPECT_FALSE(DirectoryExists(StageFolder(runs[i]->pid())));
    ExpectNotStarted(install);
  }
}

TEST_F(UpdaterArchive, ArchiveWithoutTheExecutableIsRefused) {
  const Install install = MakeInstall(L"app");
  ASSERT_TRUE(WriteFileBytes(install.target + L".bak", "older"));
  WriteZip(install, {{"README.txt", "notes", true},
                     {"TolvaneWin.exe/", "", false},
                     {"TolvaneWin.exe/inner.txt", "a folder of that name", false},
                     {"bin/TolvaneWin.exe.sig", "signature", false},
                     {"bin/TolvaneWinUpdater.exe", kNewUpdater, false}});
  ChildProcess updater;
  StartUpdater(updater, TrayArguments(install));
  ExpectFailure(updater, kNoExecutable);
  EXPECT_EQ(Contents(install.target), kOldApp);
  EXPECT_EQ(Contents(install.target + L".bak"), "older");
  EXPECT_FALSE(FileExists(JoinPath(install.folder, L"TolvaneWinUpdater.exe")));
  EXPECT_TRUE(FileExists(install.zip));
  EXPECT_FALSE(DirectoryExists(StageFolder(updater.pid())));
  ExpectNotStarted(install);
}

TEST_F(UpdaterArchive, PowerShellGetsOneExpandArchiveCommand) {
  const Install install = MakeInstall(L"app");
  WriteSimpleZip(install);
  const std::wstring log = JoinPath(scratch.root(), L"powershell.log");
  PauseAfterExpansion pause;
  Environment environment = pause.environment();
  environment.emplace_back(L"TOLVANE_STANDIN_LOG", log);
  ChildProcess updater;
  StartUpdater(updater, TrayArguments(install), environment);
  ASSERT_TRUE(pause.WaitExtracted());
  // The stage is the temporary folder joined with the updater's own id.
  const std::wstring stage = StageFolder(updater.pid());
  EXPECT_EQ(Contents(JoinPath(stage, L"TolvaneWin.exe")), newApp);
  pause.Resume();
  ExpectSuccess(updater);

  const std::string expected = Utf8(L"powershell.exe -NoProfile -ExecutionPolicy Bypass -Command \"Expand-Archive "
                                    L"-LiteralPath '" +
                                    install.zip + L"' -DestinationPath '" + stage + L"' -Force\"") +
                               "\n";
  EXPECT_EQ(Contents(log), expected);
}

TEST_F(UpdaterReplace, ATargetInUseStaysWhereItIs) {
  const Install install = MakeInstall(L"app");
  WriteSimpleZip(install);
  ASSERT_TRUE(WriteFileBytes(install.target + L".bak", "older"));
  ScopedFileHandle inUse = OpenExclusive(install.target);
  ASSERT_TRUE(inUse.IsValid());
  ChildProcess updater;
  StartUpdater(updater, TrayArguments(install));
  ExpectFailure(updater, kCannotReplace);
  if (!WineCannotShow("the icon of another process's message box")) {
    EXPECT_EQ(lastBoxIcon, 32515);  // IDI_EXCLAMATION: a warning.
  }
  inUse.Reset();
  EXPECT_EQ(Contents(install.target), kOldApp);
  // The old backup goes before the move is tried.
  EXPECT_FALSE(FileExists(install.target + L".bak"));
  EXPECT_FALSE(FileExists(install.target + L".new")) << "the copy beside it is removed";
  EXPECT_TRUE(FileExists(install.zip));
  EXPECT_FALSE(DirectoryExists(StageFolder(updater.pid())));
  ExpectNotStarted(install);
}

TEST_F(UpdaterReplace, AFailedCopyLeavesTheOldExecutableAndItsBackup) {
  const Install install = MakeInstall(L"app");
  WriteZip(install, {{"TolvaneWin.exe", newApp, true},
                     {"readme.txt", "read me", false},
                     {"docs/notes.txt", "notes", true},
                     {"TolvaneWinUpdater.exe", kNewUpdater, false},
                     {"runtime.dll", "library", false}});
  ASSERT_TRUE(WriteFileBytes(install.target + L".bak", "older"));
  ASSERT_TRUE(WriteFileBytes(JoinPath(install.folder, L"TolvaneWinUpdater.exe"), kOldUpdater));

  PauseAfterExpansion pause;
  ChildProcess updater;
  StartUpdater(updater, TrayArguments(install), pause.environment());
  ASSERT_TRUE(pause.WaitExtracted());
  // Holding the expanded executable makes its copy fail.
  const std::wstring stage = StageFolder(updater.pid());
  ScopedFileHandle source = OpenExclusive(JoinPath(stage, L"TolvaneWin.exe"));
  ASSERT_TRUE(source.IsValid());
  pause.Resume();
  ExpectFailure(updater, kCannotReplace);

  EXPECT_EQ(Contents(install.target), kOldApp);
  EXPECT_EQ(Contents(install.target + L".bak"), "older");
  EXPECT_FALSE(FileExists(install.target + L".new"));
  EXPECT_EQ(Contents(JoinPath(install.folder, L"TolvaneWinUpdater.exe")), kOldUpdater);
  EXPECT_FALSE(FileExists(JoinPath(install.folder, L"runtime.dll")));
  EXPECT_TRUE(FileExists(install.zip));
  // The stage was cleared; only the file still held cannot go yet.
  EXPECT_FALSE(FileExists(JoinPath(stage, L"readme.txt")));
  EXPECT_FALSE(DirectoryExists(JoinPath(stage, L"docs")));
  EXPECT_TRUE(FileExists(JoinPath(stage, L"TolvaneWin.exe")));
  ExpectNotStarted(install);
}

TEST_F(UpdaterReplace, AFailedLibraryCopyKeepsTheNewExecutable) {
  const Install install = MakeInstall(L"app");
  WriteZip(install, {{"app/TolvaneWin.exe", newApp, true},
                     {"app/a.dll", "new a", false},
                     {"app/b.dll", "new b", true},
                     {"app/c.dll", "new c", false},
                     {"tools/TolvaneWinUpdater.exe", kNewUpdater, true}});
  ASSERT_TRUE(WriteFileBytes(JoinPath(install.folder, L"TolvaneWinUpdater.exe"), kOldUpdater));
  ASSERT_TRUE(WriteFileBytes(JoinPath(install.folder, L"a.dll"), "old a"));
  ASSERT_TRUE(WriteFileBytes(JoinPath(install.folder, L"b.dll"), "old b"));
  ScopedFileHandle inUse = OpenExclusive(JoinPath(install.folder, L"b.dll"));
  ASSERT_TRUE(inUse.IsValid());

  ChildProcess updater;
  StartUpdater(updater, TrayArguments(install));
  ExpectFailure(updater, kLibrariesFailed);
  inUse.Reset();

  EXPECT_EQ(Contents(install.target), newApp);
  EXPECT_EQ(Contents(install.target + L".bak"), kOldApp);
  EXPECT_EQ(Contents(JoinPath(install.folder, L"TolvaneWinUpdater.exe")), kNewUpdater);
  // Listed in name order: a.dll is copied, b.dll fails, c.dll is never tried.
  EXPECT_EQ(Contents(JoinPath(install.folder, L"a.dll")), "new a");
  EXPECT_EQ(Contents(JoinPath(install.folder, L"b.dll")), "old b");
  EXPECT_FALSE(FileExists(JoinPath(install.folder, L"c.dll")));
  EXPECT_TRUE(FileExists(install.zip));
  EXPECT_FALSE(DirectoryExists(StageFolder(updater.pid())));
  ExpectNotStarted(install, 1500);
}

TEST_F(UpdaterInstall, InstallsTheExecutableUpdaterAndLibrariesThenRestarts) {
  const Install install = MakeInstall(L"app");
  ASSERT_TRUE(WriteFileBytes(JoinPath(install.folder, L"TolvaneWinUpdater.exe"), kOldUpdater));
  ASSERT_TRUE(WriteFileBytes(JoinPath(install.folder, L"x.dll"), "old x"));
  WriteZip(install, {{"TolvaneWin-0.2/", "", false},
                     {"TolvaneWin-0.2/TolvaneWin.exe", newApp, true},
                     {"TolvaneWin-0.2/x.dll", "new x", true},
                     {"TolvaneWin-0.2/Y.DLL", "new y", false},
                     {"TolvaneWin-0.2/notes.dll.txt", "not a library", false},
                     {"TolvaneWin-0.2/plugins/z.dll", "in a subfolder", false},
                     {"TolvaneWin-0.2/bin/TolvaneWinUpdater.exe", kNewUpdater, true},
                     {"other.dll", "beside no executable", false},
                     {"empty/", "", false}});
  ChildProcess updater;
  StartUpdater(updater, TrayArguments(install));
  ExpectSuccess(updater);

  EXPECT_EQ(Contents(install.target), newApp);
  EXPECT_EQ(Contents(install.target + L".bak"), kOldApp);
  EXPECT_EQ(Contents(JoinPath(install.folder, L"TolvaneWinUpdater.exe")), kNewUpdater);
  EXPECT_EQ(Contents(JoinPath(install.folder, L"x.dll")), "new x");
  EXPECT_EQ(Contents(JoinPath(install.folder, L"Y.DLL")), "new y");
  EXPECT_FALSE(FileExists(JoinPath(install.folder, L"notes.dll.txt")));
  EXPECT_FALSE(FileExists(JoinPath(install.folder, L"z.dll")));
  EXPECT_FALSE(FileExists(JoinPath(install.folder, L"other.dll")));
  EXPECT_FALSE(FileExists(install.zip));
  EXPECT_FALSE(DirectoryExists(StageFolder(updater.pid())));
  ExpectRestarted(install);
}

TEST_F(UpdaterInstall, EveryInstalledFileIsWholeAtEveryMoment) {
  // Large enough that a copy takes a while; the stand-in program still runs
  // with bytes appended.
  const std::string padding(32u << 20, 'x');
  const Install install = MakeInstall(L"app");
  struct Watched {
    const char* name;
    std::string old, now;
    std::wstring path = {};
    int polls = 0, missing = 0, cutShort = 0;
  };
  std::vector<Watched> watched = {{"TolvaneWin.exe", kOldApp, newApp + padding},
                                  {"TolvaneWinUpdater.exe", kOldUpdater, kNewUpdater + padding},
                                  {"runtime.dll", "old library", "new library" + padding}};
  std::vector<ZipEntry> archive;
  for (Watched& w : watched) {
    w.path = JoinPath(install.folder, std::wstring(w.name, w.name + std::strlen(w.name)));
    ASSERT_TRUE(WriteFileBytes(w.path, w.old));
    archive.push_back({w.name, w.now, true});
  }
  ASSERT_TRUE(WriteFileBytes(install.target + L".new", "left by a killed run"));
  WriteZip(install, archive);

  PauseAfterExpansion pause;
  ChildProcess updater;
  StartUpdater(updater, TrayArguments(install), pause.environment());
  ASSERT_TRUE(pause.WaitExtracted());
  auto sizeOf = [](const std::wstring& path) -> long long {  // -1: missing
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return static_cast<long long>((static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
  };
  std::atomic<bool> stop{false};
  std::thread watcher([&] {
    while (!stop) {
      for (Watched& w : watched) {
        ++w.polls;
        const long long size = sizeOf(w.path), whole = static_cast<long long>(w.now.size());
        if (size < 0) {
          // Allowed only between the two renames: the whole new file stands
          // beside the target then, or has just been renamed onto it.
          if (sizeOf(w.path + L".new") != whole && sizeOf(w.path) != whole) ++w.missing;
        } else if (size != static_cast<long long>(w.old.size()) && size != whole) {
          ++w.cutShort;
        }
      }
    }
  });
  pause.Resume();
  ExpectSuccess(updater);
  stop = true;
  watcher.join();

  for (const Watched& w : watched) {
    SCOPED_TRACE(w.name);
    EXPECT_GT(w.polls, 0);
    EXPECT_EQ(w.missing, 0);
    EXPECT_EQ(w.cutShort, 0);
    EXPECT_TRUE(Contents(w.path) == w.now);
    EXPECT_FALSE(FileExists(w.path + L".new"));
  }
  EXPECT_EQ(Contents(install.target + L".bak"), kOldApp);
  ExpectRestarted(install);
}

TEST_F(UpdaterInstall, APowerShellBesideTheUpdaterIsNeverStarted) {
  // The running updater is a copy in the temporary folder, where anyone may
  // put a file. This one records its start beside itself.
  ASSERT_TRUE(WriteFileBytes(JoinPath(toolFolder, L"powershell.exe"), newApp));
  const Install install = MakeInstall(L"app");
  WriteSimpleZip(install);
  ChildProcess updater;
  StartUpdater(updater, TrayArguments(install));
  ExpectSuccess(updater);
  EXPECT_EQ(Contents(install.target), newApp);
  EXPECT_FALSE(FileExists(JoinPath(toolFolder, L"launch-record.txt")));
  ExpectRestarted(install);
}

TEST_F(UpdaterInstall, AnArchiveWithOnlyTheExecutableLeavesTheUpdaterAlone) {
  const Install install = MakeInstall(L"app");
  ASSERT_TRUE(WriteFileBytes(JoinPath(install.folder, L"TolvaneWinUpdater.exe"), kOldUpdater));
  WriteZip(install, {{"TolvaneWin.exe", newApp, false}});
  ChildProcess updater;
  StartUpdater(updater, TrayArguments(install));
  ExpectSuccess(updater);
  EXPECT_EQ(Contents(install.target), newApp);
  EXPECT_EQ(Contents(install.target + L".bak"), kOldApp);
  EXPECT_EQ(Contents(JoinPath(install.folder, L"TolvaneWinUpdater.exe")), kOldUpdater);
  EXPECT_FALSE(FileExists(install.zip));
  EXPECT_FALSE(DirectoryExists(StageFolder(updater.pid())));
  ExpectRestarted(install);
}

TEST_F(UpdaterInstall, ATargetThatDoesNotExistYetIsCreated) {
  const Install install = MakeInstall(L"app", false);
  ASSERT_TRUE(WriteFileBytes(install.target + L".bak", "older"));
  WriteSimpleZip(install);
  ChildProcess updater;
  StartUpdater(updater, TrayArguments(install));
  ExpectSuccess(updater);
  EXPECT_EQ(Contents(install.target), newApp);
  EXPECT_FALSE(FileExists(install.target + L".bak"));
  EXPECT_FALSE(FileExists(install.zip));
  ExpectRestarted(install);
}

TEST_F(UpdaterInstall, PathsWithSpacesAndApostrophes) {
  // PowerShell ends a single-quoted string at U+2019 as well as at U+0027.
  const std::wstring temp = JoinPath(scratch.root(), L"Temp O'Neil \x2019s");
  ASSERT_TRUE(CreateDirectoryW(temp.c_str(), nullptr));
  const Install install = MakeInstall(L"Tolvane's App \x2018" L"beta\x2019", true, temp);
  WriteSimpleZip(install);
  const std::wstring log = JoinPath(scratch.root(), L"powershell.log");
  ChildProcess updater;
  StartUpdater(updater, TrayArguments(install), {{L"TMP", temp}, {L"TEMP", temp}, {L"TOLVANE_STANDIN_LOG", log}});
  ExpectSuccess(updater);
  EXPECT_EQ(Contents(install.target), newApp);
  EXPECT_EQ(Contents(install.target + L".bak"), kOldApp);
  EXPECT_FALSE(FileExists(install.zip));
  const std::wstring stage = StageFolder(updater.pid(), temp);
  EXPECT_FALSE(DirectoryExists(stage));
  const std::wstring quotedZip = L"'" + JoinPath(scratch.root(), L"Temp O''Neil \x2019\x2019s") +
                                 L"\\TolvaneWin-update-Tolvane''s App \x2018\x2018" L"beta\x2019\x2019.zip'";
  EXPECT_NE(Contents(log).find(Utf8(L"-LiteralPath " + quotedZip + L" -DestinationPath ")), std::string::npos)
      << Contents(log);
  ExpectRestarted(install);
}

// The test prefix has one system folder for every test, so ctest runs this
// one after all others that need PowerShell; it puts the stand-in back.
TEST_F(UpdaterNoPowerShell, WithoutTheSystemsPowerShellNothingIsInstalled) {
  if (!IsWine()) GTEST_SKIP() << "the system's own PowerShell is removed only in the test prefix";
  wchar_t system[MAX_PATH] = {};
  ASSERT_NE(GetSystemDirectoryW(system, MAX_PATH), 0u);
  const std::wstring powerShell = JoinPath(system, L"WindowsPowerShell\\v1.0\\powershell.exe");
  struct PutBack {
    const std::wstring& path;
    ~PutBack() { CopyFileW(JoinPath(ExecutableDirectory(), L"stand_in_powershell.exe").c_str(), path.c_str(), FALSE); }
  } putBack{powerShell};
  ASSERT_TRUE(DeleteFileW(powerShell.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND) << GetLastError();

  const Install install = MakeInstall(L"app");
  ASSERT_TRUE(WriteFileBytes(install.target + L".bak", "older"));
  WriteSimpleZip(install);
  ChildProcess updater;
  StartUpdater(updater, TrayArguments(install));
  ExpectFailure(updater, kExtractFailed);
  EXPECT_EQ(Contents(install.target), kOldApp);
  EXPECT_EQ(Contents(install.target + L".bak"), "older");
  EXPECT_TRUE(FileExists(install.zip));
  EXPECT_FALSE(DirectoryExists(StageFolder(updater.pid())));
  ExpectNotStarted(install);
}

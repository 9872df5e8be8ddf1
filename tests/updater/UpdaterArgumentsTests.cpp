#include <windows.h>

#include <chrono>
#include <memory>

#include "common/Paths.h"
#include "common/ScopedHandle.h"
#include "tests/support/MessageBoxes.h"
#include "tests/support/Platform.h"
#include "tests/updater/UpdaterRunFixture.h"

using namespace testing_support;

namespace {

constexpr wchar_t kInvalidArguments[] = L"Updater arguments are invalid.";
constexpr wchar_t kExtractFailed[] = L"Could not extract the update ZIP.";
constexpr wchar_t kDidNotExit[] = L"TolvaneWin did not exit in time.";

struct ShapeCase {
  const char* what;
  std::wstring arguments;
  const wchar_t* message;
};

class UpdaterArguments : public UpdaterRun {
 protected:
  // Nothing of the installation is touched and no stage folder is made.
  void ExpectUntouched(const Install& install, DWORD updaterId) {
    EXPECT_EQ(Contents(install.target), kOldApp);
    EXPECT_EQ(Contents(install.target + L".bak"), "older");
    EXPECT_TRUE(FileExists(install.zip));
    EXPECT_FALSE(DirectoryExists(StageFolder(updaterId)));
    ExpectNotStarted(install);
  }

  // Runs every case at once; each updater has its own process id and so its own stage.
  void RunShapes(const std::vector<ShapeCase>& cases, const Install& install);

  Install MakeReadyInstall(const std::wstring& name) {
    Install install = MakeInstall(name);
    WriteSimpleZip(install);
    EXPECT_TRUE(WriteFileBytes(install.target + L".bak", "older"));
    return install;
  }
};

void UpdaterArguments::RunShapes(const std::vector<ShapeCase>& cases, const Install& install) {
  std::vector<std::unique_ptr<ChildProcess>> runs;
  for (const ShapeCase& c : cases) {
    runs.push_back(std::make_unique<ChildProcess>());
    StartUpdater(*runs.back(), c.arguments);
  }
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].what);
    DismissFailure(*runs[i], cases[i].message);
  }
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].what);
    ExpectFailedExit(*runs[i]);
    ExpectUntouched(install, runs[i]->pid());
  }
}

class UpdaterWait : public UpdaterArguments {};
class UpdaterSlow : public UpdaterArguments {};

}  // namespace

TEST_F(UpdaterArguments, UnusableArgumentsTouchNothing) {
  const Install install = MakeReadyInstall(L"app");
  const std::wstring pid = std::to_wstring(EndedProcessId());
  const std::wstring zip = TrayQuote(install.zip);
  const std::wstring target = TrayQuote(install.target);
  const std::vector<ShapeCase> cases = {
      {"no arguments", L"", kInvalidArguments},
      {"pid without digits", L"--pid abc --zip " + zip + L" --target " + target, kInvalidArguments},
      {"pid zero", L"--pid 0 --zip " + zip + L" --target " + target, kInvalidArguments},
      {"pid takes the next option name", L"--pid --zip " + zip + L" --target " + target, kInvalidArguments},
      {"zip last", L"--pid " + pid + L" --target " + target + L" --zip", kInvalidArguments},
      {"no target", L"--pid " + pid + L" --zip " + zip + L" --version 1", kInvalidArguments},
      {"empty zip", L"--pid " + pid + L" --zip \"\" --target " + target, kInvalidArguments},
      {"option names are case-sensitive", L"--PID " + pid + L" --zip " + zip + L" --target " + target,
       kInvalidArguments},
      {"target last", L"--pid " + pid + L" --zip " + zip + L" --target", kInvalidArguments},
  };
  RunShapes(cases, install);
}

TEST_F(UpdaterArguments, ArgumentsOfAnyShapeEndInAMessageNotACrash) {
  const Install install = MakeReadyInstall(L"app");
  const std::wstring pid = std::to_wstring(EndedProcessId());
  const std::wstring target = TrayQuote(install.target);
  const std::wstring missingZip = TrayQuote(JoinPath(scratch.temp(), L"no such.zip"));
  const std::vector<ShapeCase> cases = {
      {"unbalanced quote swallows the rest", L"--pid " + pid + L" --zip \"C:\\no such.zip --target " + target,
       kInvalidArguments},
      {"only option names", L"--pid --zip --target --version", kInvalidArguments},
      {"digits then junk", L"--pid " + pid + L"junk --zip " + missingZip + L" --target " + target, kExtractFailed},
      {"pid beyond 32 bits", L"--pid 99999999999999999999 --zip " + missingZip + L" --target " + target,
       kExtractFailed},
      {"negative pid", L"--pid -4 --zip " + missingZip + L" --target " + target, kExtractFailed},
      {"double quote inside the archive path", L"--pid " + pid + L" --zip \"a\\\"b.zip\" --target " + target,
       kExtractFailed},
      {"archive path of 20000 units",
       L"--pid " + pid + L" --zip \"C:\\" + std::wstring(20000, L'a') + L".zip\" --target " + target,
       kExtractFailed},
      {"zip followed by target takes the option name",
       L"--pid " + pid + L" --zip --target " + TrayQuote(install.zip) + L" --target " + target, kExtractFailed},
      {"lone surrogate in the archive path", L"--pid " + pid + L" --zip \"\xD800.zip\" --target " + target,
       kExtractFailed},
  };
  RunShapes(cases, install);
}

TEST_F(UpdaterArguments, RepeatedAndReorderedOptionsAreAccepted) {
  const Install install = MakeInstall(L"app");
  WriteSimpleZip(install);
  const Install decoy = MakeInstall(L"decoy");
  WriteSimpleZip(decoy);
  ChildProcess updater;
  StartUpdater(updater, L"stray --version 9 --target " + TrayQuote(decoy.target) + L" --zip " + TrayQuote(decoy.zip) +
                            L" --pid 1 --verbose --target " + TrayQuote(install.target) + L" --zip " +
                            TrayQuote(install.zip) + L" --pid " + std::to_wstring(EndedProcessId()) +
                            L" --version \"0.2.0\" trailing");
  ExpectSuccess(updater);
  EXPECT_EQ(Contents(install.target), newApp);
  EXPECT_EQ(Contents(install.target + L".bak"), kOldApp);
  EXPECT_FALSE(FileExists(install.zip));
  ExpectRestarted(install);
  // The earlier values were replaced, not used.
  EXPECT_EQ(Contents(decoy.target), kOldApp);
  EXPECT_TRUE(FileExists(decoy.zip));
  ExpectNotStarted(decoy);
}

TEST_F(UpdaterWait, InstallsOnlyAfterTheTrayProgramHasEnded) {
  const Install install = MakeInstall(L"app");
  WriteSimpleZip(install);

  // The stand-in tray program keeps its executable open, as a running program
  // would, and ends when told to.
  ChildProcess tray;
  ScopedKernelHandle exitNow;
  StartRunningTray(tray, exitNow, L"--hold " + QuoteForCommandLine(install.target));
  ASSERT_TRUE(WaitFor(
      [&] {
        ScopedFileHandle probe(CreateFileW(install.target.c_str(), GENERIC_READ,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                           OPEN_EXISTING, 0, nullptr));
        return !probe.IsValid() && GetLastError() == ERROR_SHARING_VIOLATION;
      },
      20000));

  ChildProcess updater;
  StartUpdater(updater, TrayArguments(install, tray.pid()));
  Sleep(1500);
  EXPECT_TRUE(updater.Running());
  const std::wstring stage = StageFolder(updater.pid());
  EXPECT_FALSE(DirectoryExists(stage));
  EXPECT_FALSE(FileExists(install.target + L".bak"));
  EXPECT_TRUE(FileExists(install.zip));

  // What an earlier run with the same id left behind must not be installed.
  ASSERT_TRUE(CreateDirectoryW(stage.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((stage + L"\\a").c_str(), nullptr));
  ASSERT_TRUE(WriteFileBytes(stage + L"\\a\\TolvaneWin.exe", "stale build"));
  ASSERT_TRUE(WriteFileBytes(stage + L"\\stale.txt", "stale"));
  ASSERT_TRUE(SetFileAttributesW((stage + L"\\stale.txt").c_str(), FILE_ATTRIBUTE_READONLY));

  ASSERT_TRUE(SetEvent(exitNow.Get()));
  ExpectSuccess(updater);
  EXPECT_EQ(Contents(install.target), newApp);
  EXPECT_EQ(Contents(install.target + L".bak"), kOldApp);
  EXPECT_FALSE(DirectoryExists(stage));
  ExpectRestarted(install);
}

TEST_F(UpdaterWait, AFolderLinkAtTheStageNameIsNeverFollowed) {
  const Install install = MakeInstall(L"app");
  WriteSimpleZip(install);
  ChildProcess tray;
  ScopedKernelHandle exitNow;
  StartRunningTray(tray, exitNow);
  ChildProcess updater;
  StartUpdater(updater, TrayArguments(install, tray.pid()));

  // The stage's name is known from the updater's id before the updater makes it.
  const std::wstring outside = JoinPath(scratch.root(), L"outside");
  ASSERT_TRUE(CreateDirectoryW(outside.c_str(), nullptr));
  ASSERT_TRUE(WriteFileBytes(JoinPath(outside, L"keep.txt"), "keep"));
  const std::wstring stage = StageFolder(updater.pid());
  if (!MakeFolderLink(stage, outside)) GTEST_SKIP() << "no right to make folder links here: " << GetLastError();
  ASSERT_TRUE(updater.Running());
  ASSERT_TRUE(SetEvent(exitNow.Get()));

  if (WineCannotShow("an install after the stage link is removed (Wine cannot remove a link itself)")) {
    ExpectFailure(updater, kExtractFailed);
    EXPECT_EQ(Contents(install.target), kOldApp);
    EXPECT_TRUE(FileExists(install.zip));
    ExpectNotStarted(install);
  } else {
    ExpectSuccess(updater);
    EXPECT_EQ(Contents(install.target), newApp);
    EXPECT_FALSE(DirectoryExists(stage));
    ExpectRestarted(install);
  }
  // Nothing behind the link was deleted, and nothing was expanded there.
  EXPECT_EQ(Contents(JoinPath(outside, L"keep.txt")), "keep");
  EXPECT_FALSE(FileExists(JoinPath(outside, L"TolvaneWin.exe")));
}

TEST_F(UpdaterSlow, GivesUpWhenTheTrayProgramRunsOnPastThirtySeconds) {
  const Install install = MakeReadyInstall(L"app");
  // This test process plays the tray program that never exits.
  ChildProcess updater;
  const auto started = std::chrono::steady_clock::now();
  StartUpdater(updater, TrayArguments(install, GetCurrentProcessId()));
  FoundMessageBox box;
  ASSERT_TRUE(FindMessageBox(L"", 45000, box, updater.pid()));
  const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
  EXPECT_GE(waited.count(), 29500);
  EXPECT_EQ(box.caption, L"TolvaneWin updater");
  EXPECT_EQ(box.text, kDidNotExit);
  ASSERT_TRUE(DismissMessageBox(box));
  DWORD code = 0;
  ASSERT_TRUE(updater.Wait(10000, code));
  EXPECT_EQ(code, 1u);
  ExpectUntouched(install, updater.pid());
}

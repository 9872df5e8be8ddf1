#include "tests/updater/UpdaterRunFixture.h"

#include "common/Paths.h"
#include "tests/support/MessageBoxes.h"
#include "tests/support/Platform.h"

namespace testing_support {

namespace {

constexpr wchar_t kCaption[] = L"TolvaneWin updater";
constexpr unsigned kBoxTimeoutMs = 20000;
constexpr unsigned kRunTimeoutMs = 20000;

std::wstring FromUtf8(const std::string& bytes) {
  if (bytes.empty()) return L"";
  const int size = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring text(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), size);
  return text;
}

std::wstring FullPath(const std::wstring& path) {
  wchar_t buffer[4096] = {};
  const DWORD length = GetFullPathNameW(path.c_str(), 4096, buffer, nullptr);
  std::wstring full(buffer, length);
  while (full.size() > 3 && (full.back() == L'\\' || full.back() == L'/')) full.pop_back();
  return full;
}

}  // namespace


std::string Utf8(const std::wstring& text) {
  if (text.empty()) return "";
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                       nullptr);
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
  return bytes;
}

std::string Contents(const std::wstring& path) {
  std::string bytes;
  if (!ReadFileBytes(path, bytes)) return "<missing>";
  return bytes;
}

void UpdaterRun::SetUp() {
  const std::wstring bin = ExecutableDirectory();
  toolFolder = JoinPath(scratch.root(), L"tools");
  ASSERT_TRUE(CreateDirectoryW(toolFolder.c_str(), nullptr));
  updaterPath = JoinPath(toolFolder, L"TolvaneWinUpdater.exe");
  ASSERT_TRUE(CopyFileW(JoinPath(bin, L"TolvaneWinUpdater.exe").c_str(), updaterPath.c_str(), FALSE));
  ASSERT_TRUE(ReadFileBytes(JoinPath(bin, L"fake_tolvanewin.exe"), newApp));
  ASSERT_GT(newApp.size(), 1000u);

  // A process id whose process has ended: the updater goes straight on.
  ASSERT_TRUE(ended.Start(JoinPath(bin, L"stand_in_powershell.exe")));
  DWORD code = 0;
  ASSERT_TRUE(ended.Wait(10000, code));
}

Install UpdaterRun::MakeInstall(const std::wstring& name, bool withOldTarget, const std::wstring& tempFolder) {
  Install install;
  install.folder = JoinPath(scratch.root(), name);
  install.target = JoinPath(install.folder, L"TolvaneWin.exe");
  install.zip = JoinPath(tempFolder.empty() ? scratch.temp() : tempFolder, L"TolvaneWin-update-" + name + L".zip");
  EXPECT_TRUE(CreateDirectoryW(install.folder.c_str(), nullptr)) << Utf8(install.folder);
  if (withOldTarget) {
    EXPECT_TRUE(WriteFileBytes(install.target, kOldApp));
  }
  return install;
}

void UpdaterRun::WriteZip(const Install& install, const std::vector<ZipEntry>& entries) {
  ASSERT_TRUE(WriteFileBytes(install.zip, BuildZip(entries)));
}

void UpdaterRun::WriteSimpleZip(const Install& install) {
  WriteZip(install, {{"TolvaneWin.exe", newApp, true}});
}

std::wstring UpdaterRun::TrayArguments(const Install& install, DWORD processId) const {
  return L"--pid " + std::to_wstring(processId != 0 ? processId : ended.pid()) + L" --zip " + TrayQuote(install.zip) +
         L" --target " + TrayQuote(install.target) + L" --version " + TrayQuote(L"0.2.0");
}

void UpdaterRun::StartUpdater(ChildProcess& updater, const std::wstring& arguments, const Environment& environment) {
  ASSERT_TRUE(updater.Start(updaterPath, arguments, environment)) << GetLastError();
}

void UpdaterRun::StartRunningTray(ChildProcess& tray, ScopedKernelHandle& exitNow, const std::wstring& arguments) {
  const std::wstring folder = JoinPath(scratch.root(), L"running");
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring exe = JoinPath(folder, L"TolvaneWin.exe");
  ASSERT_TRUE(WriteFileBytes(exe, newApp));
  static unsigned counter = 0;
  const std::wstring eventName =
      L"Local\\tvw-updater-exit-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(counter++);
  exitNow.Reset(CreateEventW(nullptr, TRUE, FALSE, eventName.c_str()));
  ASSERT_TRUE(exitNow.IsValid());
  ASSERT_TRUE(tray.Start(exe, arguments + L" --wait-event " + eventName));
}

void UpdaterRun::ExpectFailure(ChildProcess& updater, const std::wstring& text) {
  DismissFailure(updater, text);
  ExpectFailedExit(updater);
}

void UpdaterRun::DismissFailure(ChildProcess& updater, const std::wstring& text) {
  // Without a process id the box search would take any process's box.
  if (updater.pid() == 0) {
    ADD_FAILURE() << "the updater did not start (expected: " << Utf8(text) << ")";
    return;
  }
  FoundMessageBox box;
  if (!FindMessageBox(L"", kBoxTimeoutMs, box, updater.pid())) {
    DWORD code = 0;
    if (updater.Wait(0, code)) {
      ADD_FAILURE() << "no message box; the updater ended with exit code " << code << " (expected: "
                    << Utf8(text) << ")";
    } else {
      ADD_FAILURE() << "no message box within " << kBoxTimeoutMs << " ms (expected: " << Utf8(text) << ")";
    }
    return;
  }
  EXPECT_EQ(box.caption, kCaption);
  EXPECT_EQ(box.text, text);
  lastBoxIcon = box.icon;
  EXPECT_TRUE(DismissMessageBox(box));
}

void UpdaterRun::ExpectFailedExit(ChildProcess& updater) {
  DWORD code = 0;
  ASSERT_TRUE(updater.Wait(kRunTimeoutMs, code)) << "still running after its message was dismissed";
  EXPECT_EQ(code, 1u);
}

void UpdaterRun::ExpectSuccess(ChildProcess& updater) {
  ASSERT_NE(updater.pid(), 0u) << "the updater did not start";
  DWORD code = 0;
  if (!updater.Wait(kRunTimeoutMs, code)) {
    FoundMessageBox box;
    if (FindMessageBox(L"", 0, box, updater.pid())) {
      ADD_FAILURE() << "the updater shows a message: " << Utf8(box.text);
      DismissMessageBox(box);
    } else {
      ADD_FAILURE() << "the updater did not end";
    }
    return;
  }
  EXPECT_EQ(code, 0u);
}

std::wstring UpdaterRun::StageFolder(DWORD updaterId, const std::wstring& tempFolder) const {
  return JoinPath(tempFolder.empty() ? scratch.temp() : tempFolder,
                  L"TolvaneWin-update-stage-" + std::to_wstring(updaterId));
}

bool UpdaterRun::WaitForLaunchRecord(const Install& install, LaunchRecord& record, unsigned timeoutMs) const {
  const std::wstring path = JoinPath(install.folder, L"launch-record.txt");
  std::string bytes;
  if (!WaitFor([&] { return ReadFileBytes(path, bytes); }, timeoutMs)) return false;
  const std::wstring text = FromUtf8(bytes);
  const size_t cmd = text.find(L"cmd=");
  const size_t cwd = text.find(L"\ncwd=");
  if (cmd != 0 || cwd == std::wstring::npos) return false;
  record.commandLine = text.substr(4, cwd - 4);
  const size_t end = text.find(L'\n', cwd + 1);
  record.currentFolder = text.substr(cwd + 5, end == std::wstring::npos ? std::wstring::npos : end - cwd - 5);
  return true;
}

void UpdaterRun::ExpectRestarted(const Install& install) {
  LaunchRecord record;
  ASSERT_TRUE(WaitForLaunchRecord(install, record, 20000)) << "the tray program was not started";
  // The updater received the path unchanged and quotes it once more.
  EXPECT_EQ(record.commandLine, TrayQuote(install.target));
  EXPECT_EQ(_wcsicmp(FullPath(record.currentFolder).c_str(), FullPath(install.folder).c_str()), 0)
      << Utf8(record.currentFolder) << " vs " << Utf8(install.folder);
}

void UpdaterRun::ExpectNotStarted(const Install& install, unsigned graceMs) {
  LaunchRecord record;
  EXPECT_FALSE(WaitForLaunchRecord(install, record, graceMs)) << "started: " << Utf8(record.commandLine);
}

}  // namespace testing_support

// The whole update road: the real program finds a newer release in its feed,
// downloads and verifies it, and hands over to the real updater, which
// installs it and starts the new version.
#include <gtest/gtest.h>

#include "BuildConfig.h"
#include "common/Http.h"
#include "common/Paths.h"
#include "shell/ShellConstants.h"
#include "tests/support/HttpServer.h"
#include "tests/support/MessageBoxes.h"
#include "tests/support/Platform.h"
#include "tests/support/ProgramSession.h"
#include "tests/support/ScratchRegistry.h"
#include "tests/support/Windows.h"
#include "tests/updater/ZipWriter.h"
#include "update/UpdateDownload.h"

using namespace testing_support;

namespace {

constexpr wchar_t kKey[] = L"Software\\TolvaneWin";

std::string FileText(const std::wstring& path) {
  std::string bytes;
  return ReadFileBytes(path, bytes) ? bytes : "<missing>";
}

std::wstring Sha256Of(const std::wstring& folder, const std::string& bytes) {
  const std::wstring path = JoinPath(folder, L"hash-input.bin");
  WriteFileBytes(path, bytes);
  std::wstring hex;
  ComputeFileSha256(path, hex);
  DeleteFileW(path.c_str());
  return hex;
}

std::string Narrow(const std::wstring& text) {
  return std::string(text.begin(), text.end());
}

// The feed address compiled into the program. A test build's lies on the
// loopback, on a port of its own build folder.
const CrackedUrl& Feed() {
  static const CrackedUrl feed = [] {
    CrackedUrl cracked;
    CrackHttpUrl(kUpdateFeedUrl, 256, cracked);
    return cracked;
  }();
  return feed;
}

std::string FeedOrigin() {
  return "http://127.0.0.1:" + std::to_string(Feed().port);
}

// Whether server listens where the program asks for its feed.
::testing::AssertionResult ServesTheFeed(const LoopbackHttpServer& server) {
  if (Feed().secure || Feed().host != L"127.0.0.1" || Feed().port == 0) {
    return ::testing::AssertionFailure() << "this build's feed " << Narrow(kUpdateFeedUrl)
                                         << " is not a loopback http address; build the tests with scripts/test.sh";
  }
  if (!server.ok()) {
    return ::testing::AssertionFailure() << "port " << Feed().port << " of this build's feed " << Narrow(kUpdateFeedUrl)
                                         << " is taken: another program, or a test build whose folder maps to the "
                                            "same port, listens on it";
  }
  return ::testing::AssertionSuccess();
}

// An installed copy of the program with its updater, in a folder of its own.
struct Installation {
  explicit Installation(const std::wstring& root) : folder(JoinPath(root, L"Tolvane Apps")) {
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring built = ExecutableDirectory();
    ok = CopyFileW(JoinPath(built, L"TolvaneWin.exe").c_str(), Exe().c_str(), FALSE) &&
         CopyFileW(JoinPath(built, L"TolvaneWinUpdater.exe").c_str(), JoinPath(folder, L"TolvaneWinUpdater.exe").c_str(),
                   FALSE);
  }
  std::wstring Exe() const { return JoinPath(folder, L"TolvaneWin.exe"); }
  std::wstring folder;
  bool ok = false;
};

}  // namespace

TEST(UpdateRoad, NewerReleaseIsDownloadedVerifiedAndInstalled) {
  ProgramSession session;
  Installation install(session.dirs.root());
  ASSERT_TRUE(install.ok);
  // PowerShell is the stand-in installed at the test prefix's system path.

  std::string newProgram;
  ASSERT_TRUE(ReadFileBytes(JoinPath(ExecutableDirectory(), L"fake_tolvanewin.exe"), newProgram));
  const std::string archive = BuildZip({{"TolvaneWin 0.1.23/", ""},
                                        {"TolvaneWin 0.1.23/TolvaneWin.exe", newProgram, true},
                                        {"TolvaneWin 0.1.23/runtime.dll", "library", false}});
  const std::wstring digest = Sha256Of(session.dirs.root(), archive);

  LoopbackHttpServer server(Feed().port);
  ASSERT_TRUE(ServesTheFeed(server));
  HttpReply feed;
  feed.body = "{\"version\":\"0.1.23\",\"downloadUrl\":\"" + FeedOrigin() +
              "/files/wrong.zip\",\"trackedDownloadUrl\":\"" + FeedOrigin() +
              "/files/TolvaneWin-0.1.23.zip\",\"sha256\":\"" + Narrow(digest) +
              "\",\"sizeBytes\":" + std::to_string(archive.size()) + "}";
  server.Route(Narrow(Feed().requestPath), feed);
  HttpReply file;
  file.body = archive;
  server.Route("/files/TolvaneWin-0.1.23.zip", file);
  // Telemetry goes nowhere; the outbox keeps it.
  ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, kKey, L"TelemetryEndpointUrl", L"http://127.0.0.1:9/exec"));

  ASSERT_TRUE(session.Start(install.Exe()));
  // The silent check at start finds the release; then the user downloads it.
  // The program queues "update_available" only after it has taken the offer,
  // so its outbox says when "Download update" has something to download.
  const std::wstring outbox =
      JoinPath(JoinPath(session.dirs.localAppData(), L"TolvaneWin"), L"telemetry-outbox-v3.dat");
  ASSERT_TRUE(WaitFor([&] { return FileText(outbox).find("\"eventType\":\"update_available\"") != std::string::npos; },
                      20000))
      << "the check at start did not report the release";
  ASSERT_TRUE(PostCommand(session.window, kMenuDownloadUpdate));

  // The program hands over and ends; the updater installs and starts the new one.
  DWORD code = 99;
  ASSERT_TRUE(session.process.Wait(20000, code));
  EXPECT_EQ(code, 0u);
  const std::wstring launchRecord = JoinPath(install.folder, L"launch-record.txt");
  ASSERT_TRUE(WaitFor([&] { return FileExists(launchRecord); }, 30000)) << "the new version was not started";

  EXPECT_EQ(FileText(install.Exe()), newProgram);
  EXPECT_TRUE(FileExists(install.Exe() + L".bak"));
  EXPECT_EQ(FileText(JoinPath(install.folder, L"runtime.dll")), "library");
  EXPECT_FALSE(FileExists(JoinPath(session.dirs.temp(), L"TolvaneWin-update-0.1.23.zip")));
  // The tracked URL is preferred over the plain one.
  int downloads = 0;
  for (const auto& request : server.Requests()) {
    EXPECT_NE(request.path, "/files/wrong.zip");
    if (request.path == "/files/TolvaneWin-0.1.23.zip") ++downloads;
  }
  EXPECT_EQ(downloads, 1);

  // The last run's events wait in the outbox, in order.
  const std::string queued = FileText(outbox);
  size_t at = 0;
  for (const char* type : {"update_available", "update_downloaded", "update_install_start", "activity_summary",
                           "exit"}) {
    const size_t found = queued.find(std::string("\"eventType\":\"") + type + "\"", at);
    EXPECT_NE(found, std::string::npos) << type;
    if (found != std::string::npos) at = found;
  }
}

TEST(UpdateRoad, ManualCheckReportsTheLatestVersion) {
  ProgramSession session;
  LoopbackHttpServer server(Feed().port);
  ASSERT_TRUE(ServesTheFeed(server));
  HttpReply feed;
  feed.body = R"({"version":"0.1.22","downloadUrl":"http://x.example/a.zip","sha256":"ab","sizeBytes":5})";
  server.Route(Narrow(Feed().requestPath), feed);
  ASSERT_TRUE(session.Start());
  ASSERT_TRUE(WaitFor([&] { return server.Requests().size() >= 1; }, 10000));
  // The silent check at start may still be on its way back; while it runs the
  // program says so, and the user asks again.
  FoundMessageBox box;
  const ULONGLONG deadline = GetTickCount64() + 20000;
  for (;;) {
    ASSERT_TRUE(PostCommand(session.window, kMenuCheckForUpdates));
    ASSERT_TRUE(FindMessageBox(L"TolvaneWin updates", 15000, box, session.process.pid()));
    if (box.text != L"Update check is already running." || GetTickCount64() >= deadline) break;
    ASSERT_TRUE(DismissMessageBox(box));
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(box.window); }, 5000));
    Sleep(200);
  }
  EXPECT_EQ(box.text, L"You are using the latest version.");
  EXPECT_GE(server.Requests().size(), 2u) << "the manual check asks the feed again";
  ASSERT_TRUE(DismissMessageBox(box));
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(box.window); }, 5000));

  // "Download update" with nothing on offer explains itself.
  ASSERT_TRUE(PostCommand(session.window, kMenuDownloadUpdate));
  ASSERT_TRUE(FindMessageBox(L"TolvaneWin updates", 15000, box, session.process.pid()));
  EXPECT_EQ(box.text, L"No update is ready to download.");
  ASSERT_TRUE(DismissMessageBox(box));
  unsigned long code = 99;
  ASSERT_TRUE(session.Close(code));
  EXPECT_EQ(code, 0u);
}

namespace {

// Serves a feed offering 0.1.23 whose archive does not match its digest.
void ServeMismatchedRelease(LoopbackHttpServer& server) {
  HttpReply feed;
  feed.body = "{\"version\":\"0.1.23\",\"downloadUrl\":\"" + FeedOrigin() + "/files/a.zip\",\"sha256\":\"" +
              std::string(64, '0') + "\",\"sizeBytes\":3}";
  server.Route(Narrow(Feed().requestPath), feed);
  HttpReply file;
  file.body = "zip";
  server.Route("/files/a.zip", file);
}

bool WaitForOffer(const ProgramSession& session) {
  const std::wstring outbox =
      JoinPath(JoinPath(session.dirs.localAppData(), L"TolvaneWin"), L"telemetry-outbox-v3.dat");
  return WaitFor([&] { return FileText(outbox).find("\"eventType\":\"update_available\"") != std::string::npos; },
                 20000);
}

}  // namespace

TEST(UpdateRoad, FailedDownloadsExplainThemselvesAndKeepTheProgramRunning) {
  ProgramSession session;
  Installation install(session.dirs.root());
  ASSERT_TRUE(install.ok);
  LoopbackHttpServer server(Feed().port);
  ASSERT_TRUE(ServesTheFeed(server));
  ServeMismatchedRelease(server);
  ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, kKey, L"TelemetryEndpointUrl", L"http://127.0.0.1:9/exec"));
  ASSERT_TRUE(session.Start(install.Exe()));
  ASSERT_TRUE(WaitForOffer(session));

  // The archive arrives but fails verification and is deleted.
  ASSERT_TRUE(PostCommand(session.window, kMenuDownloadUpdate));
  FoundMessageBox box;
  ASSERT_TRUE(FindMessageBox(L"TolvaneWin updates", 15000, box, session.process.pid()));
  EXPECT_EQ(box.text, L"Downloaded update ZIP checksum does not match metadata.");
  ASSERT_TRUE(DismissMessageBox(box));
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(box.window); }, 5000));
  EXPECT_FALSE(FileExists(JoinPath(session.dirs.temp(), L"TolvaneWin-update-0.1.23.zip")));

  // The offer stays; without the updater beside the program nothing is downloaded.
  ASSERT_TRUE(DeleteFileW(JoinPath(install.folder, L"TolvaneWinUpdater.exe").c_str()));
  const size_t requestsBefore = server.Requests().size();
  ASSERT_TRUE(PostCommand(session.window, kMenuDownloadUpdate));
  ASSERT_TRUE(FindMessageBox(L"TolvaneWin updates", 15000, box, session.process.pid()));
  EXPECT_EQ(box.text, L"Updater helper is missing next to TolvaneWin.exe.");
  ASSERT_TRUE(DismissMessageBox(box));
  EXPECT_EQ(server.Requests().size(), requestsBefore);

  unsigned long code = 99;
  ASSERT_TRUE(session.Close(code));
  EXPECT_EQ(code, 0u);
}

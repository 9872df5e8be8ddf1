#include <gtest/gtest.h>

#include "common/Paths.h"
#include "tests/support/ScratchDirectories.h"
#include "update/UpdateDownload.h"

using namespace testing_support;

TEST(UpdateDownload_UpdateArchiveFileName, ReplacesUnsafeCharacters) {
  EXPECT_EQ(UpdateArchiveFileName(L"1.2.3"), L"TolvaneWin-update-1.2.3.zip");
  EXPECT_EQ(UpdateArchiveFileName(L"1.2 beta/2"), L"TolvaneWin-update-1.2_beta_2.zip");
  EXPECT_EQ(UpdateArchiveFileName(L""), L"TolvaneWin-update-unknown.zip");
  EXPECT_EQ(UpdateArchiveFileName(L"..\\..\\x:y*\"\x00E9"), L"TolvaneWin-update-.._.._x_y___.zip");
  EXPECT_EQ(UpdateArchiveFileName(L"A-z_0.9"), L"TolvaneWin-update-A-z_0.9.zip");
}

TEST(UpdateDownload_TempDirectory, HasNoTrailingSeparator) {
  ScratchDirectories dirs;  // TEMP now points into the scratch folder
  const std::wstring folder = TempDirectory();
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder.back(), L'\\');
  EXPECT_NE(folder.back(), L'/');
  EXPECT_EQ(folder, dirs.temp());
  EXPECT_EQ(JoinPath(folder, L"a.zip"), dirs.temp() + L"\\a.zip");
}

TEST(UpdateDownload_HexLower, TwoLowerCaseDigitsPerByte) {
  const unsigned char bytes[] = {0x00, 0x0F, 0xA5, 0xFF};
  EXPECT_EQ(HexLower(bytes, 4), L"000fa5ff");
  EXPECT_EQ(HexLower(bytes, 0), L"");
}

TEST(UpdateDownload_ComputeFileSha256, HashesWholeFileInBlocks) {
  ScratchDirectories dirs;
  struct Case {
    std::string content;
    const wchar_t* digest;
  };
  const Case cases[] = {
      {"", L"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      // One million 'a': spans many 65 536-byte blocks.
      {std::string(1000000, 'a'), L"cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const Case& c : cases) {
    const std::wstring path = JoinPath(dirs.root(), L"f.bin");
    ASSERT_TRUE(WriteFileBytes(path, c.content));
    std::wstring hex = L"untouched";
    ASSERT_TRUE(ComputeFileSha256(path, hex));
    EXPECT_EQ(hex, c.digest);
  }
  std::wstring hex = L"untouched";
  EXPECT_FALSE(ComputeFileSha256(JoinPath(dirs.root(), L"missing.bin"), hex));
  EXPECT_EQ(hex, L"untouched");
}

#include "tests/support/HttpServer.h"
#include "update/UpdateCheck.h"

namespace {

const std::string kArchive = "PK\x03\x04 pretend archive bytes";
// SHA-256 of kArchive, computed by the platform in the first test below.
std::wstring ArchiveDigest(const ScratchDirectories& dirs) {
  const std::wstring path = JoinPath(dirs.root(), L"digest.bin");
  WriteFileBytes(path, kArchive);
  std::wstring hex;
  ComputeFileSha256(path, hex);
  return hex;
}

UpdateDownloadRequest MakeRequest(const LoopbackHttpServer& server, const std::string& path,
                                  const std::wstring& sha256, uint64_t size) {
  UpdateDownloadRequest request;
  request.version = L"0.2.0 beta/1";
  request.url = server.Url(path);
  request.sha256 = sha256;
  request.sizeBytes = size;
  return request;
}

}  // namespace

TEST(UpdateDownload_DownloadAndVerifyUpdate, VerifiedArchiveStaysInTempFolder) {
  ScratchDirectories dirs;
  LoopbackHttpServer server;
  ASSERT_TRUE(server.ok());
  HttpReply reply;
  reply.body = kArchive;
  reply.chunked = true;
  reply.chunkSize = 5;
  server.Route("/a.zip", reply);
  std::wstring digest = ArchiveDigest(dirs);
  ASSERT_EQ(digest.size(), 64u);
  // The expected digest may come in either case.
  for (wchar_t& c : digest) c = static_cast<wchar_t>(towupper(c));

  const UpdateDownloadResult result = DownloadAndVerifyUpdate(MakeRequest(server, "/a.zip", digest, kArchive.size()));
  EXPECT_TRUE(result.succeeded) << result.error;
  EXPECT_EQ(result.error, L"");
  EXPECT_EQ(result.version, L"0.2.0 beta/1");
  EXPECT_EQ(result.zipPath, dirs.temp() + L"\\TolvaneWin-update-0.2.0_beta_1.zip");
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(result.zipPath, bytes));
  EXPECT_EQ(bytes, kArchive);
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(HeaderValue(server.Requests()[0], "User-Agent"), "TolvaneWin/0.1.22");
}

TEST(UpdateDownload_DownloadAndVerifyUpdate, EveryFailureNamesItsStepAndLeavesNoArchive) {
  ScratchDirectories dirs;
  LoopbackHttpServer server;
  ASSERT_TRUE(server.ok());
  HttpReply ok;
  ok.body = kArchive;
  server.Route("/a.zip", ok);
  HttpReply empty;
  server.Route("/empty.zip", empty);
  HttpReply missing;
  missing.status = 404;
  missing.body = kArchive;
  server.Route("/gone.zip", missing);
  HttpReply moved;
  moved.status = 302;
  moved.location = "/a.zip";
  server.Route("/moved.zip", moved);
  const std::wstring digest = ArchiveDigest(dirs);

  struct Case {
    const char* path;
    std::wstring sha256;
    uint64_t size;
    const wchar_t* error;
  };
  const Case cases[] = {
      {"/gone.zip", digest, kArchive.size(), L"Update download request failed."},
      {"/empty.zip", digest, kArchive.size(), L"Downloaded update ZIP size does not match metadata."},
      {"/a.zip", digest, kArchive.size() + 1, L"Downloaded update ZIP size does not match metadata."},
      {"/a.zip", std::wstring(64, L'0'), kArchive.size(), L"Downloaded update ZIP checksum does not match metadata."},
      {"/a.zip", L"", 0, L"Downloaded update ZIP checksum does not match metadata."},
      {"/a.zip", digest, 0, nullptr},  // no size known: the digest alone decides
      {"/moved.zip", digest, kArchive.size(), nullptr},
  };
  for (const Case& c : cases) {
    const UpdateDownloadResult result = DownloadAndVerifyUpdate(MakeRequest(server, c.path, c.sha256, c.size));
    if (c.error == nullptr) {
      EXPECT_TRUE(result.succeeded) << c.path << L" " << result.error;
      EXPECT_TRUE(FileExists(result.zipPath));
      DeleteFileW(result.zipPath.c_str());
    } else {
      EXPECT_FALSE(result.succeeded) << c.path;
      EXPECT_EQ(result.error, c.error) << c.path;
      EXPECT_FALSE(FileExists(result.zipPath)) << c.path;
      EXPECT_FALSE(result.zipPath.empty());
    }
  }
}

TEST(UpdateDownload_HttpDownloadUrlToFile, UrlAndFileFailures) {
  ScratchDirectories dirs;
  LoopbackHttpServer server;
  ASSERT_TRUE(server.ok());
  HttpReply ok;
  ok.body = kArchive;
  server.Route("/a.zip", ok);
  const std::wstring path = JoinPath(dirs.temp(), L"x.zip");
  std::wstring error;

  EXPECT_FALSE(HttpDownloadUrlToFile(L"ftp://host/a.zip", path, error));
  EXPECT_EQ(error, L"Invalid update download URL.");
  // The query buffer of the download holds 2 048 characters.
  EXPECT_FALSE(HttpDownloadUrlToFile(server.Url("/a.zip?" + std::string(2100, 'q')), path, error));
  EXPECT_EQ(error, L"Invalid update download URL.");
  EXPECT_TRUE(server.Requests().empty());

  HANDLE holder = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(HttpDownloadUrlToFile(server.Url("/a.zip"), path, error));
  EXPECT_EQ(error, L"Could not write update ZIP.");
  CloseHandle(holder);

  error = L"kept";
  EXPECT_TRUE(HttpDownloadUrlToFile(server.Url("/a.zip"), path, error));
  EXPECT_EQ(error, L"kept");
}

TEST(UpdateCheck_FetchLatestUpdateNow, UnreachableFeedReportsCheckFailure) {
  // The built-in feed host is not reachable from the test machine.
  const UpdateCheckResult result = FetchLatestUpdateNow(true);
  if (result.metadataComplete) GTEST_SKIP() << "the feed host answered";
  EXPECT_TRUE(result.manual);
  EXPECT_FALSE(result.updateAvailable);
  EXPECT_TRUE(result.version.empty());
  EXPECT_EQ(result.sizeBytes, 0u);
  EXPECT_EQ(result.error, L"Could not check for updates.");
}

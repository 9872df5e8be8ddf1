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

#include <gtest/gtest.h>

#include <windows.h>

#include "common/ScopedHandle.h"
#include "tests/support/Platform.h"
#include "tests/support/ScratchDirectories.h"
#include "updater/UpdaterFiles.h"

using namespace testing_support;

namespace {

void MakeFolder(const std::wstring& path) {
  ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr)) << GetLastError();
}

void MakeFile(const std::wstring& path, const std::string& bytes = "x") {
  ASSERT_TRUE(WriteFileBytes(path, bytes));
}

}  // namespace

TEST(Updater_PowerShellSingleQuoted, DoublesEveryApostropheKindAndNothingElse) {
  struct Case {
    const wchar_t* text;
    const wchar_t* quoted;
  };
  const Case cases[] = {
      {L"", L"''"},
      {L"C:\\Temp\\a.zip", L"'C:\\Temp\\a.zip'"},
      {L"O'Neil", L"'O''Neil'"},
      {L"'", L"''''"},
      {L"''", L"''''''"},
      {L"say \"hi\" $env:x `n", L"'say \"hi\" $env:x `n'"},
      // PowerShell also closes a single-quoted string at the typographic quotes.
      {L"O\x2019Neil", L"'O\x2019\x2019Neil'"},
      {L"\x2018\x201A\x201B", L"'\x2018\x2018\x201A\x201A\x201B\x201B'"},
      {L"\x201C\x201D", L"'\x201C\x201D'"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(updater::PowerShellSingleQuoted(c.text), c.quoted) << c.text;
  }
}

TEST(Updater_DirectoryName, CutsAtTheLastSeparator) {
  struct Case {
    const wchar_t* path;
    const wchar_t* folder;
  };
  const Case cases[] = {
      {L"TolvaneWin.exe", L"."},
      {L"", L"."},
      {L"\\TolvaneWin.exe", L"\\"},
      {L"/TolvaneWin.exe", L"/"},
      {L"C:\\TolvaneWin.exe", L"C:"},
      {L"C:\\Apps\\TolvaneWin.exe", L"C:\\Apps"},
      {L"C:\\Apps\\", L"C:\\Apps"},
      {L"C:/Apps/sub\\TolvaneWin.exe", L"C:/Apps/sub"},
      {L"C:\\Apps/TolvaneWin.exe", L"C:\\Apps"},
      // Only the last separator is cut, even where two stand together.
      {L"C:\\\\Apps\\\\TolvaneWin.exe", L"C:\\\\Apps\\"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(updater::DirectoryName(c.path), c.folder) << c.path;
  }
}

TEST(Updater_JoinPath, InsertsOneSeparatorOnlyWhenNeeded) {
  EXPECT_EQ(updater::JoinPath(L"", L"a.txt"), L"a.txt");
  EXPECT_EQ(updater::JoinPath(L"C:\\dir\\", L"a.txt"), L"C:\\dir\\a.txt");
  EXPECT_EQ(updater::JoinPath(L"C:/dir/", L"a.txt"), L"C:/dir/a.txt");
  EXPECT_EQ(updater::JoinPath(L"C:", L"a.txt"), L"C:\\a.txt");
  EXPECT_EQ(updater::JoinPath(L"C:\\dir", L""), L"C:\\dir\\");
  EXPECT_EQ(updater::JoinPath(L"dir", L"\\lead"), L"dir\\\\lead");
}

TEST(Updater_FindFileRecursive, MissingFolderLeavesTheResultAlone) {
  ScratchDirectories scratch;
  std::wstring found = L"untouched";
  EXPECT_FALSE(updater::FindFileRecursive(updater::JoinPath(scratch.root(), L"missing"), L"TolvaneWin.exe", found));
  EXPECT_EQ(found, L"untouched");
}

TEST(Updater_FindFileRecursive, MatchesTheWholeNameInAnyCase) {
  ScratchDirectories scratch;
  const std::wstring root = scratch.root();
  MakeFolder(root + L"\\stage");
  MakeFolder(root + L"\\stage\\deep");
  MakeFolder(root + L"\\stage\\deep\\er");
  MakeFile(root + L"\\stage\\TolvaneWin.exe.sig");
  MakeFile(root + L"\\stage\\deep\\xTolvaneWin.exe");
  MakeFile(root + L"\\stage\\deep\\er\\TOLVANEWIN.EXE");

  std::wstring found;
  ASSERT_TRUE(updater::FindFileRecursive(root + L"\\stage", L"TolvaneWin.exe", found));
  EXPECT_EQ(found, root + L"\\stage\\deep\\er\\TOLVANEWIN.EXE");

  found = L"untouched";
  EXPECT_FALSE(updater::FindFileRecursive(root + L"\\stage", L"TolvaneWinUpdater.exe", found));
  EXPECT_EQ(found, L"untouched");
}

TEST(Updater_FindFileRecursive, FollowsTheListingOrderDepthFirst) {
  ScratchDirectories scratch;
  const std::wstring root = scratch.root();
  // Listed by upper-cased name: "A" before "TOLVANEWIN.EXE" before "Z".
  MakeFolder(root + L"\\first");
  MakeFolder(root + L"\\first\\a");
  MakeFolder(root + L"\\first\\a\\b");
  MakeFile(root + L"\\first\\a\\b\\TolvaneWin.exe");
  MakeFile(root + L"\\first\\TolvaneWin.exe");
  MakeFolder(root + L"\\last");
  MakeFolder(root + L"\\last\\z");
  MakeFile(root + L"\\last\\z\\TolvaneWin.exe");
  MakeFile(root + L"\\last\\TolvaneWin.exe");

  std::wstring found;
  ASSERT_TRUE(updater::FindFileRecursive(root + L"\\first", L"TolvaneWin.exe", found));
  EXPECT_EQ(found, root + L"\\first\\a\\b\\TolvaneWin.exe");
  ASSERT_TRUE(updater::FindFileRecursive(root + L"\\last", L"TolvaneWin.exe", found));
  EXPECT_EQ(found, root + L"\\last\\TolvaneWin.exe");
}

TEST(Updater_FindFileRecursive, SearchesIntoAFolderOfTheSameNameButNeverReturnsIt) {
  ScratchDirectories scratch;
  const std::wstring root = scratch.root();
  MakeFolder(root + L"\\stage");
  MakeFolder(root + L"\\stage\\TolvaneWin.exe");
  std::wstring found;
  EXPECT_FALSE(updater::FindFileRecursive(root + L"\\stage", L"TolvaneWin.exe", found));
  MakeFile(root + L"\\stage\\TolvaneWin.exe\\tolvanewin.exe");
  ASSERT_TRUE(updater::FindFileRecursive(root + L"\\stage", L"TolvaneWin.exe", found));
  EXPECT_EQ(found, root + L"\\stage\\TolvaneWin.exe\\tolvanewin.exe");
}

TEST(Updater_RemoveDirectoryRecursive, RemovesATreeWithReadOnlyFiles) {
  ScratchDirectories scratch;
  const std::wstring root = scratch.root();
  const std::wstring tree = root + L"\\tree";
  MakeFolder(tree);
  MakeFolder(tree + L"\\sub");
  MakeFolder(tree + L"\\sub\\empty");
  MakeFile(tree + L"\\top.txt");
  MakeFile(tree + L"\\sub\\locked.dll");
  MakeFile(tree + L"\\sub\\plain.txt");
  ASSERT_TRUE(SetFileAttributesW((tree + L"\\sub\\locked.dll").c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(SetFileAttributesW((tree + L"\\top.txt").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  MakeFile(root + L"\\neighbour.txt");

  EXPECT_NE(updater::RemoveDirectoryRecursive(tree), FALSE);
  EXPECT_EQ(GetFileAttributesW(tree.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(FileExists(root + L"\\neighbour.txt"));
}

TEST(Updater_RemoveDirectoryRecursive, MissingFolderGivesZeroAndTouchesNothing) {
  ScratchDirectories scratch;
  const std::wstring root = scratch.root();
  MakeFile(root + L"\\neighbour.txt");
  EXPECT_EQ(updater::RemoveDirectoryRecursive(root + L"\\missing"), FALSE);
  EXPECT_TRUE(FileExists(root + L"\\neighbour.txt"));
}

TEST(Updater_RemoveDirectoryRecursive, AFileInUseKeepsItsFoldersAndTheRestGoes) {
  ScratchDirectories scratch;
  const std::wstring tree = scratch.root() + L"\\tree";
  MakeFolder(tree);
  MakeFolder(tree + L"\\in-use");
  MakeFolder(tree + L"\\other");
  MakeFile(tree + L"\\in-use\\held.bin");
  MakeFile(tree + L"\\in-use\\free.bin");
  MakeFile(tree + L"\\other\\free.bin");
  ScopedFileHandle held(
      CreateFileW((tree + L"\\in-use\\held.bin").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held.IsValid());

  EXPECT_EQ(updater::RemoveDirectoryRecursive(tree), FALSE);
  EXPECT_TRUE(FileExists(tree + L"\\in-use\\held.bin"));
  EXPECT_FALSE(FileExists(tree + L"\\in-use\\free.bin"));
  EXPECT_FALSE(DirectoryExists(tree + L"\\other"));

  held.Reset();
  EXPECT_NE(updater::RemoveDirectoryRecursive(tree), FALSE);
  EXPECT_FALSE(DirectoryExists(tree));
}

TEST(Updater_RemoveDirectoryRecursive, RemovesAFolderLinkButNotWhatItPointsAt) {
  struct Case {
    const char* what;
    const wchar_t* link;     // under the scratch root
    const wchar_t* removed;  // the folder handed to the walkers
  };
  const Case cases[] = {
      {"a link inside the folder", L"\\stage\\link", L"\\stage"},
      {"the folder itself is a link", L"\\stage", L"\\stage"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchDirectories scratch;
    const std::wstring root = scratch.root();
    MakeFolder(root + L"\\outside");
    MakeFile(root + L"\\outside\\TolvaneWin.exe");
    if (std::wstring(c.link) != c.removed) MakeFolder(root + c.removed);
    if (!MakeFolderLink(root + c.link, root + L"\\outside")) {
      GTEST_SKIP() << "no right to make folder links here: " << GetLastError();
    }

    std::wstring found;
    EXPECT_FALSE(updater::FindFileRecursive(root + c.removed, L"TolvaneWin.exe", found)) << found.c_str();
    const BOOL removed = updater::RemoveDirectoryRecursive(root + c.removed);
    EXPECT_TRUE(FileExists(root + L"\\outside\\TolvaneWin.exe"));
    if (!WineCannotShow("removing a folder link itself (Wine opens only its target)")) {
      EXPECT_NE(removed, FALSE);
      EXPECT_EQ(GetFileAttributesW((root + c.removed).c_str()), INVALID_FILE_ATTRIBUTES);
    }
  }
}

TEST(Updater_RestoreBackup, PutsAProgramBackEvenWhenTheBackupCannotMove) {
  struct Case {
    const char* what;
    bool backup;
    bool holdBackup;  // open for reading without delete sharing: no move, but a copy
    const char* target;
    bool backupStays;
  };
  const Case cases[] = {
      {"moved back", true, false, "old", false},
      {"copied back", true, true, "old", true},
      {"no backup", false, false, "<missing>", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchDirectories scratch;
    const std::wstring target = scratch.root() + L"\\TolvaneWin.exe";
    const std::wstring backup = target + L".bak";
    if (c.backup) MakeFile(backup, "old");
    ScopedFileHandle held;
    if (c.holdBackup) {
      held.Reset(CreateFileW(backup.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
      ASSERT_TRUE(held.IsValid());
    }
    updater::RestoreBackup(backup, target);
    std::string bytes;
    EXPECT_EQ(ReadFileBytes(target, bytes) ? bytes : "<missing>", c.target);
    EXPECT_EQ(FileExists(backup), c.backupStays);
  }
}

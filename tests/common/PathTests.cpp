#include <gtest/gtest.h>

#include <windows.h>

#include "common/Paths.h"
#include "common/Text.h"
#include "tests/support/Platform.h"
#include "tests/support/Processes.h"
#include "tests/support/ScratchDirectories.h"

using namespace testing_support;

TEST(Paths_JoinPath, InsertsOneSeparatorOnlyWhenNeeded) {
  struct Case {
    const wchar_t* directory;
    const wchar_t* name;
    const wchar_t* joined;
  };
  const Case cases[] = {
      {L"", L"a.txt", L"a.txt"},
      {L"", L"", L""},
      {L"C:\\dir\\", L"a.txt", L"C:\\dir\\a.txt"},
      {L"C:/dir/", L"a.txt", L"C:/dir/a.txt"},
      {L"C:\\dir", L"a.txt", L"C:\\dir\\a.txt"},
      {L"C:", L"a.txt", L"C:\\a.txt"},
      {L"C:\\dir", L"", L"C:\\dir\\"},
      {L"C:\\dir", L"\\lead", L"C:\\dir\\\\lead"},
      {L"dir", L"sub/x", L"dir\\sub/x"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(JoinPath(c.directory, c.name), c.joined) << c.directory << L" + " << c.name;
  }
}

TEST(Paths_CurrentExecutablePath, NamesThisTestExecutable) {
  const std::wstring path = CurrentExecutablePath();
  ASSERT_FALSE(path.empty());
  EXPECT_NE(path.find(L"common_tests.exe"), std::wstring::npos);
  EXPECT_EQ(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

// Loads a copy of a small library from a path of exactly the given length
// and returns what ModuleFileName reports for it. (Process creation refuses
// application paths this long, so the executable itself cannot be placed there.)
static std::wstring ModulePathAtLength(const ScratchDirectories& dirs, size_t length, std::wstring& target) {
  const std::wstring library = JoinPath(ExecutableDirectory(), L"path_probe.dll");
  std::wstring folder = dirs.root();
  while (folder.size() + 1 + 200 < length) {
    folder = JoinPath(folder, std::wstring(100, L'd'));
    CreateDirectoryW(folder.c_str(), nullptr);
  }
  const size_t fileLength = length - folder.size() - 1;
  if (fileLength < 5 || fileLength > 200) return L"<bad layout>";
  target = JoinPath(folder, std::wstring(fileLength - 4, L'p') + L".dll");
  if (target.size() != length) return L"<bad length>";
  if (!CopyFileW(library.c_str(), target.c_str(), FALSE)) return L"<copy failed>";
  HMODULE module = LoadLibraryW(target.c_str());
  if (module == nullptr) return L"<load failed>";
  const std::wstring reported = ModuleFileName(module);
  FreeLibrary(module);
  return reported;
}

TEST(Paths_ModuleFileName, ReturnsWholePathAtAndBeyondTheFirstBuffer) {
  ScratchDirectories dirs;
  for (size_t length : {size_t(259), size_t(260), size_t(261), size_t(519), size_t(520), size_t(700)}) {
    std::wstring target;
    const std::wstring reported = ModulePathAtLength(dirs, length, target);
    EXPECT_EQ(reported, target) << length;
    EXPECT_EQ(reported.size(), length);
  }
}

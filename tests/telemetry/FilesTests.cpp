#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "common/ScopedHandle.h"
#include "telemetry/Files.h"
#include "tests/support/ScratchDirectories.h"

using testing_support::ScratchDirectories;

TEST(Telemetry_DataDirectory, CreatesOnlyTheLastLevel) {
  ScratchDirectories scratch;
  const std::wstring expected = scratch.localAppData() + L"\\TolvaneWin";
  EXPECT_EQ(telemetry::DataDirectory(L"TolvaneWin"), expected);
  EXPECT_TRUE(testing_support::DirectoryExists(expected));
  // Present already: the same path again.
  EXPECT_EQ(telemetry::DataDirectory(L"TolvaneWin"), expected);

  // A trailing backslash in the variable still gets one more.
  SetEnvironmentVariableW(L"LOCALAPPDATA", (scratch.localAppData() + L"\\").c_str());
  EXPECT_EQ(telemetry::DataDirectory(L"TolvaneWin"), scratch.localAppData() + L"\\\\TolvaneWin");

  SetEnvironmentVariableW(L"LOCALAPPDATA", (scratch.root() + L"\\missing-parent").c_str());
  EXPECT_EQ(telemetry::DataDirectory(L"TolvaneWin"), L"");
  EXPECT_FALSE(testing_support::DirectoryExists(scratch.root() + L"\\missing-parent"));

  SetEnvironmentVariableW(L"LOCALAPPDATA", L"");
  EXPECT_EQ(telemetry::DataDirectory(L"TolvaneWin"), L"");
  SetEnvironmentVariableW(L"LOCALAPPDATA", nullptr);
  EXPECT_EQ(telemetry::DataDirectory(L"TolvaneWin"), L"");
}

TEST(Telemetry_DataDirectory, FileInTheWayIsAFailure) {
  ScratchDirectories scratch;
  // CreateDirectoryW answers "already exists" for a file of that name too.
  ASSERT_TRUE(testing_support::WriteFileBytes(scratch.localAppData() + L"\\TolvaneWin", "x"));
  EXPECT_EQ(telemetry::DataDirectory(L"TolvaneWin"), L"");
}

TEST(Telemetry_ReadFileBytes, SizeLimitAndFailures) {
  ScratchDirectories scratch;
  const std::wstring atLimit = scratch.root() + L"\\at-limit.dat";
  const std::wstring overLimit = scratch.root() + L"\\over-limit.dat";
  const std::wstring empty = scratch.root() + L"\\empty.dat";
  std::string content(static_cast<size_t>(telemetry::kTelemetryFileReadLimit), '\0');
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i % 253);
  ASSERT_TRUE(testing_support::WriteFileBytes(atLimit, content));
  ASSERT_TRUE(testing_support::WriteFileBytes(overLimit, content + "!"));
  ASSERT_TRUE(testing_support::WriteFileBytes(empty, ""));

  std::string bytes;
  ASSERT_TRUE(telemetry::ReadFileBytes(atLimit, bytes));
  EXPECT_TRUE(bytes == content);

  bytes = "unchanged";
  EXPECT_FALSE(telemetry::ReadFileBytes(overLimit, bytes));
  EXPECT_EQ(bytes, "unchanged");
  EXPECT_FALSE(telemetry::ReadFileBytes(scratch.root() + L"\\absent.dat", bytes));
  EXPECT_FALSE(telemetry::ReadFileBytes(L"", bytes));
  EXPECT_FALSE(telemetry::ReadFileBytes(scratch.root(), bytes));
  EXPECT_EQ(bytes, "unchanged");

  ASSERT_TRUE(telemetry::ReadFileBytes(empty, bytes));
  EXPECT_EQ(bytes, "");

  // A writer holding the file without sharing keeps readers out.
  ScopedFileHandle held(CreateFileW(empty.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(held.IsValid());
  bytes = "unchanged";
  EXPECT_FALSE(telemetry::ReadFileBytes(empty, bytes));
  EXPECT_EQ(bytes, "unchanged");
}

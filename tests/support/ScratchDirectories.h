#pragma once

#include <string>

namespace testing_support {

// A private folder for one test, with LOCALAPPDATA and TEMP pointed into it
// for this process (and the processes it starts). Restored and removed at the end.
class ScratchDirectories {
 public:
  ScratchDirectories();
  ~ScratchDirectories();
  ScratchDirectories(const ScratchDirectories&) = delete;
  ScratchDirectories& operator=(const ScratchDirectories&) = delete;

  const std::wstring& root() const { return rootPath; }
  const std::wstring& localAppData() const { return localAppDataPath; }
  const std::wstring& temp() const { return tempPath; }

 private:
  std::wstring rootPath;
  std::wstring localAppDataPath;
  std::wstring tempPath;
  std::wstring savedLocalAppData;
  std::wstring savedTemp;
  std::wstring savedTmp;
  bool hadLocalAppData = false;
  bool hadTemp = false;
  bool hadTmp = false;
};

// Removes a folder tree, clearing read-only attributes on the way.
void RemoveTree(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool ReadFileBytes(const std::wstring& path, std::string& bytes);
bool FileExists(const std::wstring& path);
bool DirectoryExists(const std::wstring& path);
// Makes link a folder link to target. Under Wine, whose own calls make no
// links, it is a Unix symbolic link, which Wine shows as a folder reparse
// point. False when no link could be made.
bool MakeFolderLink(const std::wstring& link, const std::wstring& target);

}  // namespace testing_support

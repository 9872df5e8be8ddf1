#pragma once

#include <windows.h>

#include <string>

// File and text helpers of the updater program. They live in their own
// namespace because the updater is self-contained: it carries its own copy of
// the path-joining rule instead of linking the tray program's code.
namespace updater {

// Inserts one backslash unless the directory is empty or already ends in a separator.
std::wstring JoinPath(const std::wstring& directory, const std::wstring& name);

// The text as a PowerShell single-quoted literal; every quote character
// PowerShell accepts as an apostrophe is doubled.
std::wstring PowerShellSingleQuoted(const std::wstring& text);

// The part before the last '\' or '/': "." without one, the separator alone
// when it is the first unit. Never empty.
std::wstring DirectoryName(const std::wstring& path);

// Depth-first search, in the platform's listing order, for a file whose whole
// name matches case-insensitively. foundPath is written only on success.
bool FindFileRecursive(const std::wstring& folder, const std::wstring& fileName, std::wstring& foundPath);

// Deletes a folder tree, read-only files included. Returns the result of the
// final RemoveDirectoryW of the folder itself.
BOOL RemoveDirectoryRecursive(const std::wstring& folder);

}  // namespace updater

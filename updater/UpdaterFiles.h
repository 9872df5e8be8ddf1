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

// A file, not a folder, stands at path.
bool IsExistingFile(const std::wstring& path);
// A folder that is not a link to somewhere else stands at path.
bool IsRealFolder(const std::wstring& path);

// A file is installed by copying it beside its target under this name, then
// renaming it onto the target: a kill at any moment leaves either the old file
// or the new one whole at the target path, never a missing or cut-short one.
std::wstring ReplacementPath(const std::wstring& targetPath);
// Copies source to ReplacementPath(target), overwriting one left by a killed
// run, and flushes it to disk. A failed copy is removed.
bool CopyBesideTarget(const std::wstring& source, const std::wstring& targetPath);
// Renames that copy onto the target, replacing it. A copy that cannot be
// renamed is removed.
bool MoveCopyOntoTarget(const std::wstring& targetPath);
// Both steps.
bool InstallFileWhole(const std::wstring& source, const std::wstring& targetPath);

// Puts the backup back in the target's place after a failed install: moved
// when possible, else copied, so a program stays where one stood.
void RestoreBackup(const std::wstring& backupPath, const std::wstring& targetPath);

// Deletes a folder tree, read-only files included. Folder links, the folder
// itself included, are removed as links: what they point at stays. Returns
// the result of the final removal of the folder itself.
BOOL RemoveDirectoryRecursive(const std::wstring& folder);

}  // namespace updater

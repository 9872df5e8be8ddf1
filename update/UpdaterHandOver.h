#pragma once

#include <windows.h>

#include <string>

#include "common/CommandLine.h"

inline constexpr wchar_t kUpdaterExeName[] = L"TolvaneWinUpdater.exe";

// The updater shipped beside the running executable.
std::wstring UpdaterHelperPath();
// The updater file exists beside the executable (a folder of that name does not count).
bool UpdaterHelperPresent();
std::wstring UpdaterCommandLine(const std::wstring& updaterCopy, DWORD processId, const std::wstring& zipPath,
                                const std::wstring& targetPath, const std::wstring& version);
// Starts a temporary copy of the updater and destroys the hidden window.
bool LaunchUpdaterAndExit(HWND hwnd, const std::wstring& zipPath, const std::wstring& version);

#pragma once

#include <windows.h>

#include <string>

std::wstring CurrentExecutablePath();
// Full path of a loaded module (null: the executable), however long.
std::wstring ModuleFileName(HMODULE module);
// Inserts one backslash unless the directory is empty or already ends in a separator.
std::wstring JoinPath(const std::wstring& directory, const std::wstring& name);

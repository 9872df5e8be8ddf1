#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// Strict single-value readers and writers on a key the caller opened.
bool RegistryReadQword(HKEY key, const wchar_t* name, uint64_t& value);
bool RegistryReadString(HKEY key, const wchar_t* name, std::wstring& value);
bool RegistryWriteString(HKEY key, const wchar_t* name, const std::wstring& value);
std::wstring ReadWindowsMachineGuid();

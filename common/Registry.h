#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

// Strict single-value readers and writers on a key the caller opened.
bool RegistryReadQword(HKEY key, const wchar_t* name, uint64_t& value);
// A REG_SZ's text ends at its first NUL.
bool RegistryReadString(HKEY key, const wchar_t* name, std::wstring& value);
bool RegistryWriteString(HKEY key, const wchar_t* name, const std::wstring& value);
std::wstring ReadWindowsMachineGuid();

// Longest install text (identifier, version or time text) that is used.
inline constexpr size_t kInstallTextLimit = 256;
// RegistryReadString for a text that every event document and the state file
// must carry: one longer than kInstallTextLimit, holding CR or LF, or longer
// than utf8Limit bytes as UTF-8 counts as unreadable and leaves value unchanged.
bool RegistryReadInstallText(HKEY key, const wchar_t* name, std::wstring& value, size_t utf8Limit = SIZE_MAX);

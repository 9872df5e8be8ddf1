#pragma once

#include <cstdint>
#include <string>

namespace telemetry {

inline constexpr wchar_t kStateFileName[] = L"telemetry-state-v3.dat";
inline constexpr wchar_t kOutboxFileName[] = L"telemetry-outbox-v3.dat";
inline constexpr wchar_t kTemporarySuffix[] = L".tmp";
inline constexpr wchar_t kCorruptSuffix[] = L".corrupt";
inline constexpr uint64_t kTelemetryFileReadLimit = 3145728;

// "%LOCALAPPDATA%\<name>", created when missing (its parent must exist).
// Empty when the variable is missing, empty or too long, or the folder
// cannot be created (a file of that name included).
std::wstring DataDirectory(const wchar_t* name);

// Reads a whole file of at most kTelemetryFileReadLimit bytes. On false
// bytes is unchanged; an absent file and an unreadable one look the same.
bool ReadFileBytes(const std::wstring& path, std::string& bytes);

}  // namespace telemetry

#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

inline constexpr int32_t kBadgeStyleNone = 0;
inline constexpr int32_t kBadgeStyleLetter = 1;
inline constexpr int32_t kBadgeStyleDot = 2;
inline constexpr int32_t kBadgeStyleHighContrast = 3;

// Maps a stored "BadgeStyle" name (any letter case, no trimming) to a style;
// unknown names mean the letter badge.
int32_t BadgeStyleFromName(const std::wstring& name);
// The canonical name written back for a style.
const wchar_t* BadgeStyleName(int32_t style);

// Reads "LeftHanded" and "BadgeStyle" from an open key into g_app; a missing or
// malformed value keeps what g_app holds.
void ReadCursorPreferences(HKEY key);
// Writes both preferences in canonical form; failures are silent.
void SaveCursorPreferences();

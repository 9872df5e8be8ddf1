#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// 0xAARRGGBB, the GDI+ colour layout.
using BadgeArgb = uint32_t;

// Locale name for a keyboard layout's language; never empty ("unknown" at worst).
std::wstring LocaleNameFromLangId(LANGID langId);
// True when tag is the whole name or one whole subtag of it.
bool HasLocaleSubtag(const std::wstring& name, const wchar_t* tag);
// Short badge text ("En", "Ру", "DE", "简", "??", ...); never empty.
std::wstring BadgeFromLocaleName(const std::wstring& localeName);
// Fill colour of a badge; a fixed hue per badge text.
BadgeArgb LanguageColor(const std::wstring& badgeText);

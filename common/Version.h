#pragma once

#ifdef TOLVANE_APP_VERSION_TEXT
inline constexpr wchar_t kAppVersion[] = TOLVANE_APP_VERSION_TEXT;
#else
inline constexpr wchar_t kAppVersion[] = L"0.1.22";
#endif
inline constexpr wchar_t kAppBuildVersion[] = L"23";

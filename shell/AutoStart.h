#pragma once

#include <windows.h>

#include <string>

// Removes leading and trailing spaces, TABs, CRs and LFs (no other blanks).
std::wstring TrimRunValue(const std::wstring& value);
// The program path of a Run command: the quoted part when the trimmed text
// starts with a quote (to its end when unclosed), else the text up to the
// first blank. Empty when there is none.
std::wstring RunValueProgramPath(const std::wstring& value);
// True when the Run command names this executable (letter case ignored).
bool RunValueNamesExecutable(const std::wstring& value, const std::wstring& executablePath);
// The Run value written for an executable: its path in double quotes, inner
// quotes escaped with a backslash.
std::wstring AutoStartValueText(const std::wstring& executablePath);

// Sets g_app.autoStart from the "Run" value.
void RefreshAutoStartState();
// Writes or deletes the "Run" value; true on success (an absent key or value
// counts as already switched off).
bool EnableAutoStart();
bool DisableAutoStart();
// The menu command: switches to the other state, or warns in a box owned by
// window and keeps g_app.autoStart.
void ToggleAutoStart(HWND window);

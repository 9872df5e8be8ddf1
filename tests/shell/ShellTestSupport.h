#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace shell_tests {

// Puts g_app back to its start-of-process defaults.
void ResetAppState();

// Denies everyone KEY_SET_VALUE and KEY_CREATE_SUB_KEY on an existing key
// (reads stay allowed), or lifts that again.
bool DenyKeyWrites(HKEY root, const wchar_t* subkey);
bool AllowKeyWrites(HKEY root, const wchar_t* subkey);

struct MenuRow {
  UINT id = 0;
  std::wstring text;
  UINT state = 0;  // GetMenuState flags
  bool separator() const { return (state & MF_SEPARATOR) != 0; }
  bool checked() const { return (state & MF_CHECKED) != 0; }
  bool disabled() const { return (state & MF_DISABLED) != 0; }
  bool grayed() const { return (state & MF_GRAYED) != 0; }
};

std::vector<MenuRow> ReadMenuRows(HMENU menu);
// Index of the row with the given text, or -1.
int FindRow(const std::vector<MenuRow>& rows, const std::wstring& text);

// The value the next kernel handle of this process would get. Both Windows and
// Wine hand out the most recently freed slot first, so a handle leaked between
// two calls changes the answer.
HANDLE NextHandleValue();

}  // namespace shell_tests

#include "tests/support/MessageBoxes.h"

#include "tests/support/Platform.h"

namespace testing_support {

namespace {

struct Search {
  const std::wstring* caption;
  DWORD processId;
  HWND found;
};

BOOL CALLBACK MatchBox(HWND window, LPARAM lParam) {
  auto* search = reinterpret_cast<Search*>(lParam);
  wchar_t className[16] = {};
  GetClassNameW(window, className, 16);
  if (wcscmp(className, L"#32770") != 0) return TRUE;
  // A box can be caught half-built: invisible, untitled, placeholder buttons.
  if (!IsWindowVisible(window)) return TRUE;
  wchar_t title[256] = {};
  GetWindowTextW(window, title, 256);
  if (title[0] == L'\0') return TRUE;
  if (!search->caption->empty() && *search->caption != title) return TRUE;
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (search->processId != 0 && owner != search->processId) return TRUE;
  search->found = window;
  return FALSE;
}

// Shared system icons are the same handle in every process on Windows.
int IdentifyIcon(HWND box) {
  HWND iconControl = GetDlgItem(box, 1088);
  if (iconControl == nullptr) return 0;
  const HICON shown = reinterpret_cast<HICON>(SendMessageW(iconControl, STM_GETICON, 0, 0));
  if (shown == nullptr) return 0;
  static const int kIcons[] = {32513 /*IDI_HAND*/, 32514 /*IDI_QUESTION*/, 32515 /*IDI_EXCLAMATION*/,
                               32516 /*IDI_ASTERISK*/};
  for (int id : kIcons) {
    if (LoadIconW(nullptr, MAKEINTRESOURCEW(id)) == shown) return id;
  }
  return 0;
}

}  // namespace

bool FindMessageBox(const std::wstring& caption, unsigned timeoutMs, FoundMessageBox& found, DWORD processId) {
  Search search{&caption, processId, nullptr};
  const bool ok = WaitFor(
      [&] {
        search.found = nullptr;
        EnumWindows(MatchBox, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
      },
      timeoutMs);
  if (!ok) return false;
  found.window = search.found;
  wchar_t buffer[2048] = {};
  GetWindowTextW(search.found, buffer, 2048);
  found.caption = buffer;
  buffer[0] = L'\0';
  GetDlgItemTextW(search.found, 0xFFFF, buffer, 2048);
  found.text = buffer;
  found.icon = IdentifyIcon(search.found);
  return true;
}

bool DismissMessageBox(const FoundMessageBox& box) {
  return PostMessageW(box.window, WM_COMMAND, IDOK, 0) != FALSE;
}

}  // namespace testing_support

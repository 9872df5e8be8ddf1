#pragma once

#include <windows.h>

#include <string>

namespace testing_support {

struct FoundMessageBox {
  HWND window = nullptr;
  std::wstring caption;
  std::wstring text;
  // The standard icon shown, as IDI_* resource number (0 when unknown).
  // Wine loads shared icons per process, so another process's box reads 0 there.
  int icon = 0;
};

// Waits for a visible, fully built message box with the given caption (any
// caption when empty), optionally owned by a given process.
bool FindMessageBox(const std::wstring& caption, unsigned timeoutMs, FoundMessageBox& found,
                    DWORD processId = 0);
// Presses its OK (or first) button.
bool DismissMessageBox(const FoundMessageBox& box);

}  // namespace testing_support

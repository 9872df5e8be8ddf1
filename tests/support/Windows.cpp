#include "tests/support/Windows.h"

#include "tests/support/Platform.h"

namespace testing_support {

namespace {

struct FindState {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM lParam) {
  auto* state = reinterpret_cast<FindState*>(lParam);
  wchar_t className[64] = {};
  GetClassNameW(window, className, 64);
  if (wcscmp(className, L"TolvaneWin.HiddenWindow") != 0) return TRUE;
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (state->processId != 0 && owner != state->processId) return TRUE;
  state->found = window;
  return FALSE;
}

BOOL CALLBACK MatchPopupMenu(HWND window, LPARAM lParam) {
  auto* state = reinterpret_cast<FindState*>(lParam);
  wchar_t className[16] = {};
  GetClassNameW(window, className, 16);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (wcscmp(className, L"#32768") != 0 || owner != state->processId || !IsWindowVisible(window)) return TRUE;
  state->found = window;
  return FALSE;
}

}  // namespace

HWND FindOpenPopupMenu(DWORD processId, unsigned timeoutMs) {
  FindState state{processId, nullptr};
  WaitFor(
      [&] {
        state.found = nullptr;
        EnumWindows(MatchPopupMenu, reinterpret_cast<LPARAM>(&state));
        return state.found != nullptr;
      },
      timeoutMs);
  return state.found;
}

HWND FindHiddenWindow(unsigned timeoutMs, DWORD processId) {
  FindState state{processId, nullptr};
  WaitFor(
      [&] {
        EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&state));
        return state.found != nullptr;
      },
      timeoutMs);
  return state.found;
}

bool PostCommand(HWND window, WORD commandId) {
  return PostMessageW(window, WM_COMMAND, MAKEWPARAM(commandId, 0), 0) != FALSE;
}

bool PostClose(HWND window) {
  return PostMessageW(window, WM_CLOSE, 0, 0) != FALSE;
}

void PumpMessages(unsigned milliseconds) {
  const ULONGLONG deadline = GetTickCount64() + milliseconds;
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
  }
}

}  // namespace testing_support

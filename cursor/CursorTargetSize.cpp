#include <windows.h>

#include <algorithm>

#include "cursor/SystemCursors.h"

namespace {

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using GetDpiForSystemFn = UINT(WINAPI*)();
using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);

// Looked up at each call: older systems lack these entry points.
template <class Fn>
Fn LookUpUser32(const char* name) {
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  if (user32 == nullptr) return nullptr;
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(user32, name)));
}

}  // namespace

UINT CursorDpiFrom(const CursorDpiAnswers& answers) {
  UINT dpi = 96;
  if (answers.windowDpi != 0) dpi = std::max<UINT>(96, answers.windowDpi);
  if (answers.systemDpi != 0) dpi = std::max(dpi, answers.systemDpi);
  if (answers.deviceDpi > 0) dpi = std::max(dpi, static_cast<UINT>(answers.deviceDpi));
  return dpi;
}

SIZE CursorTargetSizeFrom(UINT dpi, const CursorMetricAnswers& metrics) {
  int base = MulDiv(32, static_cast<int>(dpi), 96);
  if (base <= 0) base = 1;
  const int cx = metrics.cxCursor > 0 ? metrics.cxCursor : 1;
  const int cy = metrics.cyCursor > 0 ? metrics.cyCursor : 1;
  int wBase = base;
  int hBase = base;
  if (metrics.cxCursorForDpi > 0) wBase = std::max(base, metrics.cxCursorForDpi);
  if (metrics.cyCursorForDpi > 0) hBase = std::max(base, metrics.cyCursorForDpi);
  SIZE size;
  size.cx = std::max(cx, wBase);
  size.cy = std::max(cy, hBase);
  return size;
}

SIZE CurrentCursorTargetSize() {
  CursorDpiAnswers answers;
  if (auto getDpiForWindow = LookUpUser32<GetDpiForWindowFn>("GetDpiForWindow")) {
    if (g_app.hiddenWindow != nullptr) answers.windowDpi = getDpiForWindow(g_app.hiddenWindow);
  }
  if (auto getDpiForSystem = LookUpUser32<GetDpiForSystemFn>("GetDpiForSystem")) {
    answers.systemDpi = getDpiForSystem();
  }
  if (HDC dc = GetDC(nullptr)) {
    answers.deviceDpi = GetDeviceCaps(dc, LOGPIXELSX);
    ReleaseDC(nullptr, dc);
  }
  const UINT dpi = CursorDpiFrom(answers);

  CursorMetricAnswers metrics;
  metrics.cxCursor = GetSystemMetrics(SM_CXCURSOR);
  metrics.cyCursor = GetSystemMetrics(SM_CYCURSOR);
  if (auto forDpi = LookUpUser32<GetSystemMetricsForDpiFn>("GetSystemMetricsForDpi")) {
    metrics.cxCursorForDpi = forDpi(SM_CXCURSOR, dpi);
    metrics.cyCursorForDpi = forDpi(SM_CYCURSOR, dpi);
  }
  return CursorTargetSizeFrom(dpi, metrics);
}

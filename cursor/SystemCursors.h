#pragma once

#include <windows.h>

#include <cstdint>

#include "shell/AppState.h"

// One replaceable system cursor.
struct SystemCursorSpec {
  uint32_t id;        // OCR value given to SetSystemCursor
  LPCWSTR resource;   // standard cursor resource of the same number
  bool mirror;        // mirrored left-to-right in left-handed mode
  BOOL keepBadgeRight;  // badge stays right in left-handed mode
};

// Row order is the install order and the index into g_app.sourceCursors.
extern const SystemCursorSpec kSystemCursorSpecs[kSystemCursorCount];

// What the platform answered when asked for the display DPI; 0 means the
// entry point or device context was not available or gave no answer.
struct CursorDpiAnswers {
  UINT windowDpi = 0;
  UINT systemDpi = 0;
  int deviceDpi = 0;
};

// Cursor metrics: the current ones, and those for the chosen DPI (0 when
// GetSystemMetricsForDpi is missing or gives nothing).
struct CursorMetricAnswers {
  int cxCursor = 0;
  int cyCursor = 0;
  int cxCursorForDpi = 0;
  int cyCursorForDpi = 0;
};

// Highest DPI seen, never below 96.
UINT CursorDpiFrom(const CursorDpiAnswers& answers);
// Never below the current cursor metrics nor below 32 px scaled by dpi.
SIZE CursorTargetSizeFrom(UINT dpi, const CursorMetricAnswers& metrics);
// Size at which replacement cursors are built now.
SIZE CurrentCursorTargetSize();

// Private copies of the 16 standard cursors, taken once per window.
void LoadSourceCursors();
void ReleaseSourceCursors();

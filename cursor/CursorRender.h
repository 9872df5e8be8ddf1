#pragma once

#include <windows.h>
#include <gdiplus.h>

#include <cstddef>

#include "cursor/SystemCursors.h"

// Renders the replacement for row index of kSystemCursorSpecs from the
// current preferences and badge text; the caller owns the result (null on failure).
HCURSOR CreateMirroredSystemCursor(const SystemCursorSpec& spec, size_t index);
void ConfigureHighQualityGraphics(Gdiplus::Graphics& graphics);

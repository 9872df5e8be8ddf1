#include <windows.h>

#include "cursor/SystemCursors.h"

void LoadSourceCursors() {
  ReleaseSourceCursors();
  for (size_t i = 0; i < kSystemCursorCount; ++i) {
    const SystemCursorSpec& row = kSystemCursorSpecs[i];
    const SIZE size = CurrentCursorTargetSize();
    HCURSOR copy = static_cast<HCURSOR>(
        LoadImageW(nullptr, row.resource, IMAGE_CURSOR, size.cx, size.cy, LR_DEFAULTCOLOR));
    if (copy == nullptr) {
      // The shared handle is only a template: copied, never kept or destroyed.
      HCURSOR shared = LoadCursorW(nullptr, row.resource);
      if (shared != nullptr) {
        copy = static_cast<HCURSOR>(
            CopyImage(shared, IMAGE_CURSOR, size.cx, size.cy, LR_COPYFROMRESOURCE));
        if (copy == nullptr) copy = CopyIcon(shared);
      }
    }
    g_app.sourceCursors[i] = copy;
  }
}

void ReleaseSourceCursors() {
  for (HCURSOR& cursor : g_app.sourceCursors) {
    if (cursor != nullptr) {
      DestroyCursor(cursor);
      cursor = nullptr;
    }
  }
}

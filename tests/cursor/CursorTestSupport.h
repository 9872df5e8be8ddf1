#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/cursor/ImportPatch.h"

namespace testing_support {

// Starts GDI+ once for the whole test process (left running until exit).
void EnsureGdiplus();

// Pixels of a cursor's colour image (premultiplied ARGB, top-down), or of its
// mask when it has no colour image.
struct CursorPixels {
  int width = 0;
  int height = 0;
  POINT hotspot = {};
  bool hasColour = false;
  std::vector<uint32_t> argb;
  uint32_t At(int x, int y) const { return argb[static_cast<size_t>(y) * width + x]; }
  static uint8_t Alpha(uint32_t pixel) { return static_cast<uint8_t>(pixel >> 24); }
};
bool ReadCursorPixels(HCURSOR cursor, CursorPixels& pixels);

// One SetSystemCursor call seen by the recorder.
struct InstalledCursor {
  DWORD id = 0;
  std::wstring badgeText;  // g_app.badgeText at the time of the call
  bool accepted = false;
  HCURSOR cursor = nullptr;  // kept (owned by the recorder) when accepted
};

// Stands in for the system's cursor calls, which Wine only stubs:
// SetSystemCursor and SystemParametersInfoW(SPI_SETCURSORS) are recorded,
// GetCursorPos is counted (one call per pointer refresh) and
// Shell_NotifyIconW is recorded and passed on.
class PlatformRecorder {
 public:
  PlatformRecorder();
  ~PlatformRecorder();
  PlatformRecorder(const PlatformRecorder&) = delete;
  PlatformRecorder& operator=(const PlatformRecorder&) = delete;

  bool ok() const;
  // Forgets what was recorded so far (destroying kept cursors).
  void Clear();

  // Configuration of the stand-ins.
  BOOL restoreResult = TRUE;
  DWORD rejectedCursorId = 0;  // SetSystemCursor returns FALSE for this id

  // Recorded calls, in order. events holds "set:<id>", "restore", "tray:<NIM>".
  std::vector<InstalledCursor> installs;
  std::vector<std::string> events;
  std::vector<std::pair<DWORD, BOOL>> trayCalls;  // message, result of the real call
  int cursorPosCalls = 0;

  size_t AcceptedCount() const;
  size_t CountEvents(const std::string& event) const;

 private:
  std::unique_ptr<ImportPatch> setSystemCursor;
  std::unique_ptr<ImportPatch> systemParameters;
  std::unique_ptr<ImportPatch> cursorPos;
  std::unique_ptr<ImportPatch> notifyIcon;
};

// Ids of the table rows whose standard cursor this platform can load.
std::vector<DWORD> LoadableCursorIds();

}  // namespace testing_support

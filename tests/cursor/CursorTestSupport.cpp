#include "tests/cursor/CursorTestSupport.h"

#include <gdiplus.h>
#include <shellapi.h>

#include "cursor/SystemCursors.h"
#include "shell/AppState.h"

namespace testing_support {

namespace {

PlatformRecorder* g_recorder = nullptr;
BOOL(WINAPI* g_realNotifyIcon)(DWORD, PNOTIFYICONDATAW) = nullptr;
BOOL(WINAPI* g_realGetCursorPos)(LPPOINT) = nullptr;
BOOL(WINAPI* g_realSystemParameters)(UINT, UINT, PVOID, UINT) = nullptr;

BOOL WINAPI RecordSetSystemCursor(HCURSOR cursor, DWORD id) {
  InstalledCursor call;
  call.id = id;
  call.badgeText = g_app.badgeText;
  call.accepted = id != g_recorder->rejectedCursorId;
  if (call.accepted) call.cursor = cursor;
  g_recorder->installs.push_back(call);
  g_recorder->events.push_back("set:" + std::to_string(id));
  return call.accepted ? TRUE : FALSE;
}

BOOL WINAPI RecordSystemParameters(UINT action, UINT param, PVOID value, UINT flags) {
  if (action != SPI_SETCURSORS) return g_realSystemParameters(action, param, value, flags);
  const bool plain = param == 0 && value == nullptr && flags == 0;
  g_recorder->events.push_back(plain ? "restore" : "restore-with-arguments");
  return g_recorder->restoreResult;
}

BOOL WINAPI CountGetCursorPos(LPPOINT point) {
  g_recorder->cursorPosCalls += 1;
  return g_realGetCursorPos(point);
}

BOOL WINAPI RecordNotifyIcon(DWORD message, PNOTIFYICONDATAW data) {
  const BOOL result = g_realNotifyIcon(message, data);
  g_recorder->trayCalls.emplace_back(message, result);
  g_recorder->events.push_back("tray:" + std::to_string(message));
  return result;
}

}  // namespace

void EnsureGdiplus() {
  static ULONG_PTR token = 0;
  if (token != 0) return;
  Gdiplus::GdiplusStartupInput input;
  Gdiplus::GdiplusStartup(&token, &input, nullptr);
}

bool ReadCursorPixels(HCURSOR cursor, CursorPixels& pixels) {
  ICONINFO info = {};
  if (!GetIconInfo(cursor, &info)) return false;
  HBITMAP source = info.hbmColor != nullptr ? info.hbmColor : info.hbmMask;
  BITMAP bits = {};
  GetObjectW(source, sizeof(bits), &bits);
  pixels.width = bits.bmWidth;
  pixels.height = bits.bmHeight;
  pixels.hotspot.x = static_cast<LONG>(info.xHotspot);
  pixels.hotspot.y = static_cast<LONG>(info.yHotspot);
  pixels.hasColour = info.hbmColor != nullptr;
  pixels.argb.assign(static_cast<size_t>(bits.bmWidth) * bits.bmHeight, 0);

  BITMAPINFO format = {};
  format.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  format.bmiHeader.biWidth = bits.bmWidth;
  format.bmiHeader.biHeight = -bits.bmHeight;
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 32;
  format.bmiHeader.biCompression = BI_RGB;
  HDC dc = GetDC(nullptr);
  const int lines = GetDIBits(dc, source, 0, static_cast<UINT>(bits.bmHeight), pixels.argb.data(), &format,
                              DIB_RGB_COLORS);
  ReleaseDC(nullptr, dc);
  if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
  if (info.hbmMask != nullptr) DeleteObject(info.hbmMask);
  return lines == bits.bmHeight;
}

PlatformRecorder::PlatformRecorder() {
  g_recorder = this;
  setSystemCursor = std::make_unique<ImportPatch>("user32.dll", "SetSystemCursor",
                                                  reinterpret_cast<void*>(&RecordSetSystemCursor));
  systemParameters = std::make_unique<ImportPatch>("user32.dll", "SystemParametersInfoW",
                                                   reinterpret_cast<void*>(&RecordSystemParameters));
  g_realSystemParameters =
      reinterpret_cast<BOOL(WINAPI*)(UINT, UINT, PVOID, UINT)>(systemParameters->original());
  cursorPos = std::make_unique<ImportPatch>("user32.dll", "GetCursorPos",
                                            reinterpret_cast<void*>(&CountGetCursorPos));
  g_realGetCursorPos = reinterpret_cast<BOOL(WINAPI*)(LPPOINT)>(cursorPos->original());
  notifyIcon = std::make_unique<ImportPatch>("shell32.dll", "Shell_NotifyIconW",
                                             reinterpret_cast<void*>(&RecordNotifyIcon));
  g_realNotifyIcon = reinterpret_cast<BOOL(WINAPI*)(DWORD, PNOTIFYICONDATAW)>(notifyIcon->original());
}

PlatformRecorder::~PlatformRecorder() {
  setSystemCursor.reset();
  systemParameters.reset();
  cursorPos.reset();
  notifyIcon.reset();
  Clear();
  g_recorder = nullptr;
}

bool PlatformRecorder::ok() const {
  return setSystemCursor->ok() && systemParameters->ok() && cursorPos->ok() && notifyIcon->ok();
}

void PlatformRecorder::Clear() {
  for (InstalledCursor& call : installs) {
    if (call.cursor != nullptr) DestroyCursor(call.cursor);
  }
  installs.clear();
  events.clear();
  trayCalls.clear();
  cursorPosCalls = 0;
}

size_t PlatformRecorder::AcceptedCount() const {
  size_t count = 0;
  for (const InstalledCursor& call : installs) count += call.accepted ? 1 : 0;
  return count;
}

size_t PlatformRecorder::CountEvents(const std::string& event) const {
  size_t count = 0;
  for (const std::string& seen : events) count += seen == event ? 1 : 0;
  return count;
}

std::vector<DWORD> LoadableCursorIds() {
  std::vector<DWORD> ids;
  for (const SystemCursorSpec& row : kSystemCursorSpecs) {
    if (LoadCursorW(nullptr, row.resource) != nullptr) ids.push_back(row.id);
  }
  return ids;
}

}  // namespace testing_support

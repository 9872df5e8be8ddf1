#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "bench/Bench.h"
#include "common/ScopedHandle.h"
#include "cursor/CursorSet.h"
#include "cursor/SystemCursors.h"
#include "shell/AppState.h"
#include "tests/cursor/ImportPatch.h"
#include "tests/support/Platform.h"

namespace bench {

namespace {

constexpr int kWarmUpRuns = 2;
constexpr int kRuns = 25;
constexpr UINT kBaseDpi = 96;
constexpr UINT kDpis[] = {96, 192, 384, 768};
// Objects GDI+ may keep or free between sizes; a leaked set would be 32.
constexpr unsigned kGdiObjectSlack = 4;

using GetDeviceCapsFn = int(WINAPI*)(HDC, int);
using SetSystemCursorFn = BOOL(WINAPI*)(HCURSOR, DWORD);

int g_logPixels = 0;
GetDeviceCapsFn g_realGetDeviceCaps = nullptr;
SetSystemCursorFn g_realSetSystemCursor = nullptr;
bool g_destroyInstalled = false;

// The target size follows the highest DPI the display reports; this answer
// raises it without touching the prefix's settings.
int WINAPI BenchGetDeviceCaps(HDC dc, int index) {
  if (g_logPixels != 0 && (index == LOGPIXELSX || index == LOGPIXELSY)) return g_logPixels;
  return g_realGetDeviceCaps(dc, index);
}

// Windows destroys the cursor it installs. Wine's SetSystemCursor keeps it,
// and every run would leave 16 cursors (and their bitmaps) behind.
BOOL WINAPI BenchSetSystemCursor(HCURSOR cursor, DWORD id) {
  const BOOL installed = g_realSetSystemCursor(cursor, id);
  if (installed && g_destroyInstalled) DestroyCursor(cursor);
  return installed;
}

// A ready cursor image: 32-bit colour with alpha and a mask, as the
// renderer hands to CreateIconIndirect, but with nothing drawn per run.
struct PreparedImage {
  ScopedBitmap colour;
  ScopedBitmap mask;
};

bool PrepareImage(int width, int height, PreparedImage& image) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  image.colour.Reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!image.colour || bits == nullptr) return false;
  auto* pixels = static_cast<uint32_t*>(bits);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) pixels[y * width + x] = x <= y ? 0xFF000000u : 0u;
  }
  image.mask.Reset(CreateBitmap(width, height, 1, 1, nullptr));
  return static_cast<bool>(image.mask);
}

// The floor: 16 CreateIconIndirect + SetSystemCursor calls; false if one failed.
bool InstallPreparedSet(const PreparedImage& image) {
  ICONINFO info = {};
  info.fIcon = FALSE;
  info.hbmMask = image.mask.Get();
  info.hbmColor = image.colour.Get();
  bool allInstalled = true;
  for (size_t i = 0; i < kSystemCursorCount; ++i) {
    HCURSOR cursor = static_cast<HCURSOR>(CreateIconIndirect(&info));
    if (cursor == nullptr) {
      allInstalled = false;
      continue;
    }
    if (!SetSystemCursor(cursor, kSystemCursorSpecs[i].id)) {
      DestroyCursor(cursor);
      allInstalled = false;
    }
  }
  return allInstalled;
}

std::string Text(const char* format, double a, double b = 0, double c = 0) {
  char text[160];
  std::snprintf(text, sizeof(text), format, a, b, c);
  return text;
}

}  // namespace

bool BenchCursorSet(Report& report) {
  testing_support::ImportPatch deviceCaps("gdi32.dll", "GetDeviceCaps", reinterpret_cast<void*>(BenchGetDeviceCaps));
  testing_support::ImportPatch setSystemCursor("user32.dll", "SetSystemCursor",
                                               reinterpret_cast<void*>(BenchSetSystemCursor));
  if (!deviceCaps.ok() || !setSystemCursor.ok()) {
    report.notes.push_back("cursor set: the display DPI or SetSystemCursor could not be intercepted; not measured");
    return false;
  }
  g_realGetDeviceCaps = reinterpret_cast<GetDeviceCapsFn>(deviceCaps.original());
  g_realSetSystemCursor = reinterpret_cast<SetSystemCursorFn>(setSystemCursor.original());
  g_destroyInstalled = testing_support::IsWine();

  bool measured = true;
  std::string gdiCounts;
  unsigned fewestGdiObjects = 0xFFFFFFFFu;
  unsigned mostGdiObjects = 0;
  std::string results;
  for (const UINT dpi : kDpis) {
    g_logPixels = static_cast<int>(dpi);
    const int expected = MulDiv(32, static_cast<int>(dpi), static_cast<int>(kBaseDpi));
    const SIZE target = CurrentCursorTargetSize();
    LoadSourceCursors();
    int loaded = 0;
    for (const HCURSOR source : g_app.sourceCursors) loaded += source != nullptr ? 1 : 0;
    PreparedImage image;
    if (target.cx != expected || target.cy != expected || !PrepareImage(target.cx, target.cy, image)) {
      report.notes.push_back(Text("cursor set: at %.0f DPI the target was %.0f px, not %.0f; not measured", dpi,
                                  target.cx, expected));
      measured = false;
      continue;
    }

    for (int run = 0; run < kWarmUpRuns; ++run) {
      ApplyCurrentCursors(false);
      InstallPreparedSet(image);
    }
    const unsigned gdiObjects = GdiObjectCount();
    fewestGdiObjects = std::min(fewestGdiObjects, gdiObjects);
    mostGdiObjects = std::max(mostGdiObjects, gdiObjects);
    gdiCounts += (gdiCounts.empty() ? "" : ", ") + Text("%.0f at %.0f px", gdiObjects, expected);

    Figure product{Text("set at %.0f px", expected), "ms", {}, ""};
    Figure floor{Text("floor at %.0f px", expected), "ms", {}, "16 CreateIconIndirect + SetSystemCursor"};
    bool floorInstalled = true;
    // Interleaved, so that a slow spell of the machine weighs on both alike.
    for (int run = 0; run < kRuns; ++run) {
      double start = NowMs();
      ApplyCurrentCursors(false);
      product.samples.push_back(NowMs() - start);
      start = NowMs();
      floorInstalled = InstallPreparedSet(image) && floorInstalled;
      floor.samples.push_back(NowMs() - start);
    }
    const double ratio = Summarize(product.samples).median / Summarize(floor.samples).median;
    product.reference = "floor " + FormatValue(Summarize(floor.samples).median, "ms") + ", product ÷ floor " +
                        Text("%.1f", ratio);
    report.figures.push_back(product);
    report.figures.push_back(floor);
    results += (results.empty() ? "" : "; ") + Text("%.0f px: %.0f of 16 source cursors loaded, product \"",
                                                    expected, loaded) +
               std::string(g_app.cursorApplyResult.begin(), g_app.cursorApplyResult.end()) + "\", floor " +
               (floorInstalled ? "all 16 installed" : "FAILED");
  }
  const unsigned gdiObjects = GdiObjectCount();
  fewestGdiObjects = std::min(fewestGdiObjects, gdiObjects);
  mostGdiObjects = std::max(mostGdiObjects, gdiObjects);
  gdiCounts += ", " + Text("%.0f at the end", gdiObjects);
  const bool gdiFlat = mostGdiObjects - fewestGdiObjects <= kGdiObjectSlack;
  g_logPixels = 0;
  ReleaseSourceCursors();
  RestoreSystemCursors();

  report.notes.push_back(
      "cursor set: ApplyCurrentCursors(false), the product's render and install of all 16 cursors (with its "
      "pointer refresh), after LoadSourceCursors at that size; the size is driven through the display DPI the "
      "product reads (GetDeviceCaps LOGPIXELSX answered with 96/192/384/768 in the bench's own import table)");
  report.notes.push_back("cursor set results: " + results);
  if (testing_support::IsWine()) {
    report.notes.push_back(
        "cursor set under Wine: SetSystemCursor is a stub that keeps the cursor, so the bench destroys each "
        "installed cursor right after the call (product and floor alike), as Windows would; a cursor that does "
        "not load is skipped and the product reports \"failure\"");
  }
  report.notes.push_back("GDI objects of the bench after each size's warm-up: " + gdiCounts +
                         (gdiFlat ? " (flat)" : " (NOT flat: installed cursors pile up)"));
  return measured && gdiFlat;
}

}  // namespace bench

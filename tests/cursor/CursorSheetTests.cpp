// Writes picture sheets of every replacement cursor into the build folder
// (build/cursor-sheet) for review by eye: one PNG per size and hand, a row
// per badge style (none, letter, dot, high contrast), a column per table row.
#include <gtest/gtest.h>

#include <windows.h>
#include <gdiplus.h>

#include <memory>
#include <string>
#include <vector>

#include "common/Format.h"
#include "common/Paths.h"
#include "common/ScopedHandle.h"
#include "cursor/CursorRender.h"
#include "cursor/SystemCursors.h"
#include "shell/AppState.h"
#include "tests/cursor/CursorTestSupport.h"
#include "tests/support/Platform.h"
#include "tests/support/ScratchDirectories.h"

using namespace testing_support;

namespace {

bool PngEncoder(CLSID& clsid) {
  UINT count = 0, bytes = 0;
  if (Gdiplus::GetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0) return false;
  std::vector<BYTE> buffer(bytes);
  auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
  if (Gdiplus::GetImageEncoders(count, bytes, encoders) != Gdiplus::Ok) return false;
  for (UINT i = 0; i < count; ++i) {
    if (wcscmp(encoders[i].MimeType, L"image/png") == 0) {
      clsid = encoders[i].Clsid;
      return true;
    }
  }
  return false;
}

// Loads every standard cursor at the given size as the private copies.
void LoadSourcesAt(int size) {
  ReleaseSourceCursors();
  for (size_t i = 0; i < kSystemCursorCount; ++i) {
    g_app.sourceCursors[i] = static_cast<HCURSOR>(
        LoadImageW(nullptr, kSystemCursorSpecs[i].resource, IMAGE_CURSOR, size, size, 0));
  }
}

}  // namespace

TEST(CursorSheet_Write, WritesAllCursorsForEachHandAndStyle) {
  EnsureGdiplus();
  g_app = AppState();
  g_app.badgeText = L"En";
  CLSID png;
  ASSERT_TRUE(PngEncoder(png));

  const std::wstring folder = JoinPath(ExecutableDirectory(), L"..\\cursor-sheet");
  CreateDirectoryW(folder.c_str(), nullptr);

  struct Sheet {
    int size;
    int scale;
    bool leftHanded;
    const wchar_t* badge;
  } sheets[] = {{32, 3, true, L"En"}, {32, 3, false, L"DE"}, {64, 2, true, L"\u0420\u0443"},
                {64, 2, false, L"\u7B80"}};
  const int loadable = static_cast<int>(LoadableCursorIds().size());
  for (const Sheet& sheet : sheets) {
    LoadSourcesAt(sheet.size);
    g_app.leftHanded = sheet.leftHanded;
    g_app.badgeText = sheet.badge;
    const int cell = sheet.size * sheet.scale + 8;
    Gdiplus::Bitmap picture(cell * 16, cell * 4, PixelFormat32bppARGB);
    auto graphicsOwner = std::make_unique<Gdiplus::Graphics>(&picture);
    Gdiplus::Graphics& graphics = *graphicsOwner;
    graphics.Clear(Gdiplus::Color(0xFFE8E8E8));
    graphics.SetInterpolationMode(Gdiplus::InterpolationModeNearestNeighbor);
    graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    Gdiplus::SolidBrush tile{Gdiplus::Color(0xFFFFFFFF)};

    int rendered = 0;
    for (int style = 0; style < 4; ++style) {
      g_app.badgeStyle = style;
      for (size_t i = 0; i < kSystemCursorCount; ++i) {
        const int x = static_cast<int>(i) * cell + 4;
        const int y = style * cell + 4;
        graphics.FillRectangle(&tile, x, y, sheet.size * sheet.scale, sheet.size * sheet.scale);
        ScopedCursor cursor(CreateMirroredSystemCursor(kSystemCursorSpecs[i], i));
        CursorPixels pixels;
        if (!cursor || !ReadCursorPixels(cursor.Get(), pixels)) continue;
        ++rendered;
        EXPECT_EQ(pixels.width, sheet.size);
        Gdiplus::Bitmap image(pixels.width, pixels.height, pixels.width * 4, PixelFormat32bppPARGB,
                              reinterpret_cast<BYTE*>(pixels.argb.data()));
        graphics.DrawImage(&image, x, y, pixels.width * sheet.scale, pixels.height * sheet.scale);
      }
    }
    EXPECT_EQ(rendered, 4 * loadable);
    graphicsOwner.reset();  // the picture cannot be saved while drawn on

    wchar_t name[64] = {};
    FormatWide(name, L"cursors-%d-%ls.png", sheet.size, sheet.leftHanded ? L"left" : L"right");
    const std::wstring path = JoinPath(folder, name);
    ASSERT_EQ(picture.Save(path.c_str(), &png, nullptr), Gdiplus::Ok);
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(path, bytes));
    EXPECT_GT(bytes.size(), 1000u);
  }
  ReleaseSourceCursors();
  g_app = AppState();
}

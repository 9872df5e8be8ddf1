#include "cursor/CursorRender.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "common/ScopedHandle.h"
#include "cursor/BadgeGeometry.h"
#include "cursor/LanguageBadge.h"
#include "shell/AppState.h"

namespace {

constexpr uint32_t kIbeamCursorId = 32513;
constexpr uint8_t kHaloAlpha = 220;

// A monochrome I-beam would be drawn inverted (often invisible) on light
// and dark backgrounds alike, so it is rebuilt as black ink with a white halo.
bool DrawMonochromeIbeam(HCURSOR source, Gdiplus::Bitmap& image, int width, int height) {
  ICONINFO info = {};
  if (!GetIconInfo(source, &info)) return false;
  ScopedBitmap colour(info.hbmColor);
  ScopedBitmap mask(info.hbmMask);
  BITMAP maskBits = {};
  if (colour || !mask || GetObjectW(mask.Get(), sizeof(maskBits), &maskBits) == 0 ||
      maskBits.bmHeight <= 1) {
    return false;
  }
  ScopedMemoryDc dc(CreateCompatibleDC(nullptr));
  if (!dc) return false;

  HGDIOBJ previous = SelectObject(dc.Get(), mask.Get());
  {
    Gdiplus::Graphics graphics(&image);
    graphics.Clear(Gdiplus::Color(0, 0, 0, 0));
  }

  // Top half of the mask is the AND mask, the rest the XOR mask.
  const int half = maskBits.bmHeight <= 3 ? 1 : maskBits.bmHeight / 2;
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  std::vector<uint8_t> ink(count, 0);
  std::vector<uint8_t> halo(count, 0);

  const int rows = std::min(half, height);
  const int columns = std::min(std::max<int>(maskBits.bmWidth, 1), width);
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < columns; ++x) {
      const COLORREF andPixel = GetPixel(dc.Get(), x, y);
      const COLORREF xorPixel = GetPixel(dc.Get(), x, y + half);
      if (andPixel == CLR_INVALID || xorPixel == CLR_INVALID) continue;
      // Drawn when the AND bit is 0 or the XOR bit is 1.
      if (((~andPixel | xorPixel) & 0x80) != 0) ink[static_cast<size_t>(y) * width + x] = 1;
    }
  }

  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (!ink[static_cast<size_t>(y) * width + x]) continue;
      for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
          const int nx = x + dx;
          const int ny = y + dy;
          if ((dx == 0 && dy == 0) || nx < 0 || ny < 0 || nx >= width || ny >= height) continue;
          const size_t at = static_cast<size_t>(ny) * width + nx;
          if (!ink[at]) halo[at] = std::max(halo[at], kHaloAlpha);
        }
      }
    }
  }

  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint8_t alpha = halo[static_cast<size_t>(y) * width + x];
      if (alpha != 0) {
        image.SetPixel(x, y, Gdiplus::Color((static_cast<Gdiplus::ARGB>(alpha) << 24) | 0xFFFFFF));
      }
    }
  }
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (ink[static_cast<size_t>(y) * width + x]) image.SetPixel(x, y, Gdiplus::Color(0xFF000000));
    }
  }

  SelectObject(dc.Get(), previous);
  return true;
}

void DrawCursorImage(HCURSOR source, Gdiplus::Bitmap& image, int width, int height) {
  Gdiplus::Graphics graphics(&image);
  graphics.Clear(Gdiplus::Color(0, 0, 0, 0));
  HDC hdc = graphics.GetHDC();
  if (hdc != nullptr) {
    DrawIconEx(hdc, 0, 0, source, width, height, 0, nullptr, DI_NORMAL);
    graphics.ReleaseHDC(hdc);
  }
}

void DrawBadgeText(Gdiplus::Graphics& graphics, const BadgeGeometry& geometry, const BadgeLook& look) {
  Gdiplus::FontFamily family(L"Segoe UI");
  // Without the family no font can be made: the disc is drawn without text.
  const Gdiplus::FontFamily* usableFamily = family.GetLastStatus() == Gdiplus::Ok ? &family : nullptr;

  std::unique_ptr<Gdiplus::StringFormat> format;
  if (const Gdiplus::StringFormat* typographic = Gdiplus::StringFormat::GenericTypographic()) {
    format.reset(typographic->Clone());
  }
  if (format) {
    format->SetFormatFlags(format->GetFormatFlags() | Gdiplus::StringFormatFlagsNoWrap);
    format->SetAlignment(Gdiplus::StringAlignmentCenter);
    format->SetLineAlignment(Gdiplus::StringAlignmentCenter);
  }

  const wchar_t* text = g_app.badgeText.c_str();
  const float size = FitBadgeTextSize(geometry, [&](float candidate, TextBox& box) {
    Gdiplus::Font font(usableFamily, candidate, Gdiplus::FontStyleBold, Gdiplus::UnitPixel);
    Gdiplus::RectF bounds;
    if (graphics.MeasureString(text, -1, &font, Gdiplus::RectF(0, 0, 0, 0), format.get(), &bounds) !=
        Gdiplus::Ok) {
      return false;
    }
    box.width = bounds.Width;
    box.height = bounds.Height;
    return true;
  });

  Gdiplus::Font font(usableFamily, size, Gdiplus::FontStyleBold, Gdiplus::UnitPixel);
  graphics.SetTextRenderingHint(size <= 14 ? Gdiplus::TextRenderingHintSingleBitPerPixelGridFit
                                           : Gdiplus::TextRenderingHintAntiAliasGridFit);
  graphics.SetTextContrast(0);

  const float r = static_cast<float>(geometry.drawRadius);
  const float left = geometry.drawCenterX - r;
  const float top = geometry.drawCenterY - r;
  Gdiplus::SolidBrush shadowBrush{Gdiplus::Color(look.shadow)};
  Gdiplus::SolidBrush textBrush{Gdiplus::Color(look.text)};
  graphics.DrawString(text, -1, &font, Gdiplus::RectF(left, top + 0.5f, 2 * r, 2 * r), format.get(),
                      &shadowBrush);
  graphics.DrawString(text, -1, &font, Gdiplus::RectF(left, top - 0.5f, 2 * r, 2 * r), format.get(),
                      &textBrush);
}

void DrawBadge(Gdiplus::Graphics& graphics, const BadgeGeometry& geometry, const BadgeLook& look) {
  ConfigureHighQualityGraphics(graphics);
  graphics.SetCompositingMode(Gdiplus::CompositingModeSourceOver);

  const float r = static_cast<float>(geometry.drawRadius);
  Gdiplus::SolidBrush fill{Gdiplus::Color(look.fill)};
  Gdiplus::Pen ring(Gdiplus::Color(look.ring), geometry.ringWidth);
  ring.SetAlignment(Gdiplus::PenAlignmentInset);
  const Gdiplus::RectF disc(geometry.drawCenterX - r, geometry.drawCenterY - r, 2 * r, 2 * r);
  graphics.FillEllipse(&fill, disc);
  graphics.DrawEllipse(&ring, disc);

  if (look.drawText) DrawBadgeText(graphics, geometry, look);
}

// Output image to cursor; null when any handle cannot be made.
HCURSOR CursorFromImage(Gdiplus::Bitmap& image, POINT hotspot) {
  HBITMAP colourHandle = nullptr;
  if (image.GetHBITMAP(Gdiplus::Color(0, 0, 0, 0), &colourHandle) != Gdiplus::Ok ||
      colourHandle == nullptr) {
    return nullptr;
  }
  ScopedBitmap colour(colourHandle);
  ScopedBitmap mask(CreateBitmap(static_cast<int>(image.GetWidth()), static_cast<int>(image.GetHeight()),
                                 1, 1, nullptr));
  if (!mask) return nullptr;

  ICONINFO info = {};
  info.fIcon = FALSE;
  info.xHotspot = static_cast<DWORD>(hotspot.x);
  info.yHotspot = static_cast<DWORD>(hotspot.y);
  info.hbmMask = mask.Get();
  info.hbmColor = colour.Get();
  return static_cast<HCURSOR>(CreateIconIndirect(&info));
}

}  // namespace

void ConfigureHighQualityGraphics(Gdiplus::Graphics& graphics) {
  graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
  graphics.SetCompositingQuality(Gdiplus::CompositingQualityHighQuality);
  graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
  graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHighQuality);
}

HCURSOR CreateMirroredSystemCursor(const SystemCursorSpec& spec, size_t index) {
  // Without a private copy, fall back to the shared system cursor (never destroyed here).
  HCURSOR source = index < kSystemCursorCount ? g_app.sourceCursors[index] : nullptr;
  if (source == nullptr) {
    const SIZE target = CurrentCursorTargetSize();
    source = static_cast<HCURSOR>(
        LoadImageW(nullptr, spec.resource, IMAGE_CURSOR, target.cx, target.cy, LR_SHARED));
    if (source == nullptr) source = LoadCursorW(nullptr, spec.resource);
    if (source == nullptr) return nullptr;
  }
  const bool mirrorThis = g_app.leftHanded && spec.mirror;

  const SIZE target = CurrentCursorTargetSize();
  SIZE canvas = target;
  SIZE image = {0, 0};
  UINT hotspotX = 0;  // the source's; clamped to the canvas when the cursor is made
  UINT hotspotY = 0;
  ICONINFO info = {};
  if (GetIconInfo(source, &info)) {
    ScopedBitmap colour(info.hbmColor);
    ScopedBitmap mask(info.hbmMask);
    BITMAP colourBits = {};
    BITMAP maskBits = {};
    const bool hasColour = colour && GetObjectW(colour.Get(), sizeof(colourBits), &colourBits) != 0;
    const bool hasMask =
        !hasColour && mask && GetObjectW(mask.Get(), sizeof(maskBits), &maskBits) != 0;
    const BITMAP* colourRead = hasColour ? &colourBits : nullptr;
    const BITMAP* maskRead = hasMask ? &maskBits : nullptr;
    canvas = ReplacementCanvasSize(target, colourRead, maskRead);
    image = SourceImageSize(colourRead, maskRead);
    hotspotX = info.xHotspot;
    hotspotY = info.yHotspot;
  }
  const int width = static_cast<int>(canvas.cx);
  const int height = static_cast<int>(canvas.cy);

  // The I-beam is copied pixel for pixel, so its hotspot stays where the
  // source has it; DrawIconEx stretches a smaller source, and the hotspot goes with it.
  Gdiplus::Bitmap sourceImage(width, height, PixelFormat32bppARGB);
  if (spec.id != kIbeamCursorId || !DrawMonochromeIbeam(source, sourceImage, width, height)) {
    DrawCursorImage(source, sourceImage, width, height);
    hotspotX = StretchedHotspot(hotspotX, image.cx, canvas.cx);
    hotspotY = StretchedHotspot(hotspotY, image.cy, canvas.cy);
  }

  const BadgeGeometry geometry = ComputeBadgeGeometry(width, height, g_app.badgeStyle, g_app.leftHanded,
                                                      spec.keepBadgeRight != FALSE);
  const BadgeLook look = BadgeLookFor(g_app.badgeStyle, g_app.badgeText);

  Gdiplus::Bitmap output(width, height, PixelFormat32bppARGB);
  Gdiplus::Graphics graphics(&output);
  ConfigureHighQualityGraphics(graphics);
  graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAliasGridFit);
  graphics.Clear(Gdiplus::Color(0, 0, 0, 0));
  if (mirrorThis) {
    graphics.TranslateTransform(static_cast<Gdiplus::REAL>(width), 0, Gdiplus::MatrixOrderPrepend);
    graphics.ScaleTransform(-1, 1, Gdiplus::MatrixOrderPrepend);
    graphics.DrawImage(&sourceImage, 0, 0, width, height);
    graphics.ResetTransform();
  } else {
    graphics.DrawImage(&sourceImage, 0, 0, width, height);
  }

  // The badge is never mirrored, so its text stays readable.
  if (look.drawBadge) DrawBadge(graphics, geometry, look);

  return CursorFromImage(output, ReplacementHotspot(hotspotX, hotspotY, width, height, mirrorThis));
}

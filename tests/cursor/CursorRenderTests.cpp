// Renders real replacement cursors and reads their pixels back.
#include <gtest/gtest.h>

#include <windows.h>

#include <cmath>
#include <cstdlib>
#include <set>
#include <vector>

#include "common/ScopedHandle.h"
#include "cursor/BadgeGeometry.h"
#include "cursor/CursorRender.h"
#include "cursor/LanguageBadge.h"
#include "cursor/SystemCursors.h"
#include "shell/AppState.h"
#include "tests/cursor/CursorTestSupport.h"
#include "tests/support/Platform.h"

using namespace testing_support;

namespace {

constexpr size_t kArrow = 0;
constexpr size_t kIbeam = 1;
constexpr size_t kBusy = 2;
constexpr size_t kCross = 3;
constexpr size_t kHand = 11;

class CursorRender : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureGdiplus();
    g_app = AppState();
    LoadSourceCursors();
  }
  void TearDown() override {
    ReleaseSourceCursors();
    g_app = AppState();
  }

  static CursorPixels Render(size_t index) {
    ScopedCursor cursor(CreateMirroredSystemCursor(kSystemCursorSpecs[index], index));
    CursorPixels pixels;
    EXPECT_TRUE(cursor.IsValid()) << "row " << index;
    if (cursor) {
      EXPECT_TRUE(ReadCursorPixels(cursor.Get(), pixels));
    }
    return pixels;
  }

  static bool Opaque(uint32_t pixel) { return CursorPixels::Alpha(pixel) != 0; }
};

// A size x size cursor, black where ink(x, y) holds: a colour image over its
// AND mask, or only AND and XOR masks (all XOR bits 0), as a classic I-beam.
template <typename Ink>
HCURSOR MakeInkCursor(int size, DWORD hotspotX, DWORD hotspotY, bool colour, Ink ink) {
  const int stride = (size + 15) / 16 * 2;  // mask rows are WORD aligned
  std::vector<uint8_t> masks(static_cast<size_t>(stride) * size * (colour ? 1 : 2), 0);
  void* bits = nullptr;
  ScopedBitmap image;
  if (colour) {
    BITMAPINFO format = {};
    format.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    format.bmiHeader.biWidth = size;
    format.bmiHeader.biHeight = -size;  // top-down
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    image.Reset(CreateDIBSection(nullptr, &format, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!image) return nullptr;
  }
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      if (!ink(x, y)) masks[static_cast<size_t>(y) * stride + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
      if (colour) static_cast<uint32_t*>(bits)[y * size + x] = ink(x, y) ? 0xFF000000u : 0u;
    }
  }
  ScopedBitmap mask(CreateBitmap(size, colour ? size : 2 * size, 1, 1, masks.data()));
  ICONINFO info = {FALSE, hotspotX, hotspotY, mask.Get(), image.Get()};
  return static_cast<HCURSOR>(CreateIconIndirect(&info));
}

// Replaces the private copy of a row, as LoadSourceCursors would have made it.
void SetSourceCursor(size_t index, HCURSOR cursor) {
  DestroyCursor(g_app.sourceCursors[index]);
  g_app.sourceCursors[index] = cursor;
}

struct BadgeArea {
  int inside = 0;
  int fill = 0;
  int light = 0;  // all channels above 200
  int dark = 0;   // all channels below 60
};

// Pixels well inside the ring of the badge drawn on this canvas.
BadgeArea InspectBadge(const CursorPixels& p, const BadgeGeometry& g, uint32_t fill) {
  BadgeArea area;
  const float limit = g.drawRadius - g.ringWidth - 1.5f;
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) {
      const float dx = x + 0.5f - g.drawCenterX;
      const float dy = y + 0.5f - g.drawCenterY;
      if (std::sqrt(dx * dx + dy * dy) >= limit) continue;
      const uint32_t c = p.At(x, y);
      ++area.inside;
      if (c == fill) ++area.fill;
      const int r = (c >> 16) & 0xFF, gr = (c >> 8) & 0xFF, b = c & 0xFF;
      if (r > 200 && gr > 200 && b > 200) ++area.light;
      if (r < 60 && gr < 60 && b < 60) ++area.dark;
    }
  }
  return area;
}

}  // namespace

TEST_F(CursorRender, MirroredRowIsLeftRightMirrorOfPlainRow) {
  g_app.badgeStyle = 0;
  g_app.leftHanded = false;
  const CursorPixels plain = Render(kArrow);
  g_app.leftHanded = true;
  const CursorPixels mirrored = Render(kArrow);
  ASSERT_EQ(plain.width, mirrored.width);
  ASSERT_EQ(plain.height, mirrored.height);
  const int w = plain.width;

  // The arrow is not symmetric, or this test would show nothing.
  int asymmetric = 0;
  for (int y = 0; y < plain.height; ++y)
    for (int x = 0; x < w; ++x) asymmetric += Opaque(plain.At(x, y)) != Opaque(plain.At(w - 1 - x, y));
  ASSERT_GT(asymmetric, 20);

  // Wine's mirrored DrawImage may shift or drop one column.
  auto opaqueNear = [&](const CursorPixels& image, int x, int y) {
    for (int d = -1; d <= 1; ++d) {
      const int at = x + d;
      if (at >= 0 && at < w && Opaque(image.At(at, y))) return true;
    }
    return false;
  };
  int plainOpaque = 0, exact = 0;
  for (int y = 0; y < plain.height; ++y) {
    for (int x = 0; x < w; ++x) {
      if (Opaque(plain.At(x, y))) {
        ++plainOpaque;
        EXPECT_TRUE(opaqueNear(mirrored, w - 1 - x, y)) << x << "," << y;
        exact += plain.At(x, y) == mirrored.At(w - 1 - x, y);
      }
      if (Opaque(mirrored.At(x, y))) {
        EXPECT_TRUE(opaqueNear(plain, w - 1 - x, y)) << x << "," << y;
      }
    }
  }
  ASSERT_GT(plainOpaque, 50);
  if (!WineCannotShow("exact column placement of a mirrored DrawImage")) {
    EXPECT_EQ(exact, plainOpaque);
  }

  // The arrow's tip (hotspot) moves to the other side.
  EXPECT_EQ(plain.hotspot.x, 0);
  EXPECT_EQ(mirrored.hotspot.x, w - 1);
  EXPECT_EQ(mirrored.hotspot.y, plain.hotspot.y);
}

TEST_F(CursorRender, StyleZeroLeavesUnmirroredRowsUnchanged) {
  g_app.badgeStyle = 0;
  g_app.leftHanded = true;
  // The I-beam has a colour image here, so it takes the ordinary path too.
  for (size_t index : {kIbeam, kBusy, kCross}) {
    SCOPED_TRACE(index);
    CursorPixels source;
    ASSERT_TRUE(ReadCursorPixels(g_app.sourceCursors[index], source));
    if (!source.hasColour) continue;
    const CursorPixels out = Render(index);
    ASSERT_EQ(out.width, source.width);
    ASSERT_EQ(out.height, source.height);
    EXPECT_EQ(out.hotspot.x, source.hotspot.x);
    EXPECT_EQ(out.hotspot.y, source.hotspot.y);
    int compared = 0;
    for (int y = 0; y < source.height; ++y) {
      for (int x = 0; x < source.width; ++x) {
        const uint32_t s = source.At(x, y);
        const uint32_t o = out.At(x, y);
        if (CursorPixels::Alpha(s) == 0) {
          EXPECT_EQ(CursorPixels::Alpha(o), 0) << x << "," << y;
        } else if (CursorPixels::Alpha(s) == 255) {
          EXPECT_EQ(o, s) << x << "," << y;
          ++compared;
        }
      }
    }
    EXPECT_GT(compared, 20);
  }
}

TEST_F(CursorRender, BadgeStylesFillTheDisc) {
  g_app.leftHanded = false;
  g_app.badgeText = L"DE";
  const uint32_t german = LanguageColor(L"DE");

  for (int size : {32, 64}) {
    SCOPED_TRACE(size);
    DestroyCursor(g_app.sourceCursors[kBusy]);
    g_app.sourceCursors[kBusy] = static_cast<HCURSOR>(
        LoadImageW(nullptr, MAKEINTRESOURCEW(32514), IMAGE_CURSOR, size, size, 0));
    ASSERT_NE(g_app.sourceCursors[kBusy], nullptr);

    // Dot: the whole inside of the ring is the language colour, no text.
    g_app.badgeStyle = 2;
    const CursorPixels dot = Render(kBusy);
    ASSERT_EQ(dot.width, size);
    BadgeGeometry g = ComputeBadgeGeometry(size, size, 2, false, true);
    EXPECT_EQ(dot.At(static_cast<int>(g.drawCenterX), static_cast<int>(g.drawCenterY)), german);
    BadgeArea area = InspectBadge(dot, g, german);
    EXPECT_GT(area.inside, 50);
    EXPECT_EQ(area.fill, area.inside);

    // Letter: language colour with white text on it.
    g_app.badgeStyle = 1;
    area = InspectBadge(Render(kBusy), g, german);
    EXPECT_GT(area.fill, area.inside / 5);
    EXPECT_LT(area.fill, area.inside);
    EXPECT_GT(area.light, size / 8) << "badge text missing";

    // High contrast: yellow whatever the language, black text.
    g_app.badgeStyle = 3;
    g = ComputeBadgeGeometry(size, size, 3, false, true);
    area = InspectBadge(Render(kBusy), g, 0xFFFFD60A);
    EXPECT_GT(area.fill, area.inside / 5);
    EXPECT_GT(area.dark, size / 8) << "badge text missing";
  }
}

TEST_F(CursorRender, BadgeMovesLeftOnlyForRowsThatDoNotKeepIt) {
  g_app.badgeStyle = 2;
  g_app.badgeText = L"En";
  g_app.leftHanded = true;
  const uint32_t blue = LanguageColor(L"En");
  for (size_t index : {kArrow, kHand, kBusy}) {
    SCOPED_TRACE(index);
    const CursorPixels p = Render(index);
    const BadgeGeometry left = ComputeBadgeGeometry(p.width, p.height, 2, true, false);
    const BadgeGeometry right = ComputeBadgeGeometry(p.width, p.height, 2, true, true);
    const int y = static_cast<int>(left.drawCenterY);
    // Just inside the ring at the outer side of each placement.
    const int leftEdge = static_cast<int>(left.drawCenterX) - left.drawRadius + 2;
    const int rightEdge = static_cast<int>(right.drawCenterX) + right.drawRadius - 2;
    const bool keepRight = kSystemCursorSpecs[index].keepBadgeRight != FALSE;
    EXPECT_EQ(p.At(keepRight ? rightEdge : leftEdge, y), blue);
    EXPECT_NE(p.At(keepRight ? leftEdge : rightEdge, y), blue);
  }
}

TEST_F(CursorRender, LargerSourceGrowsCanvasSmallerIsStretched) {
  g_app.badgeStyle = 0;
  g_app.leftHanded = false;
  DestroyCursor(g_app.sourceCursors[kBusy]);
  g_app.sourceCursors[kBusy] = static_cast<HCURSOR>(LoadImageW(nullptr, MAKEINTRESOURCEW(32514), IMAGE_CURSOR, 48, 48, 0));
  ASSERT_NE(g_app.sourceCursors[kBusy], nullptr);
  CursorPixels source;
  ASSERT_TRUE(ReadCursorPixels(g_app.sourceCursors[kBusy], source));
  CursorPixels out = Render(kBusy);
  EXPECT_EQ(out.width, 48);
  EXPECT_EQ(out.height, 48);
  EXPECT_EQ(out.hotspot.x, source.hotspot.x);
  EXPECT_EQ(out.hotspot.y, source.hotspot.y);

  const SIZE target = CurrentCursorTargetSize();
  DestroyCursor(g_app.sourceCursors[kBusy]);
  g_app.sourceCursors[kBusy] = static_cast<HCURSOR>(LoadImageW(nullptr, MAKEINTRESOURCEW(32514), IMAGE_CURSOR, 24, 24, 0));
  ASSERT_NE(g_app.sourceCursors[kBusy], nullptr);
  out = Render(kBusy);
  EXPECT_EQ(out.width, target.cx);
  EXPECT_EQ(out.height, target.cy);
}

TEST_F(CursorRender, StretchedSourceKeepsHotspotOnTheShape) {
  constexpr int kSource = 24;  // smaller than the target size
  // A colour cross with 3 px bars, stretched by the normal path.
  SetSourceCursor(kArrow, MakeInkCursor(kSource, 12, 12, true, [](int x, int y) {
                    const int dx = std::abs(x - 12), dy = std::abs(y - 12);
                    return (dx <= 1 && dy <= 10) || (dy <= 1 && dx <= 10);
                  }));
  // A monochrome I-beam, copied pixel for pixel: its beam stays in column 12.
  SetSourceCursor(kIbeam,
                  MakeInkCursor(kSource, 12, 12, false, [](int x, int y) { return x == 12 && y >= 2 && y <= 21; }));
  ASSERT_NE(g_app.sourceCursors[kArrow], nullptr);
  ASSERT_NE(g_app.sourceCursors[kIbeam], nullptr);

  g_app.badgeStyle = 0;
  for (bool leftHanded : {false, true}) {  // the arrow row is mirrored when left-handed
    SCOPED_TRACE(leftHanded);
    g_app.leftHanded = leftHanded;
    const CursorPixels out = Render(kArrow);
    ASSERT_GT(out.width, kSource);
    ASSERT_GT(out.height, kSource);
    // The drawn bars are the columns (axis 0) and rows (axis 1) that are mostly opaque.
    double sum[2] = {};
    int lines[2] = {};
    for (int axis = 0; axis < 2; ++axis) {
      const int count = axis == 0 ? out.width : out.height, across = axis == 0 ? out.height : out.width;
      for (int i = 0; i < count; ++i) {
        int opaque = 0;
        for (int j = 0; j < across; ++j) opaque += Opaque(axis == 0 ? out.At(i, j) : out.At(j, i));
        if (opaque > across / 2) sum[axis] += i, ++lines[axis];
      }
    }
    ASSERT_GT(lines[0], 0);
    ASSERT_GT(lines[1], 0);
    // One pixel of slack for the stretch and for a mirrored DrawImage.
    EXPECT_NEAR(out.hotspot.x, sum[0] / lines[0], 1.0);
    EXPECT_NEAR(out.hotspot.y, sum[1] / lines[1], 1.0);

    const CursorPixels ibeam = Render(kIbeam);
    ASSERT_GT(ibeam.width, kSource);
    EXPECT_EQ(ibeam.hotspot.x, 12);
    EXPECT_EQ(ibeam.hotspot.y, 12);
    EXPECT_EQ(ibeam.At(ibeam.hotspot.x, ibeam.hotspot.y), 0xFF000000u);
  }
}

TEST_F(CursorRender, MissingCopyFallsBackToSystemCursor) {
  g_app.badgeStyle = 1;
  DestroyCursor(g_app.sourceCursors[kCross]);
  g_app.sourceCursors[kCross] = nullptr;
  const CursorPixels out = Render(kCross);
  EXPECT_EQ(out.width, CurrentCursorTargetSize().cx);

  // A shape the platform cannot load at all gives no cursor.
  for (size_t index = 0; index < kSystemCursorCount; ++index) {
    if (LoadCursorW(nullptr, kSystemCursorSpecs[index].resource) != nullptr) continue;
    EXPECT_EQ(g_app.sourceCursors[index], nullptr);
    EXPECT_EQ(CreateMirroredSystemCursor(kSystemCursorSpecs[index], index), nullptr) << index;
  }
}

TEST_F(CursorRender, MonochromeIbeamBecomesBlackInkWithWhiteHalo) {
  constexpr int kSize = 32;
  // Mask only: AND rows 0..31 over XOR rows 32..63; 4 bytes per row, MSB first.
  std::vector<uint8_t> bits(kSize * 2 * 4, 0);
  auto setBit = [&](int x, int y, bool on) {
    uint8_t& byte = bits[static_cast<size_t>(y) * 4 + x / 8];
    const uint8_t mask = static_cast<uint8_t>(0x80 >> (x % 8));
    byte = on ? (byte | mask) : (byte & ~mask);
  };
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) setBit(x, y, true);  // AND 1: transparent
  std::set<std::pair<int, int>> ink;
  for (int y = 5; y <= 20; ++y) {  // inverting bar: AND 1, XOR 1
    setBit(10, kSize + y, true);
    ink.insert({10, y});
  }
  setBit(20, 10, false);  // black: AND 0, XOR 0
  ink.insert({20, 10});
  setBit(31, 31, false);  // white in the corner: AND 0, XOR 1
  setBit(31, kSize + 31, true);
  ink.insert({31, 31});

  ScopedBitmap mask(CreateBitmap(kSize, kSize * 2, 1, 1, bits.data()));
  ASSERT_TRUE(mask.IsValid());
  ICONINFO info = {};
  info.fIcon = FALSE;
  info.xHotspot = 10;
  info.yHotspot = 12;
  info.hbmMask = mask.Get();
  HCURSOR monochrome = static_cast<HCURSOR>(CreateIconIndirect(&info));
  ASSERT_NE(monochrome, nullptr);
  DestroyCursor(g_app.sourceCursors[kIbeam]);
  g_app.sourceCursors[kIbeam] = monochrome;

  g_app.leftHanded = true;
  g_app.badgeStyle = 0;
  const CursorPixels out = Render(kIbeam);
  ASSERT_EQ(out.width, kSize);
  ASSERT_EQ(out.height, kSize);
  EXPECT_EQ(out.hotspot.x, 10);
  EXPECT_EQ(out.hotspot.y, 12);

  int haloCount = 0;
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      const uint32_t c = out.At(x, y);
      if (ink.count({x, y})) {
        EXPECT_EQ(c, 0xFF000000u) << x << "," << y;
        continue;
      }
      bool neighbour = false;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) neighbour = neighbour || ink.count({x + dx, y + dy});
      if (!neighbour) {
        EXPECT_EQ(CursorPixels::Alpha(c), 0) << x << "," << y;
        continue;
      }
      ++haloCount;
      EXPECT_EQ(CursorPixels::Alpha(c), 220) << x << "," << y;
      // White, stored premultiplied or not.
      for (int shift : {16, 8, 0}) {
        const int channel = static_cast<int>((c >> shift) & 0xFF);
        EXPECT_TRUE(channel == 220 || channel == 255) << std::hex << c << " at " << std::dec << x << "," << y;
      }
    }
  }
  // Bar: 3 x 18 minus its 16 ink pixels = 38; black pixel 8; corner 3.
  EXPECT_EQ(haloCount, 38 + 8 + 3);
}

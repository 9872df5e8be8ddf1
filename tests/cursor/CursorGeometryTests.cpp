// Badge placement, sizes, hotspots and the other plain arithmetic of the cursor engine.
#include <gtest/gtest.h>

#include <windows.h>

#include <cmath>
#include <vector>

#include "cursor/BadgeGeometry.h"
#include "cursor/CursorApplyPlan.h"
#include "cursor/LanguageBadge.h"
#include "cursor/SystemCursors.h"

TEST(BadgeGeometry_Compute, PlacesBadgeOnSquareCanvases) {
  struct Case {
    int size;
    float radius, extent;
    float rightX, leftX, y;
    float ringLetter, ringContrast;
    float textMax, textMin;
  } cases[] = {
      {32, 9, 11, 19, 13, 20, 1, 2, 12, 7},
      {64, 18, 22, 38, 26, 41, 3, 4, 24, 14},
      {256, 72, 85, 152, 104, 162, 10, 14, 95, 55},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    const BadgeGeometry right = ComputeBadgeGeometry(c.size, c.size, 1, true, true);
    EXPECT_EQ(right.radius, c.radius);
    EXPECT_EQ(right.drawRadius, static_cast<int>(c.radius));
    EXPECT_EQ(right.extent, c.extent);
    EXPECT_EQ(right.drawCenterX, c.rightX);
    EXPECT_EQ(right.drawCenterY, c.y);
    EXPECT_EQ(right.ringWidth, c.ringLetter);
    EXPECT_EQ(right.textSizeMax, c.textMax);
    EXPECT_EQ(right.textSizeMin, c.textMin);

    const BadgeGeometry left = ComputeBadgeGeometry(c.size, c.size, 1, true, false);
    EXPECT_EQ(left.drawCenterX, c.leftX);
    EXPECT_EQ(left.drawCenterY, c.y);

    // Right-handed mode keeps every badge right, whatever the row says.
    EXPECT_EQ(ComputeBadgeGeometry(c.size, c.size, 1, false, false).drawCenterX, c.rightX);
    EXPECT_EQ(ComputeBadgeGeometry(c.size, c.size, 2, true, true).ringWidth, c.ringLetter);
    EXPECT_EQ(ComputeBadgeGeometry(c.size, c.size, 3, true, true).ringWidth, c.ringContrast);
  }
}

TEST(BadgeGeometry_Compute, DownwardShiftIsClampedOnlyOnSmallCanvases) {
  // At 32 px the 10 px push ends at the lower clamp; at 256 px it shows in full.
  const BadgeGeometry small = ComputeBadgeGeometry(32, 32, 1, false, true);
  EXPECT_EQ(small.centerY, 32 - small.extent - 1);
  const BadgeGeometry large = ComputeBadgeGeometry(256, 256, 1, false, true);
  EXPECT_LT(large.centerY, 256 - large.extent - 1);
  EXPECT_NEAR(large.centerY, 152.16f + 10, 0.01f);
}

TEST(BadgeGeometry_Compute, CentresBadgeWhenCanvasIsTooSmall) {
  // R is at least 9, so a 16 px canvas cannot hold it between the clamps.
  const BadgeGeometry g = ComputeBadgeGeometry(16, 16, 1, true, false);
  EXPECT_EQ(g.centerX, 8);
  EXPECT_EQ(g.centerY, 8);
}

TEST(BadgeGeometry_Compute, NonSquareCanvasUsesLongerSideForRadius) {
  const BadgeGeometry g = ComputeBadgeGeometry(32, 64, 1, false, true);
  EXPECT_EQ(g.radius, 18);
  // Horizontally E + 1 = 23 exceeds W - E - 1 = 9: centred. Vertically the clamp holds.
  EXPECT_EQ(g.centerX, 16);
  EXPECT_EQ(g.centerY, 41);
}

TEST(BadgeGeometry_BadgeLookFor, StylesChooseColoursAndText) {
  const BadgeLook none = BadgeLookFor(0, L"DE");
  EXPECT_FALSE(none.drawBadge);

  const BadgeLook letter = BadgeLookFor(1, L"DE");
  EXPECT_TRUE(letter.drawBadge);
  EXPECT_TRUE(letter.drawText);
  EXPECT_EQ(letter.fill, 0xFF386CC7u);
  EXPECT_EQ(letter.ring, 0xB4FFFFFFu);
  EXPECT_EQ(letter.text, 0xFFFFFFFFu);
  EXPECT_EQ(letter.shadow, 0xBE000000u);

  const BadgeLook dot = BadgeLookFor(2, L"DE");
  EXPECT_TRUE(dot.drawBadge);
  EXPECT_FALSE(dot.drawText);
  EXPECT_EQ(dot.fill, 0xFF386CC7u);

  const BadgeLook contrast = BadgeLookFor(3, L"DE");
  EXPECT_TRUE(contrast.drawText);
  EXPECT_EQ(contrast.fill, 0xFFFFD60Au);
  EXPECT_EQ(contrast.ring, 0xE6000000u);
  EXPECT_EQ(contrast.text, 0xFF000000u);
  EXPECT_EQ(contrast.shadow, 0xD2FFFFFFu);
  EXPECT_EQ(BadgeLookFor(3, L"En").fill, contrast.fill);

  // Unknown styles draw as letters.
  const BadgeLook odd = BadgeLookFor(7, L"En");
  EXPECT_TRUE(odd.drawText);
  EXPECT_EQ(odd.fill, 0xFF2B7CFFu);
}

TEST(BadgeGeometry_FitBadgeTextSize, StepsDownByHalfPixelsUntilTextFits) {
  const BadgeGeometry g = ComputeBadgeGeometry(64, 64, 1, false, true);  // r 18, sizes 24..14
  std::vector<float> tried;
  // Width grows with the size: fits once 1.5 x size <= 1.72 x 18 = 30.96, at 20.5.
  const float size = FitBadgeTextSize(g, [&](float s, TextBox& box) {
    tried.push_back(s);
    box.width = 1.5f * s;
    box.height = s;
    return true;
  });
  EXPECT_EQ(size, 20.5f);
  ASSERT_FALSE(tried.empty());
  EXPECT_EQ(tried.front(), 24.0f);
  EXPECT_EQ(tried.size(), 8u);
}

TEST(BadgeGeometry_FitBadgeTextSize, EndsAtSmallestSizeWithoutMeasuringIt) {
  const BadgeGeometry g = ComputeBadgeGeometry(32, 32, 1, false, true);  // 12..7
  std::vector<float> tried;
  const float size = FitBadgeTextSize(g, [&](float s, TextBox& box) {
    tried.push_back(s);
    box.width = 100;
    box.height = 5;
    return true;
  });
  EXPECT_EQ(size, 7.0f);
  ASSERT_FALSE(tried.empty());
  EXPECT_EQ(tried.back(), 7.5f);
}

TEST(BadgeGeometry_FitBadgeTextSize, FailedMeasurementKeepsEarlierBox) {
  const BadgeGeometry g = ComputeBadgeGeometry(32, 32, 1, false, true);
  // Nothing can be measured: the first size counts as fitting.
  EXPECT_EQ(FitBadgeTextSize(g, [](float, TextBox&) { return false; }), 12.0f);

  // One too-large measurement, then failures: the old box keeps it too large.
  int calls = 0;
  const float size = FitBadgeTextSize(g, [&](float, TextBox& box) {
    if (calls++ > 0) return false;
    box.width = 100;
    box.height = 100;
    return true;
  });
  EXPECT_EQ(size, 7.0f);
}

TEST(BadgeGeometry_ReplacementHotspot, ClampsThenMirrors) {
  struct Case {
    UINT x, y;
    int w, h;
    bool mirrored;
    LONG ex, ey;
  } cases[] = {
      {31, 5, 32, 32, true, 0, 5},   {0, 0, 32, 32, true, 31, 0},  {0, 0, 32, 32, false, 0, 0},
      {40, 50, 32, 32, false, 31, 31}, {40, 50, 32, 32, true, 0, 31}, {7, 18, 64, 64, true, 56, 18},
  };
  for (const Case& c : cases) {
    const POINT p = ReplacementHotspot(c.x, c.y, c.w, c.h, c.mirrored);
    EXPECT_EQ(p.x, c.ex) << c.x << "," << c.y << " mirrored " << c.mirrored;
    EXPECT_EQ(p.y, c.ey) << c.x << "," << c.y << " mirrored " << c.mirrored;
  }
}

TEST(BadgeGeometry_StretchedHotspot, ScalesOnlyWithAStretchedImage) {
  BITMAP mask = {};
  mask.bmWidth = 24;
  mask.bmHeight = 48;  // mask-only source: one half is the image
  const SIZE maskImage = SourceImageSize(nullptr, &mask);
  struct Case {
    UINT hotspot;
    LONG source, canvas;
    UINT expected;
  } cases[] = {
      {12, 24, 32, 16}, {11, 24, 32, 14}, {0, 24, 32, 0}, {30, 24, 32, 40},  // stretched, rounded down
      {15, 32, 32, 15}, {30, 48, 48, 30}, {7, 0, 32, 7},                     // unstretched or unread
      {12, maskImage.cx, 32, 16}, {12, maskImage.cy, 32, 16}, {0xFFFFFFFF, 1, 2, 0xFFFFFFFF},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(StretchedHotspot(c.hotspot, c.source, c.canvas), c.expected)
        << c.hotspot << " from " << c.source << " to " << c.canvas;
  }
}

TEST(BadgeGeometry_ReplacementCanvasSize, GrowsToSourceBitmap) {
  const SIZE target{32, 32};
  BITMAP colour = {};
  colour.bmWidth = 48;
  colour.bmHeight = 48;
  SIZE s = ReplacementCanvasSize(target, &colour, nullptr);
  EXPECT_EQ(s.cx, 48);
  EXPECT_EQ(s.cy, 48);

  colour.bmWidth = 24;
  colour.bmHeight = 24;  // smaller sources are stretched to the target
  s = ReplacementCanvasSize(target, &colour, nullptr);
  EXPECT_EQ(s.cx, 32);
  EXPECT_EQ(s.cy, 32);

  BITMAP mask = {};
  mask.bmWidth = 48;
  mask.bmHeight = 96;  // AND and XOR halves stacked
  s = ReplacementCanvasSize(target, nullptr, &mask);
  EXPECT_EQ(s.cx, 48);
  EXPECT_EQ(s.cy, 48);

  mask.bmHeight = 3;
  s = ReplacementCanvasSize(SIZE{1, 1}, nullptr, &mask);
  EXPECT_EQ(s.cy, 1);

  s = ReplacementCanvasSize(target, nullptr, nullptr);
  EXPECT_EQ(s.cx, 32);
  EXPECT_EQ(s.cy, 32);
}

TEST(SystemCursors_CursorTargetSize, TakesHighestDpiAndLargestMetric) {
  struct Case {
    CursorDpiAnswers dpi;
    CursorMetricAnswers metrics;
    UINT expectedDpi;
    LONG cx, cy;
  } cases[] = {
      // Nothing looked up answers: 96 DPI, 32 px metrics.
      {{0, 0, 0}, {32, 32, 0, 0}, 96, 32, 32},
      // Window at 144: base 48; a smaller per-DPI metric leaves 48, a larger one wins.
      {{144, 96, 96}, {32, 32, 40, 40}, 144, 48, 48},
      {{144, 96, 96}, {32, 32, 64, 64}, 144, 64, 64},
      // A window answer below 96 is raised to 96; 0 is ignored.
      {{72, 0, 0}, {32, 32, 0, 0}, 96, 32, 32},
      {{0, 120, 0}, {32, 32, 0, 0}, 120, 40, 40},
      {{0, 0, 192}, {0, 0, 0, 0}, 192, 64, 64},
      // Width and height are independent.
      {{96, 96, 96}, {48, 32, 0, 40}, 96, 48, 40},
      // Current metrics above the DPI size are kept.
      {{96, 96, 96}, {64, 64, 32, 32}, 96, 64, 64},
      // Negative metrics count as 1.
      {{96, 96, -5}, {-1, -1, -1, -1}, 96, 32, 32},
  };
  for (const Case& c : cases) {
    const UINT dpi = CursorDpiFrom(c.dpi);
    EXPECT_EQ(dpi, c.expectedDpi);
    const SIZE size = CursorTargetSizeFrom(dpi, c.metrics);
    EXPECT_EQ(size.cx, c.cx) << "dpi " << dpi;
    EXPECT_EQ(size.cy, c.cy) << "dpi " << dpi;
  }
}

TEST(SystemCursors_CursorTargetSize, CurrentSizeMatchesThisDisplay) {
  const SIZE size = CurrentCursorTargetSize();
  EXPECT_GE(size.cx, GetSystemMetrics(SM_CXCURSOR));
  EXPECT_GE(size.cy, GetSystemMetrics(SM_CYCURSOR));
  HDC dc = GetDC(nullptr);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
  ReleaseDC(nullptr, dc);
  EXPECT_GE(size.cx, MulDiv(32, dpi, 96));
}

TEST(SystemCursors_Table, HoldsSixteenRowsInInstallOrder) {
  const DWORD ids[] = {32512, 32513, 32514, 32515, 32516, 32642, 32643, 32644,
                       32645, 32646, 32648, 32649, 32650, 32651, 32671, 32672};
  const bool mirrored[] = {1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1, 1, 1, 0, 0};
  const bool keepRight[] = {0, 1, 1, 1, 0, 1, 1, 1, 1, 1, 1, 1, 0, 0, 1, 1};
  for (size_t i = 0; i < kSystemCursorCount; ++i) {
    EXPECT_EQ(kSystemCursorSpecs[i].id, ids[i]) << i;
    EXPECT_EQ(kSystemCursorSpecs[i].resource, MAKEINTRESOURCEW(ids[i])) << i;
    EXPECT_EQ(kSystemCursorSpecs[i].mirror, mirrored[i]) << i;
    EXPECT_EQ(kSystemCursorSpecs[i].keepBadgeRight != FALSE, keepRight[i]) << i;
  }
}

TEST(CursorApplyPlan_DecideCursorApply, FollowsPreferences) {
  using A = CursorApplyAction;
  EXPECT_EQ(DecideCursorApply(false, true, 1), A::RestoreSuppressed);
  EXPECT_EQ(DecideCursorApply(false, false, 0), A::RestoreSuppressed);
  EXPECT_EQ(DecideCursorApply(true, false, 0), A::RestoreSystemSet);
  EXPECT_EQ(DecideCursorApply(true, true, 0), A::InstallReplacements);
  for (int32_t style : {1, 2, 3, 9}) {
    EXPECT_EQ(DecideCursorApply(true, false, style), A::InstallReplacements);
    EXPECT_EQ(DecideCursorApply(true, true, style), A::InstallReplacements);
  }
}

TEST(CursorApplyPlan_AbsoluteMoveCoordinate, MapsPixelCentresOntoTheVirtualDesk) {
  EXPECT_EQ(AbsoluteMoveCoordinate(960, 0, 1920), 32785);
  EXPECT_EQ(AbsoluteMoveCoordinate(540, 0, 1080), 32798);
  EXPECT_EQ(AbsoluteMoveCoordinate(-1920, -1920, 3840), 8);
  EXPECT_EQ(AbsoluteMoveCoordinate(0, 0, 1920), 17);
  // Outside the desk: clamped to the first and last pixel.
  EXPECT_EQ(AbsoluteMoveCoordinate(-50, 0, 1920), 17);
  EXPECT_EQ(AbsoluteMoveCoordinate(5000, 0, 1920), 1919 * 65536 / 1920 + 17);
  EXPECT_EQ(AbsoluteMoveCoordinate(7, 7, 1), 32768);
}

#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "cursor/LanguageBadge.h"

// Where and how large the language badge is drawn on a W x H canvas.
struct BadgeGeometry {
  float radius = 0;   // R before rounding
  float margin = 0;   // M
  float extent = 0;   // E: radius plus room for the ring
  float centerX = 0;  // after moving inwards and clamping
  float centerY = 0;
  int drawRadius = 0;   // r: rounded radius used for drawing
  float drawCenterX = 0;  // rounded centre used for drawing
  float drawCenterY = 0;
  float ringWidth = 0;
  float textSizeMax = 0;  // first font size tried
  float textSizeMin = 0;  // smallest font size
};

// badgeOnLeft: left-handed mode on a row whose badge does not keep right.
BadgeGeometry ComputeBadgeGeometry(int width, int height, int32_t style, bool leftHanded,
                                   bool keepBadgeRight);

// Colours of a badge style; style 0 draws nothing, unknown styles draw as 1.
struct BadgeLook {
  bool drawBadge = false;
  bool drawText = false;
  BadgeArgb fill = 0;
  BadgeArgb ring = 0;
  BadgeArgb text = 0;
  BadgeArgb shadow = 0;
};
BadgeLook BadgeLookFor(int32_t style, const std::wstring& badgeText);

// Final hotspot of a replacement cursor: clamped to the canvas, then
// mirrored with the shape.
POINT ReplacementHotspot(UINT hotspotX, UINT hotspotY, int width, int height, bool mirrored);

// Canvas of a replacement: at least the target size, grown to the source
// bitmap. Pass the colour bitmap, or else the mask (its two halves are
// stacked), or neither.
SIZE ReplacementCanvasSize(SIZE target, const BITMAP* colour, const BITMAP* mask);

// Size of the source image as the canvas is grown to it; {0, 0} when
// neither bitmap was read. Arguments as for ReplacementCanvasSize.
SIZE SourceImageSize(const BITMAP* colour, const BITMAP* mask);

// One hotspot coordinate of a source whose image is stretched from
// sourceExtent to canvasExtent pixels: scaled with the image (rounded down)
// so it stays on the same point of the shape. Unstretched, it is unchanged.
UINT StretchedHotspot(UINT hotspot, LONG sourceExtent, LONG canvasExtent);

struct TextBox {
  float width = 0;
  float height = 0;
};

// Largest font size, stepping down by half a pixel from the geometry's
// maximum, whose measured box fits the disc. measure(size, box) returns
// false when it cannot measure; box keeps its earlier value then.
template <class Measure>
float FitBadgeTextSize(const BadgeGeometry& geometry, Measure measure) {
  const float r = static_cast<float>(geometry.drawRadius);
  float size = geometry.textSizeMax;
  const float smallest = geometry.textSizeMin;
  TextBox box;
  while (size > smallest) {
    TextBox measured = box;
    if (measure(size, measured)) box = measured;
    if (box.width <= 1.72f * r && box.height <= 1.5f * r) return size;
    size = size - 0.5f > smallest ? size - 0.5f : smallest;
  }
  return smallest;
}

#include "cursor/BadgeGeometry.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

float Clamp(float value, float lo, float hi) { return std::min(std::max(value, lo), hi); }

}  // namespace

BadgeGeometry ComputeBadgeGeometry(int width, int height, int32_t style, bool leftHanded,
                                   bool keepBadgeRight) {
  BadgeGeometry g;
  const float w = static_cast<float>(width);
  const float h = static_cast<float>(height);
  const float m = static_cast<float>(std::max(width, height));
  g.radius = std::max(9.0f, std::round(0.28f * m));
  g.margin = std::max(1.0f, 0.03f * m);

  float cx = w - g.radius - g.margin;
  if (leftHanded && !keepBadgeRight) cx = g.margin + g.radius;
  float cy = h - g.radius - g.margin;
  // Halfway towards the middle keeps the badge clear of the shape's tip.
  cx = w / 2 + (cx - w / 2) * 0.5f;
  cy = h / 2 + (cy - h / 2) * 0.5f;

  if (style != 0) {
    g.extent = g.radius + std::max(2.0f, std::ceil(0.18f * g.radius));
    float lo = g.extent + 1;
    float hi = w - g.extent - 1;
    cx = lo > hi ? w / 2 : Clamp(cx, lo, hi);
    lo = g.extent + 1;
    hi = h - g.extent - 1;
    // A fixed 10 px push downwards, not scaled with the canvas.
    cy = lo > hi ? h / 2 : Clamp(cy + 10, lo, hi);
  }
  g.centerX = cx;
  g.centerY = cy;

  g.drawRadius = std::max(1, static_cast<int>(std::round(g.radius)));
  g.drawCenterX = std::round(cx);
  g.drawCenterY = std::round(cy);
  const float r = static_cast<float>(g.drawRadius);
  g.ringWidth = style == 3 ? std::max(2.0f, std::round(0.2f * r))
                           : std::max(1.0f, std::round(0.14f * r));
  g.textSizeMax = std::max(8.0f, std::round(1.32f * r));
  g.textSizeMin = std::max(7.0f, std::round(0.76f * r));
  return g;
}

BadgeLook BadgeLookFor(int32_t style, const std::wstring& badgeText) {
  BadgeLook look;
  if (style == 0) return look;
  look.drawBadge = true;
  if (style == 3) {
    look.drawText = true;
    look.fill = 0xFFFFD60A;
    look.ring = 0xE6000000;
    look.text = 0xFF000000;
    look.shadow = 0xD2FFFFFF;
    return look;
  }
  look.drawText = style != 2;
  look.fill = LanguageColor(badgeText);
  look.ring = 0xB4FFFFFF;
  look.text = 0xFFFFFFFF;
  look.shadow = 0xBE000000;
  return look;
}

POINT ReplacementHotspot(UINT hotspotX, UINT hotspotY, int width, int height, bool mirrored) {
  const UINT maxX = width > 0 ? static_cast<UINT>(width - 1) : 0;
  const UINT maxY = height > 0 ? static_cast<UINT>(height - 1) : 0;
  UINT x = std::min(hotspotX, maxX);
  if (mirrored) x = maxX - x;
  POINT hotspot;
  hotspot.x = static_cast<LONG>(x);
  hotspot.y = static_cast<LONG>(std::min(hotspotY, maxY));
  return hotspot;
}

SIZE SourceImageSize(const BITMAP* colour, const BITMAP* mask) {
  SIZE size{0, 0};
  if (colour != nullptr) {
    size.cx = colour->bmWidth > 0 ? colour->bmWidth : 1;
    size.cy = colour->bmHeight > 0 ? colour->bmHeight : 1;
  } else if (mask != nullptr) {
    size.cx = mask->bmWidth > 0 ? mask->bmWidth : 1;
    size.cy = mask->bmHeight > 3 ? mask->bmHeight / 2 : 1;
  }
  return size;
}

SIZE ReplacementCanvasSize(SIZE target, const BITMAP* colour, const BITMAP* mask) {
  const SIZE source = SourceImageSize(colour, mask);
  return SIZE{std::max(target.cx, source.cx), std::max(target.cy, source.cy)};
}

UINT StretchedHotspot(UINT hotspot, LONG sourceExtent, LONG canvasExtent) {
  if (sourceExtent <= 0 || sourceExtent >= canvasExtent) return hotspot;
  const uint64_t scaled = static_cast<uint64_t>(hotspot) * static_cast<uint64_t>(canvasExtent) /
                          static_cast<uint64_t>(sourceExtent);
  return static_cast<UINT>(std::min<uint64_t>(scaled, UINT_MAX));
}

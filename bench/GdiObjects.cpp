#include <windows.h>

#include "bench/Bench.h"

namespace bench {

namespace {

constexpr ULONG_PTR kGdiHandleIndexLimit = 0x10000;

}  // namespace

unsigned GdiObjectCount() {
  const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  if (counted != 0) return counted;
  // Wine does not count (0, error 203). Its GDI handles carry their table
  // index in the low word and resolve from it alone, so the live ones can be
  // found by asking each index for its type.
  unsigned live = 0;
  for (ULONG_PTR index = 1; index < kGdiHandleIndexLimit; ++index) {
    if (GetObjectType(reinterpret_cast<HGDIOBJ>(index)) != 0) ++live;
  }
  return live;
}

}  // namespace bench

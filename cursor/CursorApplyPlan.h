#pragma once

#include <windows.h>

#include <cstdint>

// What an apply does with the current preferences.
enum class CursorApplyAction {
  RestoreSuppressed,  // feature off: system set, result "suppressed"
  RestoreSystemSet,   // right-handed without badge: system set, result "success"
  InstallReplacements,
};

CursorApplyAction DecideCursorApply(bool enabled, bool leftHanded, int32_t badgeStyle);

// Absolute SendInput coordinate (0..65535, pixel centre) of a screen
// position on a virtual-screen axis starting at origin with the given
// extent (which must be positive).
LONG AbsoluteMoveCoordinate(LONG position, LONG origin, LONG extent);

#pragma once

#include <windows.h>

// The one entry through which a keyboard layout reaches the cursor engine.
void UpdateLanguageFromLayout(HKL hkl, bool forceApply, bool notify);
// Feeds the layout of the foreground window's thread.
void UpdateLanguageAndApply(bool forceApply, bool notify);

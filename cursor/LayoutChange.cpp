#include "cursor/LayoutChange.h"

#include "common/Time.h"
#include "cursor/CursorSet.h"
#include "cursor/LanguageBadge.h"
#include "shell/AppState.h"
#include "shell/ForegroundLayout.h"
#include "shell/TrayIcon.h"
#include "telemetry/IdentityMetadata.h"

void UpdateLanguageFromLayout(HKL hkl, bool forceApply, bool /*notify*/) {
  if (hkl != nullptr) {
    // The first layout seen is the starting point, not a change.
    if (g_app.lastKeyboardLayout != nullptr && g_app.lastKeyboardLayout != hkl) {
      g_app.activityCount += 1;
      g_app.lastSeenUnix = CurrentUnixTime();
      PersistTelemetryMetadata();
    }
    g_app.lastKeyboardLayout = hkl;
  }

  const LANGID language = LOWORD(reinterpret_cast<ULONG_PTR>(hkl));
  std::wstring badge = BadgeFromLocaleName(LocaleNameFromLangId(language));
  if (badge == g_app.badgeText) {
    if (!forceApply) return;
    g_app.badgeText = std::move(badge);
    ApplyCurrentCursors(false);
    RefreshTrayIcon();
    return;
  }

  g_app.badgeText = std::move(badge);
  ApplyCurrentCursors(true);
  RefreshTrayIcon();
}

void UpdateLanguageAndApply(bool forceApply, bool notify) {
  UpdateLanguageFromLayout(ForegroundKeyboardLayout(), forceApply, notify);
}

#include "shell/Preferences.h"

#include "common/Registry.h"
#include "common/ScopedHandle.h"
#include "common/Text.h"
#include "shell/AppState.h"
#include "shell/ShellConstants.h"

namespace {

struct BadgeStyleAlias {
  const wchar_t* name;
  int32_t style;
};

constexpr BadgeStyleAlias kBadgeStyleAliases[] = {
    {L"none", kBadgeStyleNone},
    {L"system", kBadgeStyleNone},
    {L"mirror_only", kBadgeStyleNone},
    {L"dot", kBadgeStyleDot},
    {L"dot_badge", kBadgeStyleDot},
    {L"high_contrast", kBadgeStyleHighContrast},
    {L"highcontrast", kBadgeStyleHighContrast},
    {L"contrast", kBadgeStyleHighContrast},
};

}  // namespace

int32_t BadgeStyleFromName(const std::wstring& name) {
  const std::wstring lower = ToLowerAscii(name);
  for (const BadgeStyleAlias& alias : kBadgeStyleAliases) {
    if (lower == alias.name) return alias.style;
  }
  return kBadgeStyleLetter;
}

const wchar_t* BadgeStyleName(int32_t style) {
  switch (style) {
    case kBadgeStyleNone:
      return L"none";
    case kBadgeStyleDot:
      return L"dot";
    case kBadgeStyleHighContrast:
      return L"high_contrast";
    default:
      return L"letter";
  }
}

void ReadCursorPreferences(HKEY key) {
  DWORD leftHanded = 0;
  DWORD size = sizeof(leftHanded);
  DWORD type = REG_NONE;
  if (RegQueryValueExW(key, L"LeftHanded", nullptr, &type, reinterpret_cast<BYTE*>(&leftHanded), &size) ==
          ERROR_SUCCESS &&
      type == REG_DWORD) {
    g_app.leftHanded = leftHanded != 0;
  }

  std::wstring badgeStyle;
  if (RegistryReadString(key, L"BadgeStyle", badgeStyle) && !badgeStyle.empty()) {
    g_app.badgeStyle = BadgeStyleFromName(badgeStyle);
  }
}

void SaveCursorPreferences() {
  ScopedRegKey key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kRegistryPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Receive(),
                      nullptr) != ERROR_SUCCESS) {
    return;
  }
  const DWORD leftHanded = g_app.leftHanded ? 1 : 0;
  RegSetValueExW(key.Get(), L"LeftHanded", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&leftHanded),
                 sizeof(leftHanded));
  RegistryWriteString(key.Get(), L"BadgeStyle", BadgeStyleName(g_app.badgeStyle));
}

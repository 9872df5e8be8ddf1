#include "cursor/LanguageBadge.h"

#include <cmath>

namespace {

constexpr wchar_t kBadgeEnglish[] = L"En";
constexpr wchar_t kBadgeRussian[] = L"\u0420\u0443";      // Cyrillic "Ру"
constexpr wchar_t kBadgeSimplified[] = L"\u7B80";          // 简
constexpr wchar_t kBadgeTraditional[] = L"\u7E41";         // 繁

bool IsLowerAsciiLetter(wchar_t c) { return c >= L'a' && c <= L'z'; }

// Last resort when the platform knows nothing of the language.
const wchar_t* FallbackLanguageName(unsigned primary) {
  switch (primary) {
    case 7: return L"de";
    case 9: return L"en";
    case 10: return L"es";
    case 12: return L"fr";
    case 16: return L"it";
    case 17: return L"ja";
    case 18: return L"ko";
    case 19: return L"nl";
    case 22: return L"pt";
    case 25: return L"ru";
    case 34: return L"uk";
    default: return L"unknown";
  }
}

uint8_t ColourComponent(double fraction) {
  return static_cast<uint8_t>(static_cast<long long>(std::round(255.0 * fraction)) & 0xFF);
}

}  // namespace

std::wstring LocaleNameFromLangId(LANGID langId) {
  wchar_t name[85] = {};
  if (LCIDToLocaleName(MAKELCID(langId, SORT_DEFAULT), name, 85, 0) > 0 && name[0] != L'\0') {
    return name;
  }

  const unsigned primary = langId & 0x3FF;
  const unsigned sub = langId >> 10;
  if (primary == LANG_CHINESE) {
    return (sub == 1 || sub == 3 || sub == 5) ? L"zh-Hant" : L"zh-Hans";
  }

  wchar_t iso[16] = {};
  if (GetLocaleInfoW(langId, LOCALE_SISO639LANGNAME, iso, 16) > 0 && iso[0] != L'\0') {
    return iso;
  }
  return FallbackLanguageName(primary);
}

bool HasLocaleSubtag(const std::wstring& name, const wchar_t* tag) {
  const std::wstring bare(tag);
  if (name == bare) return true;
  const std::wstring dashed = L"-" + bare;
  if (name.find(dashed + L"-") != std::wstring::npos) return true;
  return name.size() >= dashed.size() &&
         name.compare(name.size() - dashed.size(), dashed.size(), dashed) == 0;
}

std::wstring BadgeFromLocaleName(const std::wstring& localeName) {
  std::wstring normal = localeName;
  for (wchar_t& c : normal) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    else if (c == L'_') c = L'-';
  }
  const std::wstring language = normal.substr(0, normal.find(L'-'));

  if (language == L"en") return kBadgeEnglish;
  if (language == L"ru") return kBadgeRussian;
  if (language == L"zh") {
    for (const wchar_t* tag : {L"hans", L"cn", L"sg"}) {
      if (HasLocaleSubtag(normal, tag)) return kBadgeSimplified;
    }
    for (const wchar_t* tag : {L"hant", L"tw", L"hk", L"mo"}) {
      if (HasLocaleSubtag(normal, tag)) return kBadgeTraditional;
    }
    return L"ZH";
  }
  if (language.size() == 2 || language.size() == 3) {
    bool letters = true;
    for (wchar_t c : language) letters = letters && IsLowerAsciiLetter(c);
    if (letters) {
      std::wstring upper = language;
      for (wchar_t& c : upper) c = static_cast<wchar_t>(c - L'a' + L'A');
      return upper;
    }
  }
  return L"??";
}

BadgeArgb LanguageColor(const std::wstring& badgeText) {
  if (badgeText == L"RU" || badgeText == kBadgeRussian) return 0xFFF5374E;
  if (badgeText == L"EN" || badgeText == kBadgeEnglish) return 0xFF2B7CFF;
  if (badgeText.empty()) return 0xFFC5C738;

  // FNV-1a over whole UTF-16 units picks a stable hue.
  uint32_t h = 0x811C9DC5u;
  for (wchar_t unit : badgeText) {
    h = (h ^ static_cast<uint16_t>(unit)) * 0x01000193u;
  }
  const double hue = static_cast<double>(h % 360u) / 60.0;
  const int sector = static_cast<int>(hue);
  const double f = hue - sector;
  const uint8_t q = ColourComponent(0.78 * (1.0 - 0.72 * f));
  const uint8_t t = ColourComponent(0.78 * (1.0 - 0.72 * (1.0 - f)));
  constexpr uint8_t v = 0xC7;  // value 0.78
  constexpr uint8_t p = 0x38;  // value x (1 - saturation 0.72)

  uint8_t r = 0, g = 0, b = 0;
  switch (sector) {
    case 0: r = v; g = t; b = p; break;
    case 1: r = q; g = v; b = p; break;
    case 2: r = p; g = v; b = t; break;
    case 3: r = p; g = q; b = v; break;
    case 4: r = t; g = p; b = v; break;
    default: r = v; g = p; b = q; break;
  }
  return 0xFF000000u | (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) | b;
}

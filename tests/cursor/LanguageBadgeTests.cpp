// Keyboard layout language -> locale name -> badge text -> badge colour.
#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <string>

#include "cursor/LanguageBadge.h"

namespace {

const std::wstring kRussian = L"\u0420\u0443";
const std::wstring kSimplified = L"\u7B80";
const std::wstring kTraditional = L"\u7E41";

}  // namespace

TEST(LanguageBadge_BadgeFromLocaleName, MapsLocaleNamesToBadges) {
  struct Case {
    const wchar_t* locale;
    std::wstring badge;
  } cases[] = {
      {L"pt_BR", L"PT"},
      {L"EN-us", L"En"},
      {L"en", L"En"},
      {L"ru-UA", kRussian},
      {L"RU", kRussian},
      {L"sr-Cyrl-RS", L"SR"},
      {L"es-419", L"ES"},
      {L"de-DE", L"DE"},
      {L"fil-PH", L"FIL"},
      {L"zh-Hans-HK", kSimplified},  // "hans" is tested before "hk"
      {L"zh-SG", kSimplified},
      {L"zh_CN", kSimplified},
      {L"zh-Hans", kSimplified},
      {L"zh-HK", kTraditional},
      {L"zh-MO", kTraditional},
      {L"zh-TW", kTraditional},
      {L"zh-Hant", kTraditional},
      {L"zh", L"ZH"},
      {L"zh-Latn", L"ZH"},
      {L"x-abc", L"??"},
      {L"419", L"??"},
      {L"", L"??"},
      {L"unknown", L"??"},
      {L"abcd-EF", L"??"},
      {L"d\u00e9-CH", L"??"},  // non-ASCII letters are not upper-cased
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BadgeFromLocaleName(c.locale), c.badge) << "locale " << std::string(c.locale, c.locale + wcslen(c.locale));
  }
}

TEST(LanguageBadge_HasLocaleSubtag, MatchesWholeSubtagsOnly) {
  EXPECT_TRUE(HasLocaleSubtag(L"hant", L"hant"));
  EXPECT_TRUE(HasLocaleSubtag(L"zh-hant-tw", L"hant"));
  EXPECT_TRUE(HasLocaleSubtag(L"zh-hant", L"hant"));
  EXPECT_FALSE(HasLocaleSubtag(L"zh-hant", L"han"));
  EXPECT_FALSE(HasLocaleSubtag(L"zh-hant", L"ant"));
  EXPECT_FALSE(HasLocaleSubtag(L"zh-HANT", L"hant"));  // exact units
  EXPECT_FALSE(HasLocaleSubtag(L"tw", L"-tw"));
  EXPECT_FALSE(HasLocaleSubtag(L"", L"cn"));
}

TEST(LanguageBadge_LocaleNameFromLangId, UsesPlatformNamesThenFallbacks) {
  EXPECT_EQ(LocaleNameFromLangId(0x0407), L"de-DE");
  EXPECT_EQ(LocaleNameFromLangId(0x0409), L"en-US");
  EXPECT_EQ(LocaleNameFromLangId(0x0419), L"ru-RU");
  EXPECT_EQ(LocaleNameFromLangId(0x0C04), L"zh-HK");
  // Neither platform call knows 0x200: nothing in the fixed table either.
  EXPECT_EQ(LocaleNameFromLangId(0x0200), L"unknown");
  EXPECT_EQ(BadgeFromLocaleName(LocaleNameFromLangId(0x0200)), L"??");
  // Language 0 is the neutral language: the platform answers with the user's locale.
  wchar_t user[85] = {};
  ASSERT_GT(GetUserDefaultLocaleName(user, 85), 0);
  EXPECT_EQ(LocaleNameFromLangId(0), user);
}

TEST(LanguageBadge_LocaleNameFromLangId, ChineseWithoutLocaleIsSimplifiedOutsideTraditionalSublanguages) {
  EXPECT_EQ(BadgeFromLocaleName(LocaleNameFromLangId(MAKELANGID(LANG_CHINESE, 3))), kTraditional);
  EXPECT_EQ(BadgeFromLocaleName(LocaleNameFromLangId(MAKELANGID(LANG_CHINESE, 2))), kSimplified);

  // Sublanguages no locale uses: not 1, 3 or 5, so simplified script.
  int unresolved = 0;
  for (unsigned sub = 6; sub < 64; ++sub) {
    const LANGID id = static_cast<LANGID>(sub << 10 | LANG_CHINESE);
    wchar_t probe[85] = {};
    if (LCIDToLocaleName(id, probe, 85, 0) > 0) continue;
    ++unresolved;
    EXPECT_EQ(LocaleNameFromLangId(id), L"zh-Hans") << "sublanguage " << sub;
  }
  EXPECT_GT(unresolved, 0);
}

TEST(LanguageBadge_LanguageColor, FixedColoursAndHashedHues) {
  EXPECT_EQ(LanguageColor(L"DE"), 0xFF386CC7u);
  EXPECT_EQ(LanguageColor(L"RU"), 0xFFF5374Eu);
  EXPECT_EQ(LanguageColor(kRussian), 0xFFF5374Eu);
  EXPECT_EQ(LanguageColor(L"EN"), 0xFF2B7CFFu);
  EXPECT_EQ(LanguageColor(L"En"), 0xFF2B7CFFu);
  EXPECT_EQ(LanguageColor(L""), 0xFFC5C738u);
  // Case matters: lower-case "ru" is hashed, not the fixed red.
  EXPECT_NE(LanguageColor(L"ru"), 0xFFF5374Eu);
}

TEST(LanguageBadge_LanguageColor, HashedColoursKeepTwoFixedComponents) {
  const wchar_t* texts[] = {L"DE", L"FR", L"ES", L"PT", L"SR", L"FIL", L"ZH", L"??", L"\u7B80", L"\u7E41",
                            L"JA", L"KO", L"NL", L"IT", L"UK", L"ru"};
  std::set<uint32_t> colours;
  for (const wchar_t* text : texts) {
    const uint32_t colour = LanguageColor(text);
    EXPECT_EQ(colour >> 24, 0xFFu);
    int value = 0, floor = 0;
    for (int shift : {16, 8, 0}) {
      const uint32_t c = (colour >> shift) & 0xFF;
      if (c == 0xC7) ++value;
      if (c == 0x38) ++floor;
      EXPECT_GE(c, 0x38u);
      EXPECT_LE(c, 0xC7u);
    }
    EXPECT_GE(value, 1) << std::hex << colour;
    EXPECT_GE(floor, 1) << std::hex << colour;
    colours.insert(colour);
  }
  EXPECT_GT(colours.size(), 8u);
}

TEST(LanguageBadge_LocaleNameFromLangId, FallsBackToFixedTableWhenPlatformKnowsNothing) {
  struct Case {
    unsigned primary;
    const wchar_t* name;
  } cases[] = {{7, L"de"},  {9, L"en"},  {10, L"es"}, {12, L"fr"}, {16, L"it"}, {17, L"ja"},
               {18, L"ko"}, {19, L"nl"}, {22, L"pt"}, {25, L"ru"}, {34, L"uk"}};
  int unresolved = 0;
  for (const Case& c : cases) {
    const LANGID id = static_cast<LANGID>(0x3F << 10 | c.primary);
    wchar_t probe[85] = {};
    if (LCIDToLocaleName(id, probe, 85, 0) > 0) continue;
    if (GetLocaleInfoW(id, LOCALE_SISO639LANGNAME, probe, 16) > 0) continue;
    ++unresolved;
    EXPECT_EQ(LocaleNameFromLangId(id), c.name) << "primary " << c.primary;
  }
  EXPECT_GT(unresolved, 0);
}

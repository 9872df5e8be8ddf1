#include <gtest/gtest.h>

#include <string>

#include "common/Json.h"
#include "common/Url.h"

TEST(Json_JsonEscape, EscapesQuoteBackslashAndEveryControlCharacter) {
  EXPECT_EQ(JsonEscape(L""), L"");
  EXPECT_EQ(JsonEscape(L"a\"b\\c\td\ne\rf"), L"a\\\"b\\\\c\\td\\ne\\rf");
  EXPECT_EQ(JsonEscape(L"\\\\\"\""), L"\\\\\\\\\\\"\\\"");
  // Other control characters become a backslash, "u00" and two hex digits.
  EXPECT_EQ(JsonEscape(std::wstring(L"\0\x01\x08\x0B\x0C\x1A\x1F", 7)),
            L"\\u0000\\u0001\\u0008\\u000B\\u000C\\u001A\\u001F");
  // '/', DEL and non-ASCII, lone surrogates included, pass unchanged.
  const std::wstring untouched = {L' ', 0x007F, L'/', 0x00E9, 0x20AC, 0xD800, 0xDC00, 0xD83D, 0xDE00};
  EXPECT_EQ(JsonEscape(untouched), untouched);
}

TEST(Json_ExtractJsonStringUtf8, FindsValuesByTextSearch) {
  struct Case {
    const char* json;
    const char* key;
    const char* expected;
  };
  const Case cases[] = {
      {"{\"eventId\":\"0F8B54C6-2F3A-4C39-9D5E-1A2B3C4D5E6F\",\"x\":1}", "eventId",
       "0F8B54C6-2F3A-4C39-9D5E-1A2B3C4D5E6F"},
      {"{\"eventId\" \t\r\n:\n \"abc\"}", "eventId", "abc"},
      // The key first occurs inside a value: the search goes on from there.
      {"{\"a\":\"eventId\",\"b\":\"wrong\",\"eventId\":\"right\"}", "eventId", "wrong"},
      // An escaped quote before the key does not make a match.
      {"{\"note\":\"\\\"eventId\\\" here\",\"eventId\":\"real\"}", "eventId", "real"},
      {"{\"a\":\"say \"key\" is\",\"key\":\"v\"}", "key", "v"},
      // Non-string values yield the next quoted text.
      {"{\"n\":12,\"next\":\"x\"}", "n", "next"},
      {"{\"n\":true,\"next\":\"x\"}", "n", "next"},
      {"{\"n\":{\"inner\":\"x\"}}", "n", "inner"},
      {"{\"n\":[\"first\"]}", "n", "first"},
      {"{\"n\":null}", "n", ""},
      // Escapes are not translated: the byte after a backslash is taken as is.
      {"{\"v\":\"a\\\"b\"}", "v", "a\"b"},
      {"{\"v\":\"line\\nbreak\"}", "v", "linenbreak"},
      {"{\"v\":\"back\\\\slash\"}", "v", "back\\slash"},
      {"{\"v\":\"\\u00e9\"}", "v", "u00e9"},
      {"{\"v\":\"caf\xC3\xA9\"}", "v", "caf\xC3\xA9"},
      {"{\"v\":\"unterminated", "v", "unterminated"},
      {"{\"v\":\"ends in backslash\\", "v", "ends in backslash"},
      {"{\"v\":\"\"}", "v", ""},
      {"{\"V\":\"case\"}", "v", ""},
      {"{\"other\":\"x\"}", "v", ""},
      {"{\"v\"}", "v", ""},
      {"{\"v\":", "v", ""},
      {"", "v", ""},
      {"{\"\":\"empty key\"}", "", "empty key"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ExtractJsonStringUtf8(c.json, c.key), c.expected) << c.json;
  }
}

TEST(Json_ExtractJsonStringUtf8, KeepsEmbeddedNulBytes) {
  const std::string json("{\"v\":\"a\0b\"}", 11);
  EXPECT_EQ(ExtractJsonStringUtf8(json, "v"), std::string("a\0b", 3));
}

TEST(Url_UrlEncode, EncodesAllButUnreservedBytes) {
  EXPECT_EQ(UrlEncode(""), "");
  EXPECT_EQ(UrlEncode(" "), "%20");
  EXPECT_EQ(UrlEncode("+"), "%2B");
  EXPECT_EQ(UrlEncode("~"), "~");
  EXPECT_EQ(UrlEncode("\xC3\xA9"), "%C3%A9");
  EXPECT_EQ(UrlEncode("%&=/?#"), "%25%26%3D%2F%3F%23");
  EXPECT_EQ(UrlEncode(std::string("\0\x1F\x7F\xFF", 4)), "%00%1F%7F%FF");

  std::string unreserved;
  for (char c = 'A'; c <= 'Z'; ++c) unreserved += c;
  for (char c = 'a'; c <= 'z'; ++c) unreserved += c;
  for (char c = '0'; c <= '9'; ++c) unreserved += c;
  unreserved += "-._~";
  ASSERT_EQ(unreserved.size(), 66u);
  EXPECT_EQ(UrlEncode(unreserved), unreserved);

  // Every other byte takes exactly three ASCII characters.
  for (int byte = 0; byte < 256; ++byte) {
    const std::string one(1, static_cast<char>(byte));
    if (unreserved.find(one) != std::string::npos) continue;
    const std::string encoded = UrlEncode(one);
    ASSERT_EQ(encoded.size(), 3u) << byte;
    EXPECT_EQ(encoded[0], '%');
    EXPECT_EQ(std::stoi(encoded.substr(1), nullptr, 16), byte);
    EXPECT_EQ(encoded.find_first_of("abcdef"), std::string::npos) << encoded;
  }
}

TEST(Url_AppendQuery, ChoosesTheSeparator) {
  EXPECT_EQ(AppendQuery(L"https://h/exec", L"data=x"), L"https://h/exec?data=x");
  EXPECT_EQ(AppendQuery(L"https://h/exec?k=1", L"data=x"), L"https://h/exec?k=1&data=x");
  EXPECT_EQ(AppendQuery(L"https://h/exec?", L"data=x"), L"https://h/exec?&data=x");
  EXPECT_EQ(AppendQuery(L"https://h/exec", L""), L"https://h/exec?");
  EXPECT_EQ(AppendQuery(L"https://h/a#frag", L"q"), L"https://h/a#frag?q");
}

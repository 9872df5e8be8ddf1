#pragma once

#include <string>

// Escapes tab, LF, CR, '"' and '\' for use between JSON quotes, and every
// other unit below U+0020 as a backslash, "u00" and two hex digits; DEL, '/'
// and surrogates pass unchanged.
std::wstring JsonEscape(const std::wstring& text);

// Finds "key" by plain text search and returns the next quoted text after
// the following ':'. A backslash takes the next byte literally; escapes are
// not translated. Empty when the key, the ':' or the opening quote is missing.
std::string ExtractJsonStringUtf8(const std::string& json, const char* key);

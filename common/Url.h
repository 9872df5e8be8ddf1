#pragma once

#include <string>

// Percent-encodes every byte outside RFC 3986's unreserved set, with
// upper-case hex digits; a space becomes %20.
std::string UrlEncode(const std::string& bytes);

// Appends query after '&' when the URL already holds a '?', else after '?'.
std::wstring AppendQuery(const std::wstring& url, const std::wstring& query);

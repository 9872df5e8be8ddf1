#pragma once

#include <cstddef>
#include <string>

// Percent-encodes every byte outside RFC 3986's unreserved set, with
// upper-case hex digits; a space becomes %20.
std::string UrlEncode(const std::string& bytes);
// The length of UrlEncode(bytes), without building it.
size_t UrlEncodedLength(const std::string& bytes);

// Appends query after '&' when the URL already holds a '?', else after '?'.
std::wstring AppendQuery(const std::wstring& url, const std::wstring& query);

#pragma once

#include <string>

std::wstring ToLowerAscii(std::wstring text);
// Ill-formed input becomes U+FFFD; embedded NULs are kept.
std::wstring Utf8ToWide(const std::string& bytes);
// Stops at the first U+0000; lone surrogates become EF BF BD.
std::string WideToUtf8(const std::wstring& text);

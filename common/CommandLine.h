#pragma once

#include <string>

// Quotes one argument so that CommandLineToArgvW gives back exactly the text:
// backslashes are doubled only where they precede a quote (or the closing
// quote), so paths, network paths included, arrive unchanged. Both programs
// write their command lines with it.
inline std::wstring QuoteArgument(const std::wstring& text) {
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t unit : text) {
    if (unit == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(unit == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted.push_back(unit);
  }
  quoted.append(backslashes * 2, L'\\');
  quoted.push_back(L'"');
  return quoted;
}

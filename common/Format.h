#pragma once

#include <cstdarg>
#include <cstddef>
#include <cwchar>

// Formats into a fixed wide buffer. A result that does not fit leaves the
// buffer empty and returns false; it never reaches the CRT's
// invalid-parameter handler.
bool FormatWideV(wchar_t* buffer, size_t capacity, const wchar_t* format, va_list args);

template <size_t N>
bool FormatWide(wchar_t (&buffer)[N], const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  const bool ok = FormatWideV(buffer, N, format, args);
  va_end(args);
  return ok;
}

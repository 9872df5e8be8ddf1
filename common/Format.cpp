#include "common/Format.h"

#include <cstdio>

bool FormatWideV(wchar_t* buffer, size_t capacity, const wchar_t* format, va_list args) {
  if (buffer == nullptr || capacity == 0) return false;
  const int written = _vsnwprintf(buffer, capacity, format, args);
  if (written < 0 || static_cast<size_t>(written) >= capacity) {
    buffer[0] = L'\0';
    return false;
  }
  return true;
}

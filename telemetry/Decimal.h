#pragma once

#include <cstdint>

namespace telemetry {

// Adds one decimal digit to value; false (value unchanged) when the result
// would not fit in 64 bits.
inline bool AppendDecimalDigit(uint64_t& value, char digit) {
  const uint64_t d = static_cast<uint64_t>(digit - '0');
  if (value > (UINT64_MAX - d) / 10) return false;
  value = value * 10 + d;
  return true;
}

inline bool IsDecimalDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace telemetry

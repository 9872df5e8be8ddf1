#pragma once

#include <cstdint>
#include <string>

uint64_t CurrentUnixTime();
std::wstring IsoFromUnixTime(uint64_t unixSeconds);

#pragma once

#include <string>

// Upper-case GUID text without braces; never empty.
std::wstring GenerateGuidString();
// "TVW-" + FILETIME high/low + "-" + process id + "-" + tick count, in hex.
std::wstring GenerateFallbackId();

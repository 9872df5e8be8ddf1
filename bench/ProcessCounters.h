#pragma once

#include <windows.h>

namespace bench {

// Counters of another process at one moment.
struct ProcessSample {
  double wallMs = 0;
  double cpuMs = 0;
  double privateBytes = 0;
  bool privateFromPagefile = false;  // PrivateUsage read 0; PagefileUsage stands in
  double handles = 0;
};

// GetProcessTimes, GetProcessMemoryInfo and GetProcessHandleCount; under Wine,
// which leaves times and handles empty for another process, the system's
// process list instead.
bool SampleProcess(HANDLE process, DWORD processId, bool wine, ProcessSample& sample);

}  // namespace bench

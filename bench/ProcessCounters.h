#pragma once

#include <windows.h>

namespace bench {

// Counters of another process at one moment. Where reading them costs the
// process CPU time, cpuMs is read before and cpuAfterMs after that cost.
struct ProcessSample {
  double wallMs = 0;
  double cpuMs = 0;
  double wallAfterMs = 0;
  double cpuAfterMs = 0;
  double privateBytes = 0;
  double handles = 0;
};

// GetProcessTimes, GetProcessMemoryInfo and GetProcessHandleCount; under Wine,
// which leaves those empty for another process, the system's process list
// and the committed private regions instead.
bool SampleProcess(HANDLE process, DWORD processId, bool wine, ProcessSample& sample);

}  // namespace bench

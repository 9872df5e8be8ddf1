#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/Bench.h"
#include "bench/ProcessCounters.h"
#include "shell/ShellConstants.h"
#include "tests/support/Platform.h"
#include "tests/support/ProgramSession.h"
#include "tests/support/ScratchRegistry.h"

namespace bench {

namespace {

// Start-up work (first events, update check) is over by then.
constexpr unsigned kSettleMs = 5000;
constexpr unsigned kIntervalMs = 3000;
constexpr double kMiB = 1024.0 * 1024.0;

std::string Text(const char* format, double a, double b = 0) {
  char text[160];
  std::snprintf(text, sizeof(text), format, a, b);
  return text;
}

}  // namespace

bool BenchIdleProgram(Report& report, unsigned seconds) {
  const unsigned intervals = seconds / (kIntervalMs / 1000);
  const std::wstring endpoint = ClosedLoopbackEndpoint();
  // Started programs share the prefix's HKCU; the session empties the
  // program's key before and after, and gives it scratch folders.
  testing_support::ProgramSession session;
  if (endpoint.empty() || intervals == 0 ||
      !testing_support::RegSetString(HKEY_CURRENT_USER, kRegistryPath, L"TelemetryEndpointUrl", endpoint) ||
      !session.Start()) {
    report.notes.push_back("idle program: TolvaneWin.exe did not start; not measured");
    return false;
  }
  Sleep(kSettleMs);

  const bool wine = testing_support::IsWine();
  const HANDLE process = session.process.handle();
  const DWORD processId = session.process.pid();
  std::vector<ProcessSample> samples(1);
  bool sampled = SampleProcess(process, processId, wine, samples[0]);
  for (unsigned i = 1; sampled && i <= intervals; ++i) {
    const double due = samples[0].wallMs + static_cast<double>(i) * kIntervalMs;
    const double wait = due - NowMs();
    if (wait > 0) Sleep(static_cast<DWORD>(wait));
    samples.emplace_back();
    sampled = SampleProcess(process, processId, wine, samples.back());
  }
  const bool stillRunning = session.process.Running();
  unsigned long exitCode = 0;
  const bool closed = session.Close(exitCode);
  if (!sampled || !stillRunning) {
    report.notes.push_back("idle program: the program's counters could not be read or it ended early; not measured");
    return false;
  }

  Figure cpu{Text("idle CPU per %.0f-s interval", kIntervalMs / 1000.0), "%", {}, "—"};
  Figure privateBytes{"private bytes", "MiB", {}, "target ≤ 15 MB"};
  Figure handles{"handles", "", {}, "—"};
  double cpuMs = 0;
  double wallMs = 0;
  size_t fromPagefile = 0;
  for (size_t i = 0; i < samples.size(); ++i) {
    privateBytes.samples.push_back(samples[i].privateBytes / kMiB);
    fromPagefile += samples[i].privateFromPagefile;
    handles.samples.push_back(samples[i].handles);
    if (i == 0) continue;
    const double intervalCpu = samples[i].cpuMs - samples[i - 1].cpuMs;
    const double intervalWall = samples[i].wallMs - samples[i - 1].wallMs;
    cpu.samples.push_back(100.0 * intervalCpu / intervalWall);
    cpuMs += intervalCpu;
    wallMs += intervalWall;
  }
  const double spanMs = samples.back().wallMs - samples.front().wallMs;
  Figure total{Text("idle CPU over %.0f s", spanMs / 1000.0), "%", {100.0 * cpuMs / wallMs},
               Text("%.0f ms of CPU in the %.1f s between samples", cpuMs, wallMs / 1000.0)};
  report.figures.push_back(cpu);
  report.figures.push_back(total);
  report.figures.push_back(privateBytes);
  report.figures.push_back(handles);

  std::string how = wine ? "under Wine CPU time and handles come from the system process list "
                           "(NtQuerySystemInformation), since Wine leaves GetProcessTimes and "
                           "GetProcessHandleCount empty for another process; Wine's CPU times move in 10-ms steps "
                           "(0.33 % of an interval)"
                         : "CPU time and handles from GetProcessTimes and GetProcessHandleCount";
  // PagefileUsage is the same commit charge; Wine fills only that one for another process.
  how += fromPagefile == 0 ? "; private bytes: GetProcessMemoryInfo's PrivateUsage"
         : fromPagefile == samples.size()
             ? "; private bytes: GetProcessMemoryInfo's PagefileUsage (PrivateUsage read 0)"
             : Text("; private bytes: PagefileUsage in %.0f of %.0f samples where PrivateUsage read 0, else "
                    "PrivateUsage",
                    static_cast<double>(fromPagefile), static_cast<double>(samples.size()));
  report.notes.push_back("idle program: the real TolvaneWin.exe, telemetry endpoint at a closed loopback port, "
                         "measured from " + Text("%.0f s", kSettleMs / 1000.0) + " after its window appeared: one " +
                         Text("%.0f-s run sampled every %.0f s", spanMs / 1000.0, kIntervalMs / 1000.0) +
                         " (CPU % per interval; private bytes and handles at each sample); " + how +
                         (closed ? Text("; it closed with exit code %.0f", exitCode) : "; it did not close"));
  return closed;
}

}  // namespace bench

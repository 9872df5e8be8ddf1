#include <windows.h>
#include <gdiplus.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/Bench.h"
#include "shell/AppState.h"

namespace {

constexpr unsigned kIdleSeconds = 60;

const char* PlatformName() {
  using WineVersionFn = const char*(CDECL*)();
  auto wineVersion = reinterpret_cast<WineVersionFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")));
  return wineVersion != nullptr ? wineVersion() : "Windows";
}

void Append(bench::Report& to, const bench::Report& from) {
  to.figures.insert(to.figures.end(), from.figures.begin(), from.figures.end());
  to.notes.insert(to.notes.end(), from.notes.begin(), from.notes.end());
}

}  // namespace

// Usage: tolvane_bench [idle seconds, default 60; 0 skips the program run]
int main(int argc, char** argv) {
  const unsigned idleSeconds = argc > 1 ? static_cast<unsigned>(std::strtoul(argv[1], nullptr, 10)) : kIdleSeconds;
  bool complete = true;

  // The program runs first, while this process is still quiet.
  bench::Report idle;
  if (idleSeconds > 0) complete = bench::BenchIdleProgram(idle, idleSeconds) && complete;

  bench::Report report;
  Gdiplus::GdiplusStartupInput input;
  if (Gdiplus::GdiplusStartup(&g_app.gdiplusToken, &input, nullptr) != Gdiplus::Ok) {
    std::printf("GDI+ did not start\n");
    return 1;
  }
  complete = bench::BenchCursorSet(report) && complete;
  complete = bench::BenchLayoutPoll(report) && complete;
  complete = bench::BenchQueueing(report) && complete;
  Append(report, idle);

  std::printf("TolvaneWin bench on %s%s\n\n", PlatformName(),
              std::strcmp(PlatformName(), "Windows") == 0 ? "" : " (Wine)");
  bench::PrintReport(report);
  if (!complete) std::printf("\nSome figures could not be measured (see the notes).\n");
  std::fflush(stdout);
  return complete ? 0 : 1;
}

#include <windows.h>

#include <string>

#include "bench/Bench.h"
#include "shell/AppState.h"
#include "shell/ShellConstants.h"
#include "shell/Timers.h"

namespace bench {

namespace {

constexpr int kWarmUpTicks = 5;
constexpr int kTicks = 200;

}  // namespace

bool BenchLayoutPoll(Report& report) {
  // The first tick takes the current layout as its starting point.
  for (int tick = 0; tick < kWarmUpTicks; ++tick) HandleTimer(g_app.hiddenWindow, kTimerLayoutPoll);
  const std::wstring badge = g_app.badgeText;
  const uint64_t activity = g_app.activityCount;

  Figure figure{"poll tick", "ms", {}, "target ≤ 0.1 ms"};
  for (int tick = 0; tick < kTicks; ++tick) {
    const double start = NowMs();
    HandleTimer(g_app.hiddenWindow, kTimerLayoutPoll);
    figure.samples.push_back(NowMs() - start);
  }
  const bool unchanged = g_app.badgeText == badge && g_app.activityCount == activity;
  if (!unchanged) figure.samples.clear();
  report.figures.push_back(figure);
  report.notes.push_back(unchanged ? "poll tick: HandleTimer(layout poll), the layout unchanged through every tick"
                                   : "poll tick: the keyboard layout changed during the runs; not measured");
  return unchanged;
}

}  // namespace bench

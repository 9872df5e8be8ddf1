#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "bench/Bench.h"

namespace bench {

Summary Summarize(std::vector<double> samples) {
  Summary summary;
  if (samples.empty()) return summary;
  std::sort(samples.begin(), samples.end());
  const size_t middle = samples.size() / 2;
  summary.median = samples.size() % 2 == 1 ? samples[middle] : (samples[middle - 1] + samples[middle]) / 2;
  summary.minimum = samples.front();
  summary.maximum = samples.back();
  return summary;
}

double NowMs() {
  static const double ticksPerMs = [] {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(frequency.QuadPart) / 1000.0;
  }();
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / ticksPerMs;
}

std::string FormatValue(double value, const std::string& unit) {
  const double magnitude = value < 0 ? -value : value;
  const int decimals = magnitude >= 100 ? 0 : magnitude >= 10 ? 1 : magnitude >= 1 ? 2 : 3;
  char text[64];
  std::snprintf(text, sizeof(text), "%.*f", decimals, value);
  return unit.empty() ? std::string(text) : std::string(text) + " " + unit;
}

void PrintReport(const Report& report) {
  std::printf("| figure | median | min | max | runs | floor / target |\n");
  std::printf("|---|---|---|---|---|---|\n");
  for (const Figure& figure : report.figures) {
    if (figure.samples.empty()) {
      std::printf("| %s | not measured | | | 0 | %s |\n", figure.name.c_str(), figure.reference.c_str());
      continue;
    }
    const Summary summary = Summarize(figure.samples);
    std::printf("| %s | %s | %s | %s | %zu | %s |\n", figure.name.c_str(),
                FormatValue(summary.median, figure.unit).c_str(), FormatValue(summary.minimum, figure.unit).c_str(),
                FormatValue(summary.maximum, figure.unit).c_str(), figure.samples.size(),
                figure.reference.c_str());
  }
  if (!report.notes.empty()) std::printf("\n");
  for (const std::string& note : report.notes) std::printf("- %s\n", note.c_str());
  std::fflush(stdout);
}

}  // namespace bench

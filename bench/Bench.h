#pragma once

#include <string>
#include <vector>

namespace bench {

// One line of the printed table: samples in the figure's unit, and what it
// is set against (a floor or a target).
struct Figure {
  std::string name;
  std::string unit;
  std::vector<double> samples;
  std::string reference;
};

struct Summary {
  double median = 0;
  double minimum = 0;
  double maximum = 0;
};

struct Report {
  std::vector<Figure> figures;
  std::vector<std::string> notes;
};

Summary Summarize(std::vector<double> samples);
// Milliseconds from a steady high-resolution clock.
double NowMs();
// Three significant digits at most, with the unit.
std::string FormatValue(double value, const std::string& unit);
void PrintReport(const Report& report);
// GDI objects this process holds.
unsigned GdiObjectCount();
// An http endpoint on 127.0.0.1 at a port nobody listens on; empty on failure.
std::wstring ClosedLoopbackEndpoint();

// Each section adds its figures and notes; false when it could not measure.
bool BenchCursorSet(Report& report);
bool BenchLayoutPoll(Report& report);
bool BenchQueueing(Report& report);
bool BenchIdleProgram(Report& report, unsigned seconds);

}  // namespace bench

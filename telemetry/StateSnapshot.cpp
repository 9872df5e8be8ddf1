#include "telemetry/StateSnapshot.h"

#include <utility>

#include "telemetry/Decimal.h"

namespace telemetry {

namespace {

constexpr char kStateMagic[] = "TVTS3";

// Splits at LF only; a CR stays part of its line.
class LineReader {
 public:
  explicit LineReader(const std::string& text) : text(text) {}

  // False when no byte is left.
  bool Next(std::string& line) {
    if (pos >= text.size()) return false;
    const size_t end = text.find('\n', pos);
    if (end == std::string::npos) {
      line.assign(text, pos, std::string::npos);
      pos = text.size();
    } else {
      line.assign(text, pos, end - pos);
      pos = end + 1;
    }
    return true;
  }

  bool AtEnd() const { return pos >= text.size(); }

 private:
  const std::string& text;
  size_t pos = 0;
};

bool ParseNumberLine(LineReader& lines, uint64_t& value) {
  std::string line;
  if (!lines.Next(line) || line.empty()) return false;
  uint64_t parsed = 0;
  for (const char c : line) {
    if (!IsDecimalDigit(c) || !AppendDecimalDigit(parsed, c)) return false;
  }
  value = parsed;
  return true;
}

}  // namespace

bool StateSnapshot::Parse(const std::string& text) {
  if (text.size() > kStateFileTextLimit) return false;
  LineReader lines(text);

  std::string line;
  if (!lines.Next(line) || line != kStateMagic) return false;

  PersistentState parsed;
  if (!lines.Next(parsed.installId)) parsed.installId.clear();
  if (!lines.Next(parsed.installDateProvenance)) parsed.installDateProvenance.clear();
  if (parsed.installId.empty() || parsed.installId.size() > kInstallIdLimit) return false;
  if (parsed.installDateProvenance.size() > kProvenanceLimit) return false;

  if (!ParseNumberLine(lines, parsed.installFirstSeenUnix) || !ParseNumberLine(lines, parsed.eventSequence) ||
      !ParseNumberLine(lines, parsed.activityCount) || !ParseNumberLine(lines, parsed.firstRunUnix)) {
    return false;
  }

  parsed.orderingReliable = true;
  if (lines.Next(line)) {
    if (line == "1") {
      parsed.orderingReliable = true;
    } else if (line == "0") {
      parsed.orderingReliable = false;
    } else {
      return false;
    }
  }
  if (!lines.AtEnd()) return false;
  if (parsed.installFirstSeenUnix == 0 || parsed.firstRunUnix == 0) return false;

  static_cast<PersistentState&>(*this) = std::move(parsed);
  return true;
}

std::string StateSnapshot::Serialize() const {
  std::string text = kStateMagic;
  text += '\n';
  text += installId;
  text += '\n';
  text += installDateProvenance;
  text += '\n';
  for (const uint64_t number : {installFirstSeenUnix, eventSequence, activityCount, firstRunUnix}) {
    text += std::to_string(number);
    text += '\n';
  }
  text += orderingReliable ? "1\n" : "0\n";
  return text;
}

}  // namespace telemetry

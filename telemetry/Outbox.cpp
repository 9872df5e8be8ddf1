#include "telemetry/Outbox.h"

#include <utility>

#include "telemetry/Decimal.h"

namespace telemetry {

namespace {

constexpr char kOutboxMagic[] = "TVTQ3";

bool IsSpaceByte(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Skips whitespace, then reads the longest run of digits. No sign is
// accepted; the byte after the digits stays in the stream.
bool ReadNumber(std::istream& in, uint64_t& value) {
  using Traits = std::istream::traits_type;
  int c = in.peek();
  while (c != Traits::eof() && IsSpaceByte(c)) {
    in.get();
    c = in.peek();
  }
  uint64_t parsed = 0;
  bool anyDigit = false;
  while (c != Traits::eof() && IsDecimalDigit(static_cast<char>(c))) {
    if (!AppendDecimalDigit(parsed, static_cast<char>(c))) return false;
    anyDigit = true;
    in.get();
    c = in.peek();
  }
  if (!anyDigit) return false;
  value = parsed;
  return true;
}

// The first line must be exactly the magic; reads no further than its LF.
bool ReadMagicLine(std::istream& in) {
  using Traits = std::istream::traits_type;
  std::string line;
  for (;;) {
    const int c = in.get();
    if (c == Traits::eof() || c == '\n') break;
    if (line.size() == sizeof(kOutboxMagic) - 1) return false;
    line += static_cast<char>(c);
  }
  return line == kOutboxMagic;
}

bool ReadExactly(std::istream& in, uint64_t length, std::string& bytes) {
  bytes.resize(static_cast<size_t>(length));
  in.read(bytes.data(), static_cast<std::streamsize>(length));
  return static_cast<uint64_t>(in.gcount()) == length;
}

uint64_t RecordBytes(const Record& record) {
  return static_cast<uint64_t>(record.endpoint.size()) + record.body.size();
}

}  // namespace

bool Outbox::Load(std::istream& in) {
  using Traits = std::istream::traits_type;
  if (!ReadMagicLine(in)) return false;

  std::deque<Record> loaded;
  uint64_t loadedDropped = 0;
  uint64_t count = 0;
  if (!ReadNumber(in, loadedDropped) || !ReadNumber(in, count) || count > kOutboxRecordLimit) return false;
  // The LF after the count; a file may also end right after the digits.
  in.get();

  uint64_t totalBytes = 0;
  for (uint64_t i = 0; i < count; ++i) {
    Record record;
    uint64_t endpointLength = 0;
    uint64_t bodyLength = 0;
    if (!ReadNumber(in, record.createdUnix) || !ReadNumber(in, endpointLength) || !ReadNumber(in, bodyLength)) {
      return false;
    }
    if (endpointLength < 1 || bodyLength < 1 || bodyLength > kRecordBodyLimit ||
        endpointLength > kRecordEndpointLimit) {
      return false;
    }
    totalBytes += endpointLength + bodyLength;
    if (totalBytes > kOutboxByteLimit) return false;
    if (in.get() != '\n') return false;
    if (!ReadExactly(in, endpointLength, record.endpoint) || !ReadExactly(in, bodyLength, record.body)) {
      return false;
    }
    loaded.push_back(std::move(record));
  }
  if (in.peek() != Traits::eof()) return false;

  records.swap(loaded);
  dropped = loadedDropped;
  return true;
}

void Outbox::Save(std::ostream& out) const {
  out << kOutboxMagic << '\n' << dropped << '\n' << records.size() << '\n';
  for (const Record& record : records) {
    out << record.createdUnix << '\n' << record.endpoint.size() << '\n' << record.body.size() << '\n';
    out.write(record.endpoint.data(), static_cast<std::streamsize>(record.endpoint.size()));
    out.write(record.body.data(), static_cast<std::streamsize>(record.body.size()));
  }
}

void Outbox::Trim(uint64_t nowUnix) {
  uint64_t totalBytes = 0;
  for (const Record& record : records) totalBytes += RecordBytes(record);

  while (!records.empty()) {
    const Record& front = records.front();
    const bool tooOld = front.createdUnix < nowUnix && nowUnix - front.createdUnix > kRecordMaxAgeSeconds;
    if (!tooOld && records.size() <= kOutboxRecordLimit && totalBytes <= kOutboxByteLimit) break;
    totalBytes -= RecordBytes(front);
    records.pop_front();
    CountDrop();
  }
}

}  // namespace telemetry

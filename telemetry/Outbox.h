#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <istream>
#include <ostream>
#include <string>

namespace telemetry {

inline constexpr size_t kOutboxRecordLimit = 512;
inline constexpr uint64_t kOutboxByteLimit = 2097152;
inline constexpr uint64_t kRecordMaxAgeSeconds = 604800;
// Limits of one record in the outbox file.
inline constexpr uint64_t kRecordEndpointLimit = 8192;
inline constexpr uint64_t kRecordBodyLimit = 65536;

// One queued event request; endpoint and body are UTF-8.
struct Record {
  uint64_t createdUnix = 0;
  std::string endpoint;
  std::string body;
};

// Records not yet acknowledged, oldest first, and how many were given up.
struct Outbox {
  std::deque<Record> records;
  uint64_t dropped = 0;

  // Reads a whole "telemetry-outbox-v3.dat". All or nothing: on false
  // records and dropped keep their previous values.
  bool Load(std::istream& in);
  // Appends the file text for every record held, without limits.
  void Save(std::ostream& out) const;
  // Drops from the front while the front is more than seven days old, or
  // the queue holds too many records or too many bytes.
  void Trim(uint64_t nowUnix);
  // Counts one record given up; a count at its maximum stays there rather
  // than wrapping to 0.
  void CountDrop() {
    if (dropped != UINT64_MAX) ++dropped;
  }
};

}  // namespace telemetry

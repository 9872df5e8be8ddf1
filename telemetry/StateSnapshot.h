#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace telemetry {

inline constexpr size_t kStateFileTextLimit = 4096;
inline constexpr size_t kInstallIdLimit = 128;
inline constexpr size_t kProvenanceLimit = 64;

// Identity and counters that survive restarts; texts are UTF-8.
struct PersistentState {
  std::string installId;
  std::string installDateProvenance;
  uint64_t installFirstSeenUnix = 0;
  uint64_t eventSequence = 0;
  uint64_t activityCount = 0;
  uint64_t firstRunUnix = 0;
  bool orderingReliable = true;
};

// The state as it is written to "telemetry-state-v3.dat".
struct StateSnapshot : PersistentState {
  // All or nothing: on false every field keeps its previous value.
  bool Parse(const std::string& text);
  // Writes the fields as they are; a state that Parse would refuse is not fixed up.
  std::string Serialize() const;
};

}  // namespace telemetry

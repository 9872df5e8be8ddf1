// Seeded random and mutated inputs for every reader of outside bytes. The
// readers must not crash, must stay inside their input, and must keep their
// object unchanged whenever they refuse.
#include <windows.h>

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "common/Json.h"
#include "telemetry/AckReader.h"
#include "telemetry/Outbox.h"
#include "telemetry/StateSnapshot.h"
#include "tests/telemetry/TelemetryTestHelpers.h"

using telemetry::AckReader;
using telemetry::Outbox;
using telemetry::Record;
using telemetry::StateSnapshot;

namespace {

constexpr size_t kPage = 4096;

// A copy of the bytes whose last byte sits right before an inaccessible
// page, so a read past the end faults at once.
class GuardedBytes {
 public:
  explicit GuardedBytes(const std::string& bytes) : size(bytes.size()) {
    pages = (bytes.size() + kPage - 1) / kPage + 1;
    base = static_cast<char*>(VirtualAlloc(nullptr, pages * kPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (base == nullptr) return;
    DWORD old = 0;
    VirtualProtect(base + (pages - 1) * kPage, kPage, PAGE_NOACCESS, &old);
    start = base + (pages - 1) * kPage - size;
    if (size != 0) memcpy(start, bytes.data(), size);
  }
  ~GuardedBytes() {
    if (base != nullptr) VirtualFree(base, 0, MEM_RELEASE);
  }
  GuardedBytes(const GuardedBytes&) = delete;
  GuardedBytes& operator=(const GuardedBytes&) = delete;

  bool ok() const { return base != nullptr; }
  const char* data() const { return start; }
  size_t length() const { return size; }

 private:
  char* base = nullptr;
  char* start = nullptr;
  size_t pages = 0;
  size_t size = 0;
};

// An input stream straight over guarded memory, without a copy.
class MemoryBuffer : public std::streambuf {
 public:
  MemoryBuffer(const char* data, size_t size) {
    char* begin = const_cast<char*>(data);
    setg(begin, begin, begin + size);
  }
};

class Mutator {
 public:
  explicit Mutator(uint32_t seed) : random(seed) {}

  size_t Below(size_t n) { return n == 0 ? 0 : std::uniform_int_distribution<size_t>(0, n - 1)(random); }

  char AnyByte() {
    static const char kInteresting[] = "\n\r\t \"\\{}[]:,.-+eE0123456789TVQS3tfnul";
    return Below(3) == 0 ? static_cast<char>(Below(256)) : kInteresting[Below(sizeof(kInteresting) - 1)];
  }

  std::string Random(size_t maxLength) {
    std::string text(Below(maxLength + 1), '\0');
    for (char& c : text) c = AnyByte();
    return text;
  }

  std::string Mutate(std::string text, const std::vector<std::string>& seeds) {
    const size_t steps = 1 + Below(4);
    for (size_t i = 0; i < steps; ++i) {
      switch (Below(7)) {
        case 0:
          if (!text.empty()) text[Below(text.size())] = AnyByte();
          break;
        case 1:
          text.insert(text.begin() + static_cast<std::ptrdiff_t>(Below(text.size() + 1)), AnyByte());
          break;
        case 2:
          if (!text.empty()) text.erase(Below(text.size()), 1 + Below(8));
          break;
        case 3:
          text.resize(Below(text.size() + 1));
          break;
        case 4: {
          const size_t at = Below(text.size() + 1);
          const std::string slice = text.substr(at, Below(64));
          text.insert(Below(text.size() + 1), slice);
          break;
        }
        case 5: {
          const std::string& other = seeds[Below(seeds.size())];
          const size_t from = Below(other.size() + 1);
          text = text.substr(0, Below(text.size() + 1)) + other.substr(from);
          break;
        }
        default: {
          // Digits that push a number past 64 bits.
          const size_t at = Below(text.size() + 1);
          text.insert(at, Below(2) == 0 ? "18446744073709551616" : "18446744073709551615");
          break;
        }
      }
    }
    return text;
  }

  std::string Next(const std::vector<std::string>& seeds, size_t randomLength) {
    if (Below(8) == 0) return Random(randomLength);
    return Mutate(seeds[Below(seeds.size())], seeds);
  }

 private:
  std::mt19937 random;
};

StateSnapshot PriorState() {
  StateSnapshot s;
  s.installId = "PRIOR";
  s.installDateProvenance = "prior";
  s.installFirstSeenUnix = 3;
  s.eventSequence = 4;
  s.activityCount = 5;
  s.firstRunUnix = 6;
  s.orderingReliable = false;
  return s;
}

Outbox PriorOutbox() {
  Outbox o;
  o.dropped = 77;
  o.records.push_back(Record{9, "https://prior/", "{\"prior\":true}"});
  return o;
}

std::string Saved(const Outbox& outbox) {
  std::ostringstream out;
  outbox.Save(out);
  return out.str();
}

}  // namespace

TEST(Robustness_StateSnapshotParse, MutatedStateFiles) {
  StateSnapshot valid;
  valid.installId = "4C1D2B3A-0000-4000-8000-00000000ABCD";
  valid.installDateProvenance = "registry";
  valid.installFirstSeenUnix = 1700000000;
  valid.eventSequence = 18446744073709551615ull;
  valid.activityCount = 0;
  valid.firstRunUnix = 1700000001;
  const std::vector<std::string> seeds = {
      valid.Serialize(), "TVTS3\nA\n\n1\n0\n0\n1\n", "TVTS3\nA\n\n1\n0\n0\n1\n0", "TVTS3\nA\n\n1\n0\n0\n1"};

  Mutator mutator(0x5EED0001);
  int accepted = 0;
  for (int i = 0; i < 20000; ++i) {
    const std::string input = mutator.Next(seeds, 64);
    StateSnapshot s = PriorState();
    if (!s.Parse(input)) {
      ASSERT_TRUE(SameState(s, PriorState())) << i;
      continue;
    }
    ++accepted;
    ASSERT_LE(input.size(), telemetry::kStateFileTextLimit);
    ASSERT_GE(s.installId.size(), 1u);
    ASSERT_LE(s.installId.size(), telemetry::kInstallIdLimit);
    ASSERT_LE(s.installDateProvenance.size(), telemetry::kProvenanceLimit);
    ASSERT_NE(s.installFirstSeenUnix, 0u);
    ASSERT_NE(s.firstRunUnix, 0u);
    StateSnapshot again = PriorState();
    ASSERT_TRUE(again.Parse(s.Serialize())) << i;
    ASSERT_TRUE(SameState(again, s)) << i;
  }
  // The mutations must reach both outcomes to mean anything.
  EXPECT_GT(accepted, 100);
  EXPECT_LT(accepted, 20000);
}

TEST(Robustness_OutboxLoad, MutatedOutboxFiles) {
  Outbox sample;
  sample.dropped = 12;
  sample.records.push_back(Record{1700000000, "https://h/exec", "{\"eventId\":\"X\"}"});
  sample.records.push_back(Record{5, "e", std::string("\0\n\r", 3)});
  sample.records.push_back(Record{18446744073709551615ull, "9", "8"});
  Outbox one;
  one.records.push_back(Record{7, "ab", "cd"});
  const std::vector<std::string> seeds = {Saved(sample), Saved(one), "TVTQ3\n0\n0\n", "TVTQ3\n1\n0"};

  Mutator mutator(0x5EED0002);
  int accepted = 0;
  for (int i = 0; i < 20000; ++i) {
    const std::string input = mutator.Next(seeds, 96);
    GuardedBytes guarded(input);
    ASSERT_TRUE(guarded.ok());
    MemoryBuffer buffer(guarded.data(), guarded.length());
    std::istream in(&buffer);
    Outbox o = PriorOutbox();
    if (!o.Load(in)) {
      ASSERT_TRUE(SameOutbox(o, PriorOutbox())) << i;
      continue;
    }
    ++accepted;
    ASSERT_LE(o.records.size(), telemetry::kOutboxRecordLimit);
    uint64_t total = 0;
    for (const Record& r : o.records) {
      ASSERT_GE(r.endpoint.size(), 1u);
      ASSERT_LE(r.endpoint.size(), telemetry::kRecordEndpointLimit);
      ASSERT_GE(r.body.size(), 1u);
      ASSERT_LE(r.body.size(), telemetry::kRecordBodyLimit);
      total += r.endpoint.size() + r.body.size();
    }
    ASSERT_LE(total, telemetry::kOutboxByteLimit);
    std::istringstream saved(Saved(o));
    Outbox again = PriorOutbox();
    ASSERT_TRUE(again.Load(saved)) << i;
    ASSERT_TRUE(SameOutbox(again, o)) << i;
  }
  EXPECT_GT(accepted, 100);
  EXPECT_LT(accepted, 20000);
}

TEST(Robustness_AckReaderAccepted, MutatedReplies) {
  const std::string id = "8D3E1F00-1234-4ABC-9DEF-00112233AABB";
  const std::vector<std::string> seeds = {
      "{\"ok\":true,\"eventId\":\"" + id + "\"}",
      " {\"eventId\" : \"" + id + "\", \"ok\" : true, \"x\": [1, -2.5e3, {\"y\": null}, \"\\u00e9\\n\"]}\n",
      "{\"ok\":true,\"a\":[[[[[[[[[[[[[[[[[]]]]]]]]]]]]]]]]],\"eventId\":\"" + id + "\"}",
      "{\"ok\":false,\"eventId\":\"" + id + "\",\"b\":{\"c\":{\"d\":[true,false]}}}",
  };

  Mutator mutator(0x5EED0003);
  int accepted = 0;
  for (int i = 0; i < 20000; ++i) {
    const std::string input = mutator.Next(seeds, 128);
    GuardedBytes guarded(input);
    ASSERT_TRUE(guarded.ok());
    AckReader reader(guarded.data(), guarded.length());
    const bool result = reader.Accepted(id);
    ASSERT_LE(reader.pos, input.size());
    AckReader again(input);
    ASSERT_EQ(again.Accepted(id), result) << i;
    if (!result) continue;
    ++accepted;
    const size_t first = input.find_first_not_of(" \t\n\v\f\r");
    const size_t last = input.find_last_not_of(" \t\n\v\f\r");
    ASSERT_EQ(input[first], '{') << i;
    ASSERT_EQ(input[last], '}') << i;
    ASSERT_NE(input.find(id), std::string::npos) << i;
  }
  EXPECT_GT(accepted, 100);
  EXPECT_LT(accepted, 20000);
}

TEST(Robustness_ExtractJsonStringUtf8, MutatedDocuments) {
  const std::vector<std::string> seeds = {
      "{\"eventId\":\"ABC\",\"eventType\":\"launch\"}",
      "{\"x\":\"eventId\",\"eventId\" : \"a\\\"b\\\\\"}",
      "\"eventId\":",
      "\"eventId\"",
  };
  Mutator mutator(0x5EED0004);
  for (int i = 0; i < 20000; ++i) {
    const std::string input = mutator.Next(seeds, 64);
    const std::string value = ExtractJsonStringUtf8(input, "eventId");
    ASSERT_LE(value.size(), input.size());
    const size_t key = input.find("\"eventId\"");
    if (key == std::string::npos) {
      ASSERT_TRUE(value.empty()) << i;
      continue;
    }
    // The value is made of bytes of the document after the key, in order.
    size_t at = key + 9;
    for (const char c : value) {
      at = input.find(c, at);
      ASSERT_NE(at, std::string::npos) << i;
      ++at;
    }
  }
}

#include <gtest/gtest.h>

#include <string>

#include "telemetry/StateSnapshot.h"
#include "tests/telemetry/TelemetryTestHelpers.h"

using telemetry::StateSnapshot;

namespace {

const std::string kMinimal = "TVTS3\nA\n\n1\n0\n0\n1\n";

StateSnapshot Distinct() {
  StateSnapshot s;
  s.installId = "PREVIOUS-ID";
  s.installDateProvenance = "previous";
  s.installFirstSeenUnix = 11;
  s.eventSequence = 22;
  s.activityCount = 33;
  s.firstRunUnix = 44;
  s.orderingReliable = false;
  return s;
}

std::string StateText(const std::string& id, const std::string& provenance, const std::string& numbers,
                      const std::string& tail = "") {
  return "TVTS3\n" + id + "\n" + provenance + "\n" + numbers + tail;
}

}  // namespace

TEST(StateSnapshot_Parse, AcceptsMinimalStateAndOptionalLastLine) {
  StateSnapshot s = Distinct();
  ASSERT_TRUE(s.Parse(kMinimal));
  EXPECT_EQ(s.installId, "A");
  EXPECT_EQ(s.installDateProvenance, "");
  EXPECT_EQ(s.installFirstSeenUnix, 1u);
  EXPECT_EQ(s.eventSequence, 0u);
  EXPECT_EQ(s.activityCount, 0u);
  EXPECT_EQ(s.firstRunUnix, 1u);
  EXPECT_TRUE(s.orderingReliable);

  ASSERT_TRUE(s.Parse(kMinimal + "0"));
  EXPECT_FALSE(s.orderingReliable);
  ASSERT_TRUE(s.Parse(kMinimal + "1\n"));
  EXPECT_TRUE(s.orderingReliable);
  ASSERT_TRUE(s.Parse(kMinimal + "0\n"));
  EXPECT_FALSE(s.orderingReliable);
  // The last number may end the text without its LF.
  ASSERT_TRUE(s.Parse("TVTS3\nA\n\n1\n0\n0\n7"));
  EXPECT_EQ(s.firstRunUnix, 7u);
  EXPECT_TRUE(s.orderingReliable);
}

TEST(StateSnapshot_Parse, LimitsAndNumbers) {
  struct Case {
    std::string text;
    bool accepted;
    const char* what;
  };
  const std::string numbers = "1\n0\n0\n1\n";
  const Case cases[] = {
      {StateText(std::string(128, 'i'), "", numbers), true, "id of 128 bytes"},
      {StateText(std::string(129, 'i'), "", numbers), false, "id of 129 bytes"},
      {StateText("", "", numbers), false, "empty id"},
      {StateText("i", std::string(64, 'p'), numbers), true, "provenance of 64 bytes"},
      {StateText("i", std::string(65, 'p'), numbers), false, "provenance of 65 bytes"},
      {StateText("i\r", "p\r", numbers), true, "CR inside texts is data"},
      {StateText("i", "", "18446744073709551615\n18446744073709551615\n0\n1\n"), true, "2^64 - 1"},
      {StateText("i", "", "18446744073709551616\n0\n0\n1\n"), false, "2^64"},
      {StateText("i", "", "1\n0\n99999999999999999999\n1\n"), false, "far above 2^64"},
      {StateText("i", "", "0001\n00\n0\n1\n"), true, "leading zeros"},
      {StateText("i", "", "0\n0\n0\n1\n"), false, "first seen 0"},
      {StateText("i", "", "1\n0\n0\n0\n"), false, "first run 0"},
      {StateText("i", "", "+1\n0\n0\n1\n"), false, "plus sign"},
      {StateText("i", "", "-1\n0\n0\n1\n"), false, "minus sign"},
      {StateText("i", "", " 1\n0\n0\n1\n"), false, "space before"},
      {StateText("i", "", "1 \n0\n0\n1\n"), false, "space after"},
      {StateText("i", "", "1\n\n0\n1\n"), false, "empty number line"},
      {StateText("i", "", "1\n0x1\n0\n1\n"), false, "hex"},
      {StateText("i", "", "1\n0\n0\n1\n", "true\n"), false, "word on line 8"},
      {StateText("i", "", "1\n0\n0\n1\n", "2\n"), false, "digit 2 on line 8"},
      {StateText("i", "", "1\n0\n0\n1\n", "\n"), false, "empty line 8"},
      {StateText("i", "", "1\n0\n0\n1\n", "1\r\n"), false, "CR after line 8"},
      {StateText("i", "", "1\n0\n0\n1\n", "1\n\n"), false, "extra empty line"},
      {StateText("i", "", "1\n0\n0\n1\n", "1\nx"), false, "bytes after line 8"},
      {StateText("i", "", "1\n0\n0\n"), false, "missing number"},
      {"TVTS3\r\nA\r\n\r\n1\r\n0\r\n0\r\n1\r\n", false, "CR LF file"},
      {"TVTS3", false, "magic only"},
      {"", false, "empty text"},
      {"TVTS2\nA\n\n1\n0\n0\n1\n", false, "wrong magic"},
      {"\xEF\xBB\xBFTVTS3\nA\n\n1\n0\n0\n1\n", false, "byte-order mark"},
  };
  for (const Case& c : cases) {
    StateSnapshot s = Distinct();
    const StateSnapshot before = s;
    EXPECT_EQ(s.Parse(c.text), c.accepted) << c.what;
    if (!c.accepted) ExpectSameState(s, before, c.what);
  }
}

TEST(StateSnapshot_Parse, TextLengthLimit) {
  // Both texts at their limits, then leading zeros fill the first number up
  // to the text limit.
  const std::string head = StateText(std::string(128, 'i'), std::string(64, 'p'), "");
  const std::string tail = "0\n0\n1\n";
  const size_t fill = telemetry::kStateFileTextLimit - head.size() - tail.size() - 2;
  const std::string atLimit = head + std::string(fill, '0') + "1\n" + tail;
  ASSERT_EQ(atLimit.size(), telemetry::kStateFileTextLimit);
  StateSnapshot s = Distinct();
  EXPECT_TRUE(s.Parse(atLimit));
  EXPECT_EQ(s.installFirstSeenUnix, 1u);

  const std::string overLimit = head + std::string(fill + 1, '0') + "1\n" + tail;
  ASSERT_EQ(overLimit.size(), telemetry::kStateFileTextLimit + 1);
  s = Distinct();
  EXPECT_FALSE(s.Parse(overLimit));
  ExpectSameState(s, Distinct(), "4097 bytes");
}

TEST(StateSnapshot_Serialize, RoundTripsEveryField) {
  StateSnapshot original;
  original.installId = std::string(128, 'X');
  original.installDateProvenance = "registry\r";
  original.installFirstSeenUnix = 18446744073709551615ull;
  original.eventSequence = 0;
  original.activityCount = 12345678901234ull;
  original.firstRunUnix = 1;
  for (const bool reliable : {true, false}) {
    original.orderingReliable = reliable;
    const std::string text = original.Serialize();
    EXPECT_EQ(text.back(), '\n');
    StateSnapshot copy = Distinct();
    ASSERT_TRUE(copy.Parse(text));
    ExpectSameState(copy, original, "round trip");
  }
  StateSnapshot s;
  s.installId = "ID";
  s.installDateProvenance = "file";
  s.installFirstSeenUnix = 5;
  s.eventSequence = 6;
  s.activityCount = 7;
  s.firstRunUnix = 8;
  s.orderingReliable = false;
  EXPECT_EQ(s.Serialize(), "TVTS3\nID\nfile\n5\n6\n7\n8\n0\n");
}

TEST(StateSnapshot_Serialize, WritesUnparsableStatesUnchanged) {
  StateSnapshot s;  // empty id, zero times
  EXPECT_EQ(s.Serialize(), "TVTS3\n\n\n0\n0\n0\n0\n1\n");
  StateSnapshot reader = Distinct();
  EXPECT_FALSE(reader.Parse(s.Serialize()));
  ExpectSameState(reader, Distinct(), "default state");
}

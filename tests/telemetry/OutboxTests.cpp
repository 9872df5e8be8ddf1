#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "telemetry/Outbox.h"
#include "tests/telemetry/TelemetryTestHelpers.h"

using telemetry::Outbox;
using telemetry::Record;

namespace {

Outbox Distinct() {
  Outbox o;
  o.dropped = 99;
  o.records.push_back(Record{123, "https://previous.example/exec", "{\"previous\":1}"});
  return o;
}

bool LoadText(Outbox& outbox, const std::string& text) {
  std::istringstream in(text);
  return outbox.Load(in);
}

std::string SaveText(const Outbox& outbox) {
  std::ostringstream out;
  outbox.Save(out);
  return out.str();
}

std::string RecordText(uint64_t created, const std::string& endpoint, const std::string& body) {
  return std::to_string(created) + "\n" + std::to_string(endpoint.size()) + "\n" + std::to_string(body.size()) +
         "\n" + endpoint + body;
}

std::string Header(uint64_t dropped, size_t count) {
  return "TVTQ3\n" + std::to_string(dropped) + "\n" + std::to_string(count) + "\n";
}

// count records whose endpoint and body bytes add up to total.
std::string FileWithTotal(size_t count, size_t total) {
  std::string text = Header(0, count);
  const size_t each = total / count;
  for (size_t i = 0; i < count; ++i) {
    const size_t size = i + 1 == count ? total - each * (count - 1) : each;
    text += RecordText(i, "e", std::string(size - 1, 'b'));
  }
  return text;
}

}  // namespace

TEST(Outbox_Load, AcceptsEmptyQueues) {
  Outbox o = Distinct();
  ASSERT_TRUE(LoadText(o, "TVTQ3\n7\n0\n"));
  EXPECT_TRUE(o.records.empty());
  EXPECT_EQ(o.dropped, 7u);

  o = Distinct();
  ASSERT_TRUE(LoadText(o, "TVTQ3\n7\n0"));
  EXPECT_TRUE(o.records.empty());
  EXPECT_EQ(o.dropped, 7u);

  o = Distinct();
  ASSERT_TRUE(LoadText(o, "TVTQ3\n18446744073709551615\n0\n"));
  EXPECT_EQ(o.dropped, 18446744073709551615ull);
}

TEST(Outbox_Load, RefusalsLeaveTheQueueUntouched) {
  const std::string one = RecordText(5, "https://e/x", "{}");
  struct Case {
    std::string text;
    const char* what;
  };
  const Case cases[] = {
      {"", "empty file"},
      {"TVTQ3", "magic only"},
      {"TVTQ3\n", "no numbers"},
      {"TVTQ3\r\n0\r\n0\r\n", "CR LF magic"},
      {"TVTQ2\n0\n0\n", "wrong magic"},
      {"TVTQ33\n0\n0\n", "longer magic"},
      {"\xEF\xBB\xBFTVTQ3\n0\n0\n", "byte-order mark"},
      {"TVTQ3\n18446744073709551616\n0\n", "dropped of 2^64"},
      {"TVTQ3\n-1\n0\n", "negative dropped"},
      {"TVTQ3\n+1\n0\n", "signed dropped"},
      {"TVTQ3\n0\n-0\n", "signed count"},
      {"TVTQ3\n0\n", "missing count"},
      {Header(0, 513), "count of 513"},
      {Header(0, 1), "announced record missing"},
      {Header(0, 1) + "5\n0\n2\n{}", "endpoint length 0"},
      {Header(0, 1) + RecordText(5, std::string(8193, 'e'), "{}"), "endpoint of 8193 bytes"},
      {Header(0, 1) + "5\n1\n0\ne", "body length 0"},
      {Header(0, 1) + RecordText(5, "e", std::string(65537, 'b')), "body of 65537 bytes"},
      {Header(0, 1) + "5\n1\n2\r\ne{}", "CR LF after the third number"},
      {Header(0, 1) + "5\n1\n2 e{}", "space after the third number"},
      {Header(0, 1) + "5\n1\n-2\ne{}", "negative body length"},
      {Header(0, 1) + "18446744073709551616\n1\n2\ne{}", "created of 2^64"},
      {Header(0, 1) + "5\n18446744073709551617\n2\ne{}", "endpoint length overflows"},
      {Header(0, 1) + "5\n1\n5\ne{}", "last body shorter than announced"},
      {Header(0, 1) + one + "x", "one byte after the last body"},
      {Header(0, 1) + one + "\n", "LF after the last body"},
      {Header(0, 2) + one, "second record missing"},
      {Header(0, 0) + "\n", "extra LF in an empty queue"},
      {FileWithTotal(40, 2097153), "total of 2097153 bytes"},
  };
  for (const Case& c : cases) {
    Outbox o = Distinct();
    EXPECT_FALSE(LoadText(o, c.text)) << c.what;
    EXPECT_TRUE(SameOutbox(o, Distinct())) << c.what;
  }
}

TEST(Outbox_Load, AcceptsEveryLimit) {
  Outbox o;
  ASSERT_TRUE(LoadText(o, FileWithTotal(40, 2097152)));
  EXPECT_EQ(o.records.size(), 40u);

  std::string full = Header(3, 512);
  for (size_t i = 0; i < 512; ++i) full += RecordText(i, "e", "b");
  ASSERT_TRUE(LoadText(o, full));
  EXPECT_EQ(o.records.size(), 512u);
  EXPECT_EQ(o.records.back().createdUnix, 511u);

  const std::string longest = Header(0, 1) + RecordText(18446744073709551615ull, std::string(8192, 'e'),
                                                        std::string(65536, 'b'));
  ASSERT_TRUE(LoadText(o, longest));
  ASSERT_EQ(o.records.size(), 1u);
  EXPECT_EQ(o.records[0].createdUnix, 18446744073709551615ull);
  EXPECT_EQ(o.records[0].endpoint.size(), 8192u);
  EXPECT_EQ(o.records[0].body.size(), 65536u);
}

TEST(Outbox_SaveLoad, RoundTripsRawBytes) {
  Outbox original;
  original.dropped = 18446744073709551615ull;
  original.records.push_back(Record{1, "https://h/exec?a=1", "{\"line\":\"a\nb\"}\n"});
  original.records.push_back(Record{0, std::string("e\0p", 3), std::string("\0\0\n\r\n\xFF", 6)});
  original.records.push_back(Record{42, "9", "12\n"});  // digits right after a body
  original.records.push_back(Record{18446744073709551615ull, "\n", "\n"});

  const std::string text = SaveText(original);
  EXPECT_EQ(text.substr(0, 6), "TVTQ3\n");
  Outbox copy = Distinct();
  ASSERT_TRUE(LoadText(copy, text));
  EXPECT_TRUE(SameOutbox(copy, original));

  Outbox empty;
  empty.dropped = 7;
  EXPECT_EQ(SaveText(empty), "TVTQ3\n7\n0\n");
  EXPECT_EQ(SaveText(Outbox{ {Record{5, "ab", "c"}}, 0 }), "TVTQ3\n0\n1\n5\n2\n1\nabc");
}

TEST(Outbox_Save, WritesRecordsThatLoadRefuses) {
  Outbox big;
  big.records.push_back(Record{1, "e", std::string(65537, 'b')});
  const std::string text = SaveText(big);
  EXPECT_EQ(text.size(), std::string("TVTQ3\n0\n1\n1\n1\n65537\n").size() + 1 + 65537);
  Outbox reader = Distinct();
  EXPECT_FALSE(LoadText(reader, text));
  EXPECT_TRUE(SameOutbox(reader, Distinct()));
}

TEST(Outbox_Trim, AgeBoundaries) {
  struct Case {
    uint64_t created;
    bool kept;
  };
  const Case cases[] = {
      {395200, true},    // exactly seven days old
      {395199, false},   // one second more
      {1000000, true},   // now
      {1000001, true},   // future
      {18446744073709551615ull, true},
      {0, false},
  };
  for (const Case& c : cases) {
    Outbox o;
    o.dropped = 3;
    o.records.push_back(Record{c.created, "e", "b"});
    o.Trim(1000000);
    EXPECT_EQ(o.records.size(), c.kept ? 1u : 0u) << c.created;
    EXPECT_EQ(o.dropped, c.kept ? 3u : 4u) << c.created;
  }
}

TEST(Outbox_Trim, OnlyTheFrontAges) {
  Outbox o;
  o.records.push_back(Record{2000000, "e", "young front"});
  o.records.push_back(Record{1, "e", "old behind"});
  o.Trim(1000000 + 2000000);
  // Front 1 000 000 s old: dropped; then the old one becomes front and goes too.
  EXPECT_TRUE(o.records.empty());
  EXPECT_EQ(o.dropped, 2u);

  o = Outbox();
  o.records.push_back(Record{3000000, "e", "future front"});
  o.records.push_back(Record{1, "e", "old behind"});
  o.Trim(1000000);
  EXPECT_EQ(o.records.size(), 2u);
  EXPECT_EQ(o.dropped, 0u);
}

TEST(Outbox_Trim, CountAndByteLimits) {
  Outbox o;
  for (uint64_t i = 0; i < 514; ++i) o.records.push_back(Record{1000 + i, "e", "b"});
  o.Trim(1000);
  ASSERT_EQ(o.records.size(), 512u);
  EXPECT_EQ(o.records.front().createdUnix, 1002u);
  EXPECT_EQ(o.dropped, 2u);

  // Exactly 2 MiB in total stays; one byte more drops the front.
  Outbox exact;
  for (int i = 0; i < 32; ++i) exact.records.push_back(Record{7, "e", std::string(65535, 'b')});
  exact.Trim(7);
  EXPECT_EQ(exact.records.size(), 32u);
  EXPECT_EQ(exact.dropped, 0u);
  exact.records.push_back(Record{8, "e", ""});
  exact.Trim(8);
  EXPECT_EQ(exact.records.size(), 32u);
  EXPECT_EQ(exact.dropped, 1u);
  EXPECT_EQ(exact.records.back().createdUnix, 8u);
}

TEST(Outbox_Trim, DroppedCountDoesNotWrap) {
  Outbox o;
  o.dropped = 18446744073709551615ull;
  o.records.push_back(Record{0, "e", "b"});
  o.Trim(1000000);
  EXPECT_TRUE(o.records.empty());
  EXPECT_EQ(o.dropped, 18446744073709551615ull);
}

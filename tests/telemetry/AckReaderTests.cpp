#include <gtest/gtest.h>

#include <string>

#include "telemetry/AckReader.h"

using telemetry::AckReader;

namespace {

const std::string kId = "0F8B54C6-2F3A-4C39-9D5E-1A2B3C4D5E6F";

bool Accepts(const std::string& reply, const std::string& expected = kId) {
  AckReader reader(reply);
  return reader.Accepted(expected);
}

std::string Ack(const std::string& extra = "") {
  return "{\"ok\":true,\"eventId\":\"" + kId + "\"" + extra + "}";
}

// A member value of depth containers, the innermost holding inner.
std::string Nested(int depth, const std::string& inner) {
  std::string open, close;
  for (int i = 0; i < depth; ++i) {
    open += i % 2 == 0 ? "[" : "{\"k\":";
    close = (i % 2 == 0 ? "]" : "}") + close;
  }
  return open + inner + close;
}

}  // namespace

TEST(AckReader_Accepted, AcknowledgingReplies) {
  const std::string cases[] = {
      Ack(),
      "{\"eventId\":\"" + kId + "\",\"ok\":true}",
      " \t\r\n{ \"ok\" : true , \"eventId\" :\n\"" + kId + "\" }\r\n\n ",
      "\v\f{\"ok\":true,\"eventId\":\"" + kId + "\"}\v\f",
      "{\"a\":{\"b\":[1,-0.5e+10,2E-3,0,true,false,null,\"s\\\"\\\\\\/\\b\\f\\n\\r\\t\\u00e9\"]},\"ok\":true,"
      "\"c\":[],\"d\":{},\"eventId\":\"" + kId + "\",\"e\":\"\xC3\xA9\xFF\"}",
      "{\"ok\":true,\"eventId\":\"" + kId + "\",\"x\":[[[]]]}",
      Ack(",\"deep\":" + Nested(17, "")),
      Ack(",\"deep\":" + Nested(16, "1")),
  };
  for (const std::string& reply : cases) EXPECT_TRUE(Accepts(reply)) << reply;
  // An escape in the id compares by its letter, as the sender extracts it.
  EXPECT_TRUE(Accepts("{\"ok\":true,\"eventId\":\"a\\\"b\\nc\"}", "a\"bnc"));
}

TEST(AckReader_Accepted, RefusedReplies) {
  struct Case {
    std::string reply;
    const char* what;
  };
  const Case cases[] = {
      {"", "empty"},
      {"   ", "only whitespace"},
      {"{}", "empty object"},
      {"{ }", "empty object with space"},
      {"[" + Ack() + "]", "top-level array"},
      {"\"" + kId + "\"", "top-level string"},
      {"{\"ok\":false,\"eventId\":\"" + kId + "\"}", "ok false"},
      {"{\"ok\":\"true\",\"eventId\":\"" + kId + "\"}", "ok as a string"},
      {"{\"ok\":1,\"eventId\":\"" + kId + "\"}", "ok as a number"},
      {"{\"ok\":null,\"eventId\":\"" + kId + "\"}", "ok null"},
      {"{\"ok\":True,\"eventId\":\"" + kId + "\"}", "ok capitalised"},
      {"{\"eventId\":\"" + kId + "\"}", "ok missing"},
      {"{\"ok\":true}", "eventId missing"},
      {"{\"ok\":true,\"ok\":true,\"eventId\":\"" + kId + "\"}", "ok twice"},
      {"{\"ok\":true,\"eventId\":\"" + kId + "\",\"ok\":true}", "ok twice, apart"},
      {Ack(",\"eventId\":\"" + kId + "\""), "eventId twice"},
      {"{\"ok\":true,\"eventId\":5}", "eventId a number"},
      {"{\"ok\":true,\"eventId\":\"" + kId.substr(0, 35) + "f\"}", "id differs in case"},
      {"{\"ok\":true,\"eventId\":\"" + kId + " \"}", "id with a trailing space"},
      {"{\"OK\":true,\"eventId\":\"" + kId + "\"}", "key in upper case"},
      {Ack() + "{}", "second object"},
      {Ack() + "x", "trailing byte"},
      {Ack() + std::string(1, '\0'), "trailing NUL"},
      {Ack(","), "trailing comma"},
      {"{\"ok\":true,,\"eventId\":\"" + kId + "\"}", "double comma"},
      {Ack(",\"a\":[1,]"), "trailing comma in an array"},
      {Ack(",\"a\":{\"b\":1,}"), "trailing comma in an object"},
      {"{\"ok\":true,\"eventId\":\"" + kId + "\"", "unclosed object"},
      {"{\"ok\" true,\"eventId\":\"" + kId + "\"}", "missing colon"},
      {"{ok:true,\"eventId\":\"" + kId + "\"}", "unquoted key"},
      {Ack(",\"s\":\"tab\there\""), "raw control byte in a value"},
      {"{\"ok\":true,\"eventId\":\"" + kId + "\n\"}", "raw LF in the id"},
      {Ack(",\"k\x01\":1"), "raw control byte in a key"},
      {Ack(",\"s\":\"\\u12\""), "\\u with two hex digits"},
      {Ack(",\"s\":\"\\u123\""), "\\u with three hex digits"},
      {Ack(",\"s\":\"\\u12G4\""), "\\u with a non-hex digit"},
      {Ack(",\"s\":\"\\x41\""), "unknown escape"},
      {Ack(",\"s\":\"\\"), "backslash at the end"},
      {Ack(",\"s\":\"open"), "unterminated string"},
      {Ack(",\"n\":1."), "number 1."},
      {Ack(",\"n\":1e"), "number 1e"},
      {Ack(",\"n\":1e+"), "number 1e+"},
      {Ack(",\"n\":-"), "lone minus"},
      {Ack(",\"n\":01"), "leading zero"},
      {Ack(",\"n\":+1"), "plus sign"},
      {Ack(",\"n\":.5"), "no integer part"},
      {Ack(",\"n\":tru"), "cut literal"},
      {Ack(",\"n\":nul"), "cut null"},
      {Ack(",\"n\":undefined"), "unknown word"},
      {Ack(",\"deep\":" + Nested(17, "1")), "depth 17 with content"},
      {Ack(",\"deep\":" + Nested(17, "[]")), "depth 18"},
      {Ack(",\"deep\":" + Nested(301, "")), "very deep"},
      {"{\"ok\":true,\"eventId\":\"" + kId + "\",\"x\":" + "[" + "}", "mismatched brackets"},
  };
  for (const Case& c : cases) EXPECT_FALSE(Accepts(c.reply)) << c.what;
}

TEST(AckReader_Accepted, NeedsAnExpectedId) {
  EXPECT_FALSE(Accepts("{\"ok\":true,\"eventId\":\"\"}", ""));
  EXPECT_FALSE(Accepts(Ack(), ""));
}

TEST(AckReader_Accepted, LengthLimit) {
  // Pad an extra member so the reply has exactly the limit.
  const std::string prefix = "{\"ok\":true,\"eventId\":\"" + kId + "\",\"pad\":\"";
  const std::string suffix = "\"}";
  const size_t fill = telemetry::kAckReplyLimit - prefix.size() - suffix.size();
  const std::string atLimit = prefix + std::string(fill, 'p') + suffix;
  ASSERT_EQ(atLimit.size(), telemetry::kAckReplyLimit);
  EXPECT_TRUE(Accepts(atLimit));
  EXPECT_FALSE(Accepts(atLimit + " "));
}

TEST(AckReader_String, KeepsEscapeLettersAndMovesPastTheString) {
  struct Case {
    std::string json;
    bool ok;
    std::string decoded;
  };
  const Case cases[] = {
      {"\"plain\"", true, "plain"},
      {"  \"a\\nb\"", true, "anb"},
      {"\"\\\"\\\\\\/\\b\\f\\n\\r\\t\"", true, "\"\\/bfnrt"},
      {"\"\\u00E9\\uABcd\"", true, "??"},
      {"\"\xC3\xA9\x80\xFF\"", true, "\xC3\xA9\x80\xFF"},
      {"\"\x7F\"", true, "\x7F"},
      {"\"\x1F\"", false, ""},
      {"\"\\u00e\"", false, ""},
      {"\"\\u", false, ""},
      {"\"\\a\"", false, ""},
      {"x\"a\"", false, ""},
      {"", false, ""},
  };
  for (const Case& c : cases) {
    AckReader reader(c.json);
    std::string out = "junk";
    EXPECT_EQ(reader.String(out), c.ok) << c.json;
    if (c.ok) {
      EXPECT_EQ(out, c.decoded) << c.json;
      EXPECT_EQ(reader.pos, c.json.size()) << c.json;
    }
  }
}

TEST(AckReader_Take, SkipsWhitespaceEvenWhenRefusing) {
  const std::string text = " \t\n x";
  AckReader reader(text);
  EXPECT_FALSE(reader.Take('{'));
  EXPECT_EQ(reader.pos, 4u);
  EXPECT_TRUE(reader.Take('x'));
  EXPECT_EQ(reader.pos, 5u);
  EXPECT_FALSE(reader.Take('x'));
  EXPECT_EQ(reader.pos, 5u);
}

TEST(AckReader_Value, ReadsOneValueAndStopsAfterIt) {
  struct Case {
    std::string json;
    bool ok;
    size_t end;
  };
  const Case cases[] = {
      {"0123", true, 1},  // a leading zero is a whole number
      {"-0.5e+10,", true, 8},
      {"truex", true, 4},  // the byte after a literal is the caller's business
      {" [ 1 , { \"a\" : null } ] ]", true, 23},
      {"{\"a\":1 \"b\":2}", false, 0},
      {"1.e5", false, 0},
  };
  for (const Case& c : cases) {
    AckReader reader(c.json);
    EXPECT_EQ(reader.Value(0), c.ok) << c.json;
    if (c.ok) {
      EXPECT_EQ(reader.pos, c.end) << c.json;
    }
  }
  const std::string empty = "[]";
  AckReader atLimit(empty);
  EXPECT_TRUE(atLimit.Value(16));
  AckReader overLimit(empty);
  EXPECT_FALSE(overLimit.Value(17));
  EXPECT_EQ(overLimit.pos, 0u);
}

#pragma once

#include <cstddef>
#include <string>

namespace telemetry {

inline constexpr size_t kAckReplyLimit = 65536;
inline constexpr unsigned kAckMaxDepth = 16;

// Strict reader of the endpoint's JSON reply. The position only moves
// forward; whitespace skipped on the way stays skipped even when what
// follows is refused.
struct AckReader {
  AckReader(const char* bytes, size_t size) : text(bytes), length(size) {}
  explicit AckReader(const std::string& reply) : text(reply.data()), length(reply.size()) {}

  // Skips whitespace, then consumes one byte equal to expected.
  bool Take(char expected);
  // Reads one JSON string. An escape keeps its letter rather than its
  // meaning (backslash-n gives 'n'); backslash-u with four hex digits gives '?'.
  bool String(std::string& out);
  // Reads and discards one value; containers nest at most kAckMaxDepth deep.
  bool Value(unsigned depth);
  // The whole reply is one object with "ok": true and "eventId" equal to
  // expectedEventId (which must not be empty), followed only by whitespace.
  bool Accepted(const std::string& expectedEventId);

  const char* text;  // not owned, never changed
  size_t length;
  size_t pos = 0;

 private:
  void SkipWhitespace();
  bool AtEnd() const { return pos >= length; }
  char Peek() const { return text[pos]; }
  bool Literal(const char* word);
  bool Number();
};

}  // namespace telemetry

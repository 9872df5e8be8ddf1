#include "telemetry/AckReader.h"

#include <cstring>

namespace telemetry {

namespace {

bool IsSpaceByte(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

void AckReader::SkipWhitespace() {
  while (!AtEnd() && IsSpaceByte(Peek())) ++pos;
}

bool AckReader::Take(char expected) {
  SkipWhitespace();
  if (AtEnd() || Peek() != expected) return false;
  ++pos;
  return true;
}

bool AckReader::String(std::string& out) {
  SkipWhitespace();
  if (AtEnd() || Peek() != '"') return false;
  ++pos;
  out.clear();
  for (;;) {
    if (AtEnd()) return false;
    const char byte = text[pos++];
    if (byte == '"') return true;
    if (static_cast<unsigned char>(byte) < 0x20) return false;
    if (byte != '\\') {
      out += byte;
      continue;
    }
    if (AtEnd()) return false;
    const char escape = text[pos++];
    if (escape == 'u') {
      for (int i = 0; i < 4; ++i) {
        if (AtEnd() || !IsHexDigit(Peek())) return false;
        ++pos;
      }
      out += '?';
    } else if (std::strchr("\"\\/bfnrt", escape) != nullptr && escape != '\0') {
      out += escape;
    } else {
      return false;
    }
  }
}

bool AckReader::Literal(const char* word) {
  const size_t wordLength = std::strlen(word);
  if (length - pos < wordLength || std::memcmp(text + pos, word, wordLength) != 0) return false;
  pos += wordLength;
  return true;
}

bool AckReader::Number() {
  if (!AtEnd() && Peek() == '-') ++pos;
  if (AtEnd() || !IsDigit(Peek())) return false;
  if (Peek() == '0') {
    ++pos;
  } else {
    while (!AtEnd() && IsDigit(Peek())) ++pos;
  }
  if (!AtEnd() && Peek() == '.') {
    ++pos;
    if (AtEnd() || !IsDigit(Peek())) return false;
    while (!AtEnd() && IsDigit(Peek())) ++pos;
  }
  if (!AtEnd() && (Peek() == 'e' || Peek() == 'E')) {
    ++pos;
    if (!AtEnd() && (Peek() == '+' || Peek() == '-')) ++pos;
    if (AtEnd() || !IsDigit(Peek())) return false;
    while (!AtEnd() && IsDigit(Peek())) ++pos;
  }
  return true;
}

bool AckReader::Value(unsigned depth) {
  if (depth > kAckMaxDepth) return false;
  SkipWhitespace();
  if (AtEnd()) return false;

  const char first = Peek();
  if (first == '"') {
    std::string scratch;
    return String(scratch);
  }
  if (first == '{') {
    ++pos;
    if (Take('}')) return true;
    for (;;) {
      std::string key;
      if (!String(key)) return false;
      SkipWhitespace();
      if (AtEnd() || Peek() != ':') return false;
      ++pos;
      if (!Value(depth + 1)) return false;
      SkipWhitespace();
      if (AtEnd() || Peek() != ',') return Take('}');
      ++pos;
    }
  }
  if (Take('[')) {
    if (Take(']')) return true;
    for (;;) {
      if (!Value(depth + 1)) return false;
      if (!Take(',')) return Take(']');
    }
  }
  if (Literal("true") || Literal("false") || Literal("null")) return true;
  if (first == '-' || IsDigit(first)) return Number();
  return false;
}

bool AckReader::Accepted(const std::string& expectedEventId) {
  if (length > kAckReplyLimit) return false;
  if (!Take('{')) return false;
  SkipWhitespace();
  if (AtEnd() || Peek() == '}') return false;

  bool okSeen = false;
  bool okValue = false;
  bool eventIdSeen = false;
  std::string receivedId;
  for (;;) {
    std::string key;
    if (!String(key)) return false;
    SkipWhitespace();
    if (AtEnd() || Peek() != ':') return false;
    ++pos;
    SkipWhitespace();

    if (key == "ok") {
      if (okSeen) return false;
      okSeen = true;
      if (Literal("true")) {
        okValue = true;
      } else if (Literal("false")) {
        okValue = false;
      } else {
        return false;
      }
    } else if (key == "eventId") {
      if (eventIdSeen) return false;
      eventIdSeen = true;
      if (!String(receivedId)) return false;
    } else if (!Value(0)) {
      return false;
    }

    SkipWhitespace();
    if (AtEnd() || Peek() != ',') break;
    ++pos;
  }
  if (!Take('}')) return false;
  SkipWhitespace();
  if (!AtEnd()) return false;

  return okSeen && okValue && eventIdSeen && !expectedEventId.empty() && receivedId == expectedEventId;
}

}  // namespace telemetry

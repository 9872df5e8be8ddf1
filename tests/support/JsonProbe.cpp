#include "tests/support/JsonProbe.h"

#include <cctype>

namespace testing_support {

namespace {

struct Cursor {
  const std::string& text;
  size_t at = 0;
  void SkipSpace() {
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t' || text[at] == '\n' || text[at] == '\r')) ++at;
  }
};

bool SkipValue(Cursor& c);

bool SkipString(Cursor& c) {
  if (c.at >= c.text.size() || c.text[c.at] != '"') return false;
  for (++c.at; c.at < c.text.size(); ++c.at) {
    const char ch = c.text[c.at];
    if (ch == '"') {
      ++c.at;
      return true;
    }
    if (static_cast<unsigned char>(ch) < 0x20) return false;
    if (ch == '\\') {
      if (++c.at >= c.text.size()) return false;
      const char e = c.text[c.at];
      if (e == 'u') {
        for (int i = 0; i < 4; ++i) {
          if (++c.at >= c.text.size() || !std::isxdigit(static_cast<unsigned char>(c.text[c.at]))) return false;
        }
      } else if (std::string("\"\\/bfnrt").find(e) == std::string::npos) {
        return false;
      }
    }
  }
  return false;
}

bool SkipContainer(Cursor& c, char open, char close) {
  ++c.at;
  c.SkipSpace();
  if (c.at < c.text.size() && c.text[c.at] == close) {
    ++c.at;
    return true;
  }
  for (;;) {
    c.SkipSpace();
    if (open == '{') {
      if (!SkipString(c)) return false;
      c.SkipSpace();
      if (c.at >= c.text.size() || c.text[c.at] != ':') return false;
      ++c.at;
      c.SkipSpace();
    }
    if (!SkipValue(c)) return false;
    c.SkipSpace();
    if (c.at >= c.text.size()) return false;
    if (c.text[c.at] == ',') {
      ++c.at;
      continue;
    }
    if (c.text[c.at] == close) {
      ++c.at;
      return true;
    }
    return false;
  }
}

bool SkipValue(Cursor& c) {
  if (c.at >= c.text.size()) return false;
  const char ch = c.text[c.at];
  if (ch == '"') return SkipString(c);
  if (ch == '{') return SkipContainer(c, '{', '}');
  if (ch == '[') return SkipContainer(c, '[', ']');
  for (const char* word : {"true", "false", "null"}) {
    if (c.text.compare(c.at, std::string(word).size(), word) == 0) {
      c.at += std::string(word).size();
      return true;
    }
  }
  const size_t start = c.at;
  if (c.at < c.text.size() && c.text[c.at] == '-') ++c.at;
  while (c.at < c.text.size() && (std::isdigit(static_cast<unsigned char>(c.text[c.at])) || c.text[c.at] == '.' ||
                                  c.text[c.at] == 'e' || c.text[c.at] == 'E' || c.text[c.at] == '+' ||
                                  c.text[c.at] == '-')) {
    ++c.at;
  }
  return c.at > start;
}

}  // namespace

bool ParseJsonObject(const std::string& text, std::vector<std::pair<std::string, std::string>>& members) {
  members.clear();
  Cursor c{text};
  c.SkipSpace();
  if (c.at >= text.size() || text[c.at] != '{') return false;
  ++c.at;
  c.SkipSpace();
  if (c.at < text.size() && text[c.at] == '}') {
    ++c.at;
  } else {
    for (;;) {
      c.SkipSpace();
      const size_t keyStart = c.at;
      if (!SkipString(c)) return false;
      const std::string key = JsonStringValue(text.substr(keyStart, c.at - keyStart));
      c.SkipSpace();
      if (c.at >= text.size() || text[c.at] != ':') return false;
      ++c.at;
      c.SkipSpace();
      const size_t valueStart = c.at;
      if (!SkipValue(c)) return false;
      members.emplace_back(key, text.substr(valueStart, c.at - valueStart));
      c.SkipSpace();
      if (c.at >= text.size()) return false;
      if (text[c.at] == ',') {
        ++c.at;
        continue;
      }
      if (text[c.at] != '}') return false;
      ++c.at;
      break;
    }
  }
  c.SkipSpace();
  return c.at == text.size();
}

std::string JsonStringValue(const std::string& raw) {
  std::string out;
  if (raw.size() < 2 || raw.front() != '"') return out;
  for (size_t i = 1; i + 1 < raw.size(); ++i) {
    if (raw[i] != '\\') {
      out.push_back(raw[i]);
      continue;
    }
    const char e = raw[++i];
    switch (e) {
      case 'n': out.push_back('\n'); break;
      case 't': out.push_back('\t'); break;
      case 'r': out.push_back('\r'); break;
      case 'b': out.push_back('\b'); break;
      case 'f': out.push_back('\f'); break;
      case 'u': {
        const unsigned value = std::stoul(raw.substr(i + 1, 4), nullptr, 16);
        i += 4;
        if (value < 0x80) {
          out.push_back(static_cast<char>(value));
        } else {
          out += "?";
        }
        break;
      }
      default: out.push_back(e);
    }
  }
  return out;
}

std::string JsonMember(const std::vector<std::pair<std::string, std::string>>& members, const std::string& key) {
  for (const auto& [name, value] : members) {
    if (name == key) return value;
  }
  return "<missing>";
}

}  // namespace testing_support

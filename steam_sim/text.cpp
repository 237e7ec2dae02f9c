#include "steam_sim/text.h"

#include <limits>

namespace steam_sim {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The value of hex digit `c`, or -1.
int HexValue(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return -1;
}

}  // namespace

std::string Quote(std::string_view bytes) {
  static const char kHexDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() + 2);
  out += '"';
  for (char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte >= 0x20 && byte <= 0x7E) {
      out += c;
    } else {
      out += "\\x";
      out += kHexDigits[byte >> 4];
      out += kHexDigits[byte & 0x0F];
    }
  }
  out += '"';
  return out;
}

bool Unquote(std::string_view quoted, std::string* bytes) {
  if (quoted.size() < 2 || quoted.front() != '"' || quoted.back() != '"') {
    return false;
  }
  bytes->clear();
  const std::string_view inner = quoted.substr(1, quoted.size() - 2);
  for (size_t i = 0; i < inner.size(); ++i) {
    const char c = inner[i];
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || byte < 0x20 || byte > 0x7E) {
      return false;
    }
    if (c != '\\') {
      *bytes += c;
      continue;
    }
    if (i + 1 >= inner.size()) {
      return false;
    }
    const char escaped = inner[++i];
    if (escaped == '"' || escaped == '\\') {
      *bytes += escaped;
    } else if (escaped == 'x' && i + 2 < inner.size() && HexValue(inner[i + 1]) >= 0 &&
               HexValue(inner[i + 2]) >= 0) {
      *bytes += static_cast<char>(HexValue(inner[i + 1]) * 16 + HexValue(inner[i + 2]));
      i += 2;
    } else {
      return false;
    }
  }
  return true;
}

bool ParseUnsigned(std::string_view token, uint64_t* value) {
  unsigned base = 10;
  if (token.size() > 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X')) {
    base = 16;
    token.remove_prefix(2);
  }
  if (token.empty()) {
    return false;
  }
  uint64_t result = 0;
  for (char c : token) {
    const int digit = HexValue(c);
    if (digit < 0 || static_cast<unsigned>(digit) >= base) {
      return false;
    }
    if (result > (std::numeric_limits<uint64_t>::max() - static_cast<unsigned>(digit)) / base) {
      return false;
    }
    result = result * base + static_cast<unsigned>(digit);
  }
  *value = result;
  return true;
}

std::vector<std::string_view> SplitTokens(std::string_view line) {
  std::vector<std::string_view> tokens;
  size_t at = 0;
  while (at < line.size()) {
    while (at < line.size() && IsBlank(line[at])) {
      ++at;
    }
    const size_t start = at;
    while (at < line.size() && !IsBlank(line[at])) {
      ++at;
    }
    if (at > start) {
      tokens.push_back(line.substr(start, at - start));
    }
  }
  return tokens;
}

bool SplitQuotedTokens(std::string_view line, std::vector<std::string_view>* tokens) {
  tokens->clear();
  size_t at = 0;
  while (at < line.size()) {
    if (IsBlank(line[at])) {
      ++at;
      continue;
    }
    const size_t start = at;
    if (line[at] == '"') {
      ++at;
      while (at < line.size() && line[at] != '"') {
        // A backslash always escapes the next byte, so \" doesn't close.
        at += line[at] == '\\' ? 2 : 1;
      }
      if (at >= line.size()) {
        return false;
      }
      ++at;
      if (at < line.size() && !IsBlank(line[at])) {
        return false;
      }
    } else {
      while (at < line.size() && !IsBlank(line[at])) {
        ++at;
      }
    }
    tokens->push_back(line.substr(start, at - start));
  }
  return true;
}

}  // namespace steam_sim

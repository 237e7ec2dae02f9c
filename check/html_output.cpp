#include "check/html_output.h"

#include <algorithm>
#include <utility>

#include "check/text.h"

namespace {

constexpr size_t kOutputBlock = size_t{64} * 1024;
// U+FFFD as its own three bytes rather than a character reference, which
// would cost eight: an address is written twice, in its link and as text.
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

}  // namespace

HtmlOutput::HtmlOutput(std::function<void(std::string_view)> sink) : sink_(std::move(sink)) {
  buffer_.reserve(kOutputBlock + kOutputBlock / 4);
}

HtmlOutput::~HtmlOutput() { Flush(); }

void HtmlOutput::Flush() {
  if (!buffer_.empty()) {
    sink_(buffer_);
    buffer_.clear();
  }
}

void HtmlOutput::Markup(std::string_view html) {
  buffer_ += html;
  if (buffer_.size() >= kOutputBlock) {
    Flush();
  }
}

void HtmlOutput::Text(std::string_view text) {
  size_t at = 0;
  while (at < text.size()) {
    // The bytes that need nothing, in one piece of at most a block, so the
    // buffer stays small whatever the text.
    const size_t limit = std::min(text.size(), at + kOutputBlock);
    size_t plain = at;
    while (plain < limit) {
      const auto byte = static_cast<unsigned char>(text[plain]);
      if (byte < 0x20 || byte >= 0x7F || byte == '&' || byte == '<' || byte == '>' || byte == '"' ||
          byte == '\'') {
        if (byte == '\t' || byte == '\n' || byte == '\r') {
          ++plain;
          continue;
        }
        break;
      }
      ++plain;
    }
    buffer_.append(text.data() + at, plain - at);
    at = plain;
    if (at < limit) {  // a byte that needs escaping
      switch (text[at]) {
        case '&':
          buffer_ += "&amp;";
          ++at;
          break;
        case '<':
          buffer_ += "&lt;";
          ++at;
          break;
        case '>':
          buffer_ += "&gt;";
          ++at;
          break;
        case '"':
          buffer_ += "&#34;";  // one byte shorter than &quot;
          ++at;
          break;
        case '\'':
          buffer_ += "&#39;";
          ++at;
          break;
        default: {
          const size_t length = static_cast<unsigned char>(text[at]) >= 0x80
                                    ? Utf8CharacterLength(text.substr(at))
                                    : 0;
          if (length == 0) {
            buffer_ += kReplacement;
            ++at;
          } else {
            buffer_.append(text.data() + at, length);
            at += length;
          }
        }
      }
    }
    if (buffer_.size() >= kOutputBlock) {
      Flush();
    }
  }
}

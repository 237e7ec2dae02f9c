#include "check/markup.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

#include "check/mod_check.h"
#include "console/console.h"

namespace {

constexpr size_t kOutputBlock = size_t{64} * 1024;
constexpr size_t kShownWarnings = 10;
constexpr size_t kQuoteLimit = 40;
constexpr std::string_view kReplacement = "&#xFFFD;";

enum class Tag : uint8_t {
  kB,
  kI,
  kU,
  kStrike,
  kSpoiler,
  kH1,
  kH2,
  kH3,
  kNoparse,
  kHr,
  kUrl,
  kList,
  kOlist,
  kItem,
  kQuote,
  kCode,
  kTable,
  kTr,
  kTh,
  kTd,
  kImg,
};
constexpr size_t kTagCount = static_cast<size_t>(Tag::kImg) + 1;

// What a tag may carry besides its name.
enum class Params : uint8_t { kNone, kValue, kAttributes };

struct TagSpec {
  std::string_view name;
  Params params;
  // The HTML of an ordinary element; the others are written by hand.
  std::string_view open;
  std::string_view close;
};

// In the order of Tag. Headings and tables are divs, as Steam writes them:
// a browser never moves a div about, whatever the markup around it.
constexpr std::array<TagSpec, kTagCount> kTags = {{
    {"b", Params::kNone, "<b>", "</b>"},
    {"i", Params::kNone, "<i>", "</i>"},
    {"u", Params::kNone, "<u>", "</u>"},
    {"strike", Params::kNone, "<s>", "</s>"},
    {"spoiler", Params::kNone, "<span class=\"bb_spoiler\"><span>", "</span></span>"},
    {"h1", Params::kNone, "<div class=\"bb_h1\" role=\"heading\" aria-level=\"1\">", "</div>"},
    {"h2", Params::kNone, "<div class=\"bb_h2\" role=\"heading\" aria-level=\"2\">", "</div>"},
    {"h3", Params::kNone, "<div class=\"bb_h3\" role=\"heading\" aria-level=\"3\">", "</div>"},
    {"noparse", Params::kNone, "", ""},
    {"hr", Params::kNone, "<hr>", ""},
    {"url", Params::kValue, "", ""},
    {"list", Params::kNone, "<ul class=\"bb_ul\">", "</ul>"},
    {"olist", Params::kNone, "<ol class=\"bb_ol\">", "</ol>"},
    {"*", Params::kNone, "<li>", "</li>"},
    {"quote", Params::kValue, "", "</blockquote>"},
    {"code", Params::kNone, "<div class=\"bb_code\">", "</div>"},
    {"table", Params::kAttributes, "", "</div>"},
    {"tr", Params::kNone, "<div class=\"bb_table_tr\">", "</div>"},
    {"th", Params::kNone, "<div class=\"bb_table_th\">", "</div>"},
    {"td", Params::kNone, "<div class=\"bb_table_td\">", "</div>"},
    {"img", Params::kNone, "", ""},
}};

const TagSpec& SpecOf(Tag tag) { return kTags[static_cast<size_t>(tag)]; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return Lower(x) == Lower(y); });
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

std::optional<Tag> FindTag(std::string_view name) {
  constexpr size_t kLongestName = 7;  // "spoiler", "noparse"
  if (name.empty() || name.size() > kLongestName) {
    return std::nullopt;
  }
  char lower[kLongestName] = {};
  for (size_t i = 0; i < name.size(); ++i) {
    lower[i] = Lower(name[i]);
  }
  const std::string_view key(lower, name.size());
  for (size_t i = 0; i < kTagCount; ++i) {
    // The first byte rules out nearly every name before a comparison.
    if (kTags[i].name.front() == key.front() && kTags[i].name == key) {
      return static_cast<Tag>(i);
    }
  }
  return std::nullopt;
}

// One bracketed piece of text as the tag rules read it.
struct Token {
  enum Kind { kText, kOpen, kClose, kUnknown } kind = kText;
  Tag tag = Tag::kB;
  size_t start = 0;  // the "["
  size_t end = 0;    // just past the "]"
  bool hasValue = false;
  std::string_view value;  // after "=" (kValue) or the attributes (kAttributes)
  std::string_view Text(std::string_view text) const { return text.substr(start, end - start); }
};

// Every word of a [table] tag's attributes is name=value.
bool AreAttributes(std::string_view attributes) {
  size_t at = 0;
  while (at < attributes.size()) {
    if (attributes[at] == ' ') {
      ++at;
      continue;
    }
    size_t end = attributes.find(' ', at);
    end = end == std::string_view::npos ? attributes.size() : end;
    std::string_view word = attributes.substr(at, end - at);
    if (word.find('=') == std::string_view::npos || word.front() == '=') {
      return false;
    }
    at = end;
  }
  return true;
}

bool HasAttribute(std::string_view attributes, std::string_view nameAndValue) {
  size_t at = 0;
  while (at < attributes.size()) {
    size_t end = attributes.find(' ', at);
    end = end == std::string_view::npos ? attributes.size() : end;
    if (EqualsIgnoringCase(attributes.substr(at, end - at), nameAndValue)) {
      return true;
    }
    at = end + 1;
  }
  return false;
}

// Reads the piece at `start`, where text[start] is "[". A tag ends at the
// first "]" and holds no "[", so each byte is looked at a bounded number of
// times however the brackets fall.
Token ReadToken(std::string_view text, size_t start) {
  Token token;
  token.start = start;
  size_t end = start + 1;
  while (end < text.size() && text[end] != ']' && text[end] != '[') {
    ++end;
  }
  if (end == text.size() || text[end] == '[') {
    return token;
  }
  token.end = end + 1;
  std::string_view inside = text.substr(start + 1, end - start - 1);
  const bool closing = !inside.empty() && inside.front() == '/';
  if (closing) {
    inside.remove_prefix(1);
  }
  size_t nameLength = 0;
  if (!inside.empty() && inside.front() == '*') {
    nameLength = 1;
  } else if (!inside.empty() && IsLetter(inside.front())) {
    while (nameLength < inside.size() &&
           (IsLetter(inside[nameLength]) || IsDigit(inside[nameLength]))) {
      ++nameLength;
    }
  } else {
    return token;  // "[1]", "[ ]", "[]": text
  }
  const std::string_view name = inside.substr(0, nameLength);
  const std::string_view rest = inside.substr(nameLength);
  const std::optional<Tag> tag = FindTag(name);
  if (closing) {
    if (!rest.empty()) {
      return token;
    }
    token.kind = tag ? Token::kClose : Token::kUnknown;
    token.tag = tag.value_or(Tag::kB);
    return token;
  }
  if (!rest.empty() && rest.front() != '=') {
    // "[Mod Name]", "[WIP!]": text, unless it is a table's attributes.
    if (tag == Tag::kTable && rest.front() == ' ' && AreAttributes(rest)) {
      token.kind = Token::kOpen;
      token.tag = Tag::kTable;
      token.value = rest;
    }
    return token;
  }
  const bool hasValue = !rest.empty();
  if (!tag || (hasValue && SpecOf(*tag).params != Params::kValue)) {
    token.kind = Token::kUnknown;  // "[center]", "[color=red]", "[b=1]"
    return token;
  }
  token.kind = Token::kOpen;
  token.tag = *tag;
  token.hasValue = hasValue;
  token.value = hasValue ? rest.substr(1) : std::string_view();
  return token;
}

bool IsAddressBlank(char c) { return static_cast<unsigned char>(c) <= 0x20; }

// The address without the control bytes and spaces at its ends, which a
// browser drops from an href; it also drops tabs and line ends inside,
// which Renderer::Link leaves out as it writes. Neither copies the
// address: it may be as long as the description.
std::string_view TrimAddress(std::string_view address) {
  while (!address.empty() && IsAddressBlank(address.front())) {
    address.remove_prefix(1);
  }
  while (!address.empty() && IsAddressBlank(address.back())) {
    address.remove_suffix(1);
  }
  return address;
}

bool IsDroppedFromAddress(char c) { return c == '\t' || c == '\n' || c == '\r'; }

// Only these become links or pictures: "javascript:", "data:" and every
// other scheme stay text. Read as the browser would, without tabs and line
// ends.
bool IsWebAddress(std::string_view trimmed) {
  std::string head;
  for (size_t at = 0; at < trimmed.size() && head.size() < 8; ++at) {
    if (!IsDroppedFromAddress(trimmed[at])) {
      head += trimmed[at];
    }
  }
  return StartsWithIgnoringCase(head, "http://") || StartsWithIgnoringCase(head, "https://");
}

constexpr std::string_view kLinkAttributes = "\" rel=\"nofollow noopener noreferrer\">";

class Renderer {
 public:
  Renderer(std::string_view text, HtmlOutput* out,
           const std::function<void(const MarkupFinding&)>& onFinding)
      : text_(text), out_(out), onFinding_(onFinding) {}

  void Run() {
    size_t textStart = 0;
    size_t at = 0;
    while ((at = text_.find('[', at)) != std::string_view::npos) {
      const Token token = ReadToken(text_, at);
      if (token.kind == Token::kText) {
        ++at;
        continue;
      }
      Text(textStart, at);
      at = Handle(token);
      textStart = at;
    }
    Text(textStart, text_.size());
    for (const Open& open : stack_) {
      if (open.tag != Tag::kItem) {
        Report(MarkupProblem::kNeverClosed, open.start, open.length);
      }
    }
    while (!stack_.empty()) {
      Pop();
    }
  }

 private:
  struct Open {
    Tag tag;
    bool link;  // an <a>, which no other <a> may go inside
    size_t start;
    size_t length;
    std::string_view close;
  };

  void Report(MarkupProblem problem, size_t start, size_t length,
              std::string_view inner = std::string_view()) {
    if (onFinding_) {
      onFinding_(MarkupFinding{problem, start, text_.substr(start, length), inner});
    }
  }
  void Text(size_t from, size_t to) {
    if (out_ != nullptr && to > from) {
      out_->Text(text_.substr(from, to - from));
    }
  }
  void Html(std::string_view html) {
    if (out_ != nullptr) {
      out_->Markup(html);
    }
  }
  void Escaped(std::string_view text) {
    if (out_ != nullptr) {
      out_->Text(text);
    }
  }
  // Shows the token as typed.
  size_t Literal(const Token& token) {
    Text(token.start, token.end);
    return token.end;
  }
  void Push(const Token& token, std::string_view close, bool link = false) {
    stack_.push_back(Open{token.tag, link, token.start, token.end - token.start, close});
    linkDepth_ += link ? 1 : 0;
  }
  void Pop() {
    Html(stack_.back().close);
    linkDepth_ -= stack_.back().link ? 1 : 0;
    stack_.pop_back();
  }

  // Where the closing tag of `tag` (one of the four that take their content
  // as it is) starts at or after `from`, or npos. Each search resumes where
  // the last one for the same tag stopped, so the text is searched once per
  // tag whatever the number of openings.
  size_t FindCloser(Tag tag, size_t from) {
    size_t slot = 0;
    switch (tag) {
      case Tag::kNoparse:
        slot = 0;
        break;
      case Tag::kCode:
        slot = 1;
        break;
      case Tag::kUrl:
        slot = 2;
        break;
      default:
        slot = 3;
        break;
    }
    size_t& cached = closerAt_[slot];  // 0: not searched; else position + 1, or npos
    if (cached != 0 && (cached == std::string_view::npos || cached - 1 >= from)) {
      return cached == std::string_view::npos ? cached : cached - 1;
    }
    const std::string_view name = SpecOf(tag).name;
    size_t at = from;
    while ((at = text_.find("[/", at)) != std::string_view::npos) {
      if (StartsWithIgnoringCase(text_.substr(at + 2), name) &&
          text_.substr(at + 2 + name.size(), 1) == "]") {
        cached = at + 1;
        return at;
      }
      at += 2;
    }
    cached = std::string_view::npos;
    return cached;
  }
  size_t CloserEnd(Tag tag, size_t closer) const { return closer + SpecOf(tag).name.size() + 3; }

  void Link(std::string_view trimmed) {
    Html("<a class=\"bb_link\" href=\"");
    size_t at = 0;
    while (at < trimmed.size()) {
      size_t end = at;
      while (end < trimmed.size() && !IsDroppedFromAddress(trimmed[end])) {
        ++end;
      }
      Escaped(trimmed.substr(at, end - at));
      at = end + 1;
    }
    Html(kLinkAttributes);
  }

  // [url]ADDRESS[/url] and [img]ADDRESS[/img].
  size_t AddressTag(const Token& token) {
    const size_t closer = FindCloser(token.tag, token.end);
    if (closer == std::string_view::npos) {
      Report(MarkupProblem::kNeverClosed, token.start, token.end - token.start);
      return Literal(token);
    }
    const std::string_view address = text_.substr(token.end, closer - token.end);
    const std::string_view trimmed = TrimAddress(address);
    const bool web = IsWebAddress(trimmed);
    if (!web) {
      Report(MarkupProblem::kNotAnAddress, token.start, token.end - token.start, address);
    }
    const bool link = web && linkDepth_ == 0;
    if (token.tag == Tag::kImg) {
      // Never loaded: the page must work offline and fetch nothing.
      Html("<span class=\"bb_img\">Picture not loaded: ");
      if (link) {
        Link(trimmed);
        Escaped(address);
        Html("</a>");
      } else {
        Escaped(address);
      }
      Html("</span>");
    } else if (link) {
      Link(trimmed);
      Escaped(address);
      Html("</a>");
    } else {
      Html("<span class=\"bb_link_off\">");
      Escaped(address);
      Html("</span>");
    }
    return CloserEnd(token.tag, closer);
  }

  // [noparse] and [code]: the text up to the closing tag, as it is.
  size_t VerbatimTag(const Token& token) {
    size_t closer = FindCloser(token.tag, token.end);
    size_t end = text_.size();
    if (closer == std::string_view::npos) {
      Report(MarkupProblem::kNeverClosed, token.start, token.end - token.start);
      closer = text_.size();
    } else {
      end = CloserEnd(token.tag, closer);
    }
    Html(SpecOf(token.tag).open);
    Text(token.end, closer);
    Html(SpecOf(token.tag).close);
    return end;
  }

  size_t OpenTag(const Token& token) {
    switch (token.tag) {
      case Tag::kHr: {
        Html("<hr>");
        const std::string_view after = text_.substr(token.end);
        return StartsWithIgnoringCase(after, "[/hr]") ? token.end + 5 : token.end;
      }
      case Tag::kImg:
        return AddressTag(token);
      case Tag::kUrl:
        if (!token.hasValue) {
          return AddressTag(token);
        }
        break;
      case Tag::kNoparse:
      case Tag::kCode:
        return VerbatimTag(token);
      case Tag::kItem:
        if (!stack_.empty() && stack_.back().tag == Tag::kItem) {
          // The next item of the list: the item before it ends here.
          Html("</li><li>");
          stack_.back().start = token.start;
          stack_.back().length = token.end - token.start;
          return token.end;
        }
        if (stack_.empty() ||
            (stack_.back().tag != Tag::kList && stack_.back().tag != Tag::kOlist)) {
          return Literal(token);  // no list to be an item of
        }
        break;
      default:
        break;
    }
    if (stack_.size() >= kMaxMarkupDepth) {
      if (!tooDeepReported_) {
        tooDeepReported_ = true;
        Report(MarkupProblem::kTooDeep, token.start, token.end - token.start);
      }
      return Literal(token);
    }
    switch (token.tag) {
      case Tag::kUrl: {
        const std::string_view trimmed = TrimAddress(token.value);
        const bool web = IsWebAddress(trimmed);
        if (!web) {
          Report(MarkupProblem::kNotAnAddress, token.start, token.end - token.start, token.value);
        }
        if (web && linkDepth_ == 0) {
          Link(trimmed);
          Push(token, "</a>", true);
        } else {
          Html("<span class=\"bb_link_off\">");
          Push(token, "</span>");
        }
        return token.end;
      }
      case Tag::kQuote:
        Html("<blockquote class=\"bb_blockquote\">");
        if (token.hasValue) {
          Html("<div class=\"bb_quoteauthor\">Originally posted by <b>");
          Escaped(token.value);
          Html("</b>:</div>");
        }
        Push(token, SpecOf(Tag::kQuote).close);
        return token.end;
      case Tag::kTable:
        Html("<div class=\"bb_table");
        Html(HasAttribute(token.value, "noborder=1") ? " bb_table_noborder" : "");
        Html(HasAttribute(token.value, "equalcells=1") ? " bb_table_equalcells" : "");
        Html("\">");
        Push(token, SpecOf(Tag::kTable).close);
        return token.end;
      default:
        Html(SpecOf(token.tag).open);
        Push(token, SpecOf(token.tag).close);
        return token.end;
    }
  }

  size_t CloseTag(const Token& token) {
    auto match = std::find_if(stack_.rbegin(), stack_.rend(),
                              [&token](const Open& open) { return open.tag == token.tag; });
    if (match == stack_.rend()) {
      size_t& dropped = dropped_[static_cast<size_t>(token.tag)];
      if (dropped > 0) {
        --dropped;  // the tag was closed already, out of order
        return token.end;
      }
      Report(MarkupProblem::kClosesNothing, token.start, token.end - token.start);
      return Literal(token);
    }
    const size_t target = stack_.size() - 1 - static_cast<size_t>(match - stack_.rbegin());
    bool reported = false;
    while (stack_.size() > target + 1) {
      const Open& inner = stack_.back();
      if (inner.tag != Tag::kItem) {
        if (!reported) {
          reported = true;
          Report(MarkupProblem::kWrongOrder, token.start, token.end - token.start,
                 text_.substr(inner.start, inner.length));
        }
        ++dropped_[static_cast<size_t>(inner.tag)];
      }
      Pop();
    }
    Pop();
    return token.end;
  }

  size_t Handle(const Token& token) {
    switch (token.kind) {
      case Token::kOpen:
        return OpenTag(token);
      case Token::kClose:
        return CloseTag(token);
      default:
        Report(MarkupProblem::kUnknownTag, token.start, token.end - token.start);
        return Literal(token);
    }
  }

  std::string_view text_;
  HtmlOutput* out_;
  const std::function<void(const MarkupFinding&)>& onFinding_;
  std::vector<Open> stack_;
  size_t linkDepth_ = 0;
  bool tooDeepReported_ = false;
  // Closing tags still due from tags that an outer closing tag closed.
  std::array<size_t, kTagCount> dropped_{};
  std::array<size_t, 4> closerAt_{};
};

std::string Quoted(std::string_view text) { return "\"" + Excerpt(text, kQuoteLimit) + "\""; }

// "[/b]" for "[b]" or "[B=x]": the closing tag of the tag as typed.
std::string CloserOf(std::string_view tag) {
  size_t end = 1;
  while (end < tag.size() && (IsLetter(tag[end]) || IsDigit(tag[end]) || tag[end] == '*')) {
    ++end;
  }
  std::string closer = "[/";
  for (char c : tag.substr(1, end - 1)) {
    closer += Lower(c);
  }
  return closer + "]";
}

std::string WarningText(const MarkupFinding& finding, const std::string& where) {
  const std::string tag = Quoted(finding.tag);
  const std::string at = tag + " at byte " + std::to_string(finding.offset + 1) + " of " + where;
  switch (finding.problem) {
    case MarkupProblem::kNeverClosed:
      return at + " is never closed. Add " + Quoted(CloserOf(finding.tag)) + " where it should end";
    case MarkupProblem::kClosesNothing:
      return at +
             " closes no open tag, so the Workshop page shows it as typed. Remove it, or open "
             "the tag before it";
    case MarkupProblem::kWrongOrder:
      return at + " closes its tag while " + Quoted(finding.inner) +
             ", opened inside it, is still open; tags close in the reverse order they open. "
             "Write " +
             Quoted(CloserOf(finding.inner)) + " before it";
    case MarkupProblem::kUnknownTag:
      return at + " is not a Steam markup tag, so the Workshop page shows it as typed";
    case MarkupProblem::kNotAnAddress:
      return at + " has the address " + Quoted(finding.inner) +
             ", which does not start with http:// or https://, so the Workshop page shows no " +
             (StartsWithIgnoringCase(finding.tag, "[img") ? "picture" : "link") +
             " there. Write the whole address, starting with https://";
    case MarkupProblem::kTooDeep:
      return at + " is nested inside " + std::to_string(kMaxMarkupDepth) +
             " other tags, so the page shows it as typed. Nest the tags less deeply";
    case MarkupProblem::kInTitle:
      break;
  }
  return where + " holds the markup " + tag +
         "; Steam shows titles as plain text, so the Workshop page shows it as typed. Remove it";
}

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
          buffer_ += "&quot;";
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

size_t Utf8CharacterLength(std::string_view text) {
  if (text.empty()) {
    return 0;
  }
  const auto lead = static_cast<unsigned char>(text[0]);
  size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead < 0x80) {
    return 1;
  }
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    low = lead == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
    high = lead == 0xED ? 0x9F : 0xBF;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    low = lead == 0xF0 ? 0x90 : 0x80;
    high = lead == 0xF4 ? 0x8F : 0xBF;  // nothing past U+10FFFF
  } else {
    return 0;
  }
  if (text.size() < length) {
    return 0;
  }
  const auto second = static_cast<unsigned char>(text[1]);
  if (second < low || second > high) {
    return 0;
  }
  for (size_t i = 2; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[i]);
    if (next < 0x80 || next > 0xBF) {
      return 0;
    }
  }
  return length;
}

void RenderMarkup(std::string_view text, HtmlOutput* out,
                  const std::function<void(const MarkupFinding&)>& onFinding) {
  Renderer(text, out, onFinding).Run();
}

std::vector<MarkupFinding> FindMarkupMistakes(std::string_view text, size_t limit, size_t* total) {
  std::vector<MarkupFinding> kept;
  size_t count = 0;
  // The tags never closed come last but may stand first: keep the `limit`
  // smallest offsets, whatever the order they come in.
  auto later = [](const MarkupFinding& a, const MarkupFinding& b) { return a.offset < b.offset; };
  RenderMarkup(text, nullptr, [&](const MarkupFinding& finding) {
    ++count;
    if (limit == 0) {
      return;
    }
    if (kept.size() < limit) {
      kept.push_back(finding);
      std::push_heap(kept.begin(), kept.end(), later);
    } else if (finding.offset < kept.front().offset) {
      std::pop_heap(kept.begin(), kept.end(), later);
      kept.back() = finding;
      std::push_heap(kept.begin(), kept.end(), later);
    }
  });
  std::sort_heap(kept.begin(), kept.end(), later);
  if (total != nullptr) {
    *total = count;
  }
  return kept;
}

std::optional<MarkupFinding> FindMarkupInTitle(std::string_view title) {
  size_t at = 0;
  while ((at = title.find('[', at)) != std::string_view::npos) {
    const Token token = ReadToken(title, at);
    if (token.kind == Token::kOpen || token.kind == Token::kClose) {
      return MarkupFinding{MarkupProblem::kInTitle, at, token.Text(title), std::string_view()};
    }
    ++at;
  }
  return std::nullopt;
}

std::vector<std::string> MarkupWarnings(std::string_view sectionName, std::string_view key,
                                        std::string_view value, std::vector<size_t>* offsets) {
  std::vector<std::string> warnings;
  std::vector<size_t> at;
  const std::string section = "section [" + Excerpt(sectionName, kQuoteLimit) + "]";
  if (key == "title") {
    if (std::optional<MarkupFinding> finding = FindMarkupInTitle(value)) {
      warnings.push_back(WarningText(*finding, "the title of " + section));
      at.push_back(finding->offset);
    }
  } else if (key == "description") {
    size_t total = 0;
    for (const MarkupFinding& finding : FindMarkupMistakes(value, kShownWarnings, &total)) {
      warnings.push_back(WarningText(finding, "the description of " + section));
      at.push_back(finding.offset);
    }
    if (total > kShownWarnings) {
      warnings.push_back(std::to_string(total - kShownWarnings) +
                         " more markup mistakes in the description of " + section +
                         " are not listed; fix those above and check again");
      at.push_back(at.back());
    }
  }
  if (offsets != nullptr) {
    *offsets = std::move(at);
  }
  return warnings;
}

#include "check/markup.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

#include "check/text.h"
#include "console/console.h"

namespace {

constexpr size_t kShownWarnings = 10;
constexpr size_t kQuoteLimit = 40;
// Emoticon names (":steamhappy:") are this long; shorter ones are text.
constexpr size_t kShortestEmoticon = 3;
constexpr size_t kLongestEmoticon = 32;

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
  kPreviewYoutube,
};
constexpr size_t kTagCount = static_cast<size_t>(Tag::kPreviewYoutube) + 1;

// What a tag may carry besides its name.
enum class Params : uint8_t { kNone, kValue, kRequiredValue, kAttributes };

struct TagSpec {
  std::string_view name;
  Params params;
  // The HTML of an ordinary element; the others are written by hand.
  std::string_view open;
  std::string_view close;
};

// In the order of Tag. Headings and tables are divs, as Steam writes them:
// a browser never moves a div about, whatever the markup around it. The
// HTML is kept short (a class only where an element alone can't be told
// apart), so that a tag on its own stays within kMaxHtmlPerByte.
constexpr std::array<TagSpec, kTagCount> kTags = {{
    {"b", Params::kNone, "<b>", "</b>"},
    {"i", Params::kNone, "<i>", "</i>"},
    {"u", Params::kNone, "<u>", "</u>"},
    {"strike", Params::kNone, "<s>", "</s>"},
    {"spoiler", Params::kNone, "<span class=\"bb_spoiler\"><span>", "</span></span>"},
    {"h1", Params::kNone, "<div class=\"bb_h1\">", "</div>"},
    {"h2", Params::kNone, "<div class=\"bb_h2\">", "</div>"},
    {"h3", Params::kNone, "<div class=\"bb_h3\">", "</div>"},
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
    {"previewyoutube", Params::kRequiredValue, "", ""},
}};

const TagSpec& SpecOf(Tag tag) { return kTags[static_cast<size_t>(tag)]; }

// Whether Steam drops the line end right after the opening (or, with
// `closing`, the closing) tag of `tag`: the one place that decides which
// line ends of a description are no line break. Seen in Steam's HTML: after
// [/h1], [/h2], [/h3] and [/quote] the next line end is dropped, while in a
// list the line end before the next [*] stays in the item as a break, and
// [code] keeps its line ends. For the other block tags Steam's rule is not
// known; the page drops one line end after each opening and closing tag of
// a block ([list], [olist], [quote], [code], [table], [tr], [th], [td], [hr],
// a full-size video, [/*]), so that markup written one tag a line, as
// authors write tables and lists, gets no empty lines between the blocks
// and no stray breaks between a table's cells or a list's items.
bool DropsNextLineEnd(Tag tag, bool closing) {
  switch (tag) {
    case Tag::kH1:
    case Tag::kH2:
    case Tag::kH3:
    case Tag::kItem:
      return closing;
    case Tag::kList:
    case Tag::kOlist:
    case Tag::kQuote:
    case Tag::kCode:
    case Tag::kTable:
    case Tag::kTr:
    case Tag::kTh:
    case Tag::kTd:
    case Tag::kHr:
    case Tag::kPreviewYoutube:
      return true;
    default:
      return false;
  }
}

// Links to these hosts (and their subdomains) go straight to them on Steam;
// a link anywhere else is followed by its host in brackets.
constexpr std::string_view kSteamHosts[] = {"steampowered.com", "steamcommunity.com"};

bool IsAlnum(char c) { return IsAsciiLetter(c) || IsAsciiDigit(c); }

std::optional<Tag> FindTag(std::string_view name) {
  constexpr size_t kLongestName = 14;  // "previewyoutube"
  if (name.empty() || name.size() > kLongestName) {
    return std::nullopt;
  }
  char lower[kLongestName] = {};
  for (size_t i = 0; i < name.size(); ++i) {
    lower[i] = LowerAscii(name[i]);
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
    if (EqualIgnoringCase(attributes.substr(at, end - at), nameAndValue)) {
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
  } else if (!inside.empty() && IsAsciiLetter(inside.front())) {
    while (nameLength < inside.size() && IsAlnum(inside[nameLength])) {
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
  const Params params = tag ? SpecOf(*tag).params : Params::kNone;
  if (!tag || (hasValue && params != Params::kValue && params != Params::kRequiredValue) ||
      (!hasValue && params == Params::kRequiredValue)) {
    // "[center]", "[color=red]", "[b=1]", "[previewyoutube]"
    token.kind = Token::kUnknown;
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
// which WriteAddress leaves out as it writes. Neither copies the address:
// it may be as long as the description.
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

enum class AddressKind : uint8_t {
  kWeb,       // http:// or https://: linked as it is
  kNoScheme,  // "store.steampowered.com", "//host/x": linked with http: before it
  kOther,     // another scheme ("javascript:", "data:", "mailto:") or nothing: no link
};

// Read as the browser would, without tabs and line ends. A scheme is a
// letter, then letters, digits, "+", "-" or ".", then ":" and no digit
// after it: "localhost:8080" is a host and a port, no scheme.
AddressKind KindOf(std::string_view trimmed) {
  constexpr size_t kHead = 40;  // longer than any scheme in use
  std::string head;
  for (size_t at = 0; at < trimmed.size() && head.size() < kHead; ++at) {
    if (!IsDroppedFromAddress(trimmed[at])) {
      head += trimmed[at];
    }
  }
  if (head.empty()) {
    return AddressKind::kOther;
  }
  if (StartsWithIgnoringCase(head, "http://") || StartsWithIgnoringCase(head, "https://")) {
    return AddressKind::kWeb;
  }
  if (!IsAsciiLetter(head.front())) {
    return AddressKind::kNoScheme;
  }
  size_t end = 1;
  while (end < head.size() &&
         (IsAlnum(head[end]) || head[end] == '+' || head[end] == '-' || head[end] == '.')) {
    ++end;
  }
  const bool scheme = end < head.size() && head[end] == ':' &&
                      (end + 1 == head.size() || !IsAsciiDigit(head[end + 1]));
  return scheme ? AddressKind::kOther : AddressKind::kNoScheme;
}

// The host of a linkable address, when it is a plain name ("example.com"),
// else empty: a host with anything else in it is not shown.
std::string_view HostOf(std::string_view trimmed) {
  const size_t slashes = trimmed.find("//");
  size_t start = 0;
  if (slashes != std::string_view::npos && slashes <= 6) {  // "https:" or none
    start = slashes + 2;
  }
  size_t end = start;
  while (end < trimmed.size() &&
         (IsAlnum(trimmed[end]) || trimmed[end] == '.' || trimmed[end] == '-')) {
    ++end;
  }
  if (end == start || (end < trimmed.size() && trimmed[end] != '/' && trimmed[end] != '?' &&
                       trimmed[end] != '#' && trimmed[end] != ':')) {
    return std::string_view();
  }
  return trimmed.substr(start, end - start);
}

bool IsSteamHost(std::string_view host) {
  for (std::string_view steam : kSteamHosts) {
    if (EqualIgnoringCase(host, steam) ||
        (host.size() > steam.size() && EndsWithIgnoringCase(host, steam) &&
         host[host.size() - steam.size() - 1] == '.')) {
      return true;
    }
  }
  return false;
}

// "Alice" of "Alice;1234567890": the number names the comment quoted, and
// Steam shows only the author.
std::string_view AuthorOf(std::string_view value) {
  const size_t semicolon = value.rfind(';');
  if (semicolon == std::string_view::npos || semicolon + 1 == value.size()) {
    return value;
  }
  for (char c : value.substr(semicolon + 1)) {
    if (!IsAsciiDigit(c)) {
      return value;
    }
  }
  return value.substr(0, semicolon);
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

void AppendPercent(std::string& piece, unsigned char byte) {
  piece += '%';
  piece += kHexDigits[byte >> 4];
  piece += kHexDigits[byte & 15];
}

class Renderer {
 public:
  Renderer(std::string_view text, HtmlOutput* out,
           const std::function<void(const MarkupFinding&)>& onFinding, bool loadPictures)
      : text_(text), out_(out), onFinding_(onFinding), loadPictures_(loadPictures) {}

  void Run() {
    size_t textStart = 0;
    size_t at = 0;
    while ((at = text_.find('[', at)) != std::string_view::npos) {
      const Token token = ReadToken(text_, at);
      if (token.kind == Token::kText) {
        ++at;
        continue;
      }
      Prose(textStart, at);
      at = Handle(token);
      if (dropLineEnd_) {
        dropLineEnd_ = false;
        at += LineEndAt(at);
      }
      textStart = at;
    }
    Prose(textStart, text_.size());
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
    std::string_view host;  // of a link off Steam, shown after it
  };

  // The length of the line end at `at` (LF, or CR LF), or 0.
  size_t LineEndAt(size_t at) const {
    if (at < text_.size() && text_[at] == '\n') {
      return 1;
    }
    return text_.substr(at, 2) == "\r\n" ? 2 : 0;
  }

  void Report(MarkupProblem problem, size_t start, size_t length,
              std::string_view inner = std::string_view()) {
    if (onFinding_) {
      onFinding_(MarkupFinding{problem, start, text_.substr(start, length), inner});
    }
  }
  void Html(std::string_view html) {
    if (out_ != nullptr) {
      out_->Markup(html);
    }
  }
  // Text for an attribute value, or text whose line ends are no breaks.
  void Escaped(std::string_view text) {
    if (out_ != nullptr) {
      out_->Text(text);
    }
  }
  // Text as a reader sees it: every line end is a break.
  void Visible(std::string_view text) {
    if (out_ == nullptr) {
      return;
    }
    size_t at = 0;
    size_t end = 0;
    while ((end = text.find('\n', at)) != std::string_view::npos) {
      out_->Text(text.substr(at, end - at));
      out_->Markup("<br>");
      at = end + 1;
    }
    out_->Text(text.substr(at));
  }
  void Visible(size_t from, size_t to) {
    if (to > from) {
      Visible(text_.substr(from, to - from));
    }
  }
  // Shows the token as typed.
  size_t Literal(const Token& token) {
    Visible(token.start, token.end);
    return token.end;
  }
  void Push(const Token& token, std::string_view close, bool link = false,
            std::string_view host = std::string_view()) {
    stack_.push_back(Open{token.tag, link, token.start, token.end - token.start, close, host});
    linkDepth_ += link ? 1 : 0;
  }
  void Pop() {
    const Open& open = stack_.back();
    Html(open.close);
    WriteHost(open.host);
    linkDepth_ -= open.link ? 1 : 0;
    stack_.pop_back();
  }

  // Text between tags: line breaks, bare web addresses as links (not inside
  // another link) and emoticons. Nothing in it is a mistake, so without
  // output there is nothing to do.
  void Prose(size_t from, size_t to) {
    if (out_ == nullptr || to <= from) {
      return;
    }
    // Searched no further than `to`: the text past it may hold no colon
    // at all, and a search of the whole rest for every piece between two
    // tags would take time growing with the square of the text.
    const std::string_view upTo = text_.substr(0, to);
    size_t plain = from;
    size_t at = from;
    while ((at = upTo.find(':', at)) != std::string_view::npos) {
      size_t start = 0;
      size_t end = BareAddressEnd(from, at, to, start);
      if (end != 0) {
        Visible(plain, start);
        const std::string_view address = text_.substr(start, end - start);
        WriteLink(address, AddressKind::kWeb, address);
        plain = at = end;
        continue;
      }
      end = EmoticonEnd(at, to);
      if (end != 0) {
        Visible(plain, at);
        Html("<span class=\"emoticon\">");
        Escaped(text_.substr(at, end - at));
        Html("</span>");
        plain = at = end;
        continue;
      }
      ++at;
    }
    Visible(plain, to);
  }

  // Where the bare address whose "://" is at `colon` ends (its first blank,
  // or `to`), or 0 when there is none: it starts with http or https, not
  // inside a word, and has something after the "://". `start` gets where
  // it starts.
  size_t BareAddressEnd(size_t from, size_t colon, size_t to, size_t& start) const {
    if (linkDepth_ > 0 || text_.substr(colon, 3) != "://") {
      return 0;
    }
    if (colon >= from + 5 && EqualIgnoringCase(text_.substr(colon - 5, 5), "https")) {
      start = colon - 5;
    } else if (colon >= from + 4 && EqualIgnoringCase(text_.substr(colon - 4, 4), "http")) {
      start = colon - 4;
    } else {
      return 0;
    }
    if (start > 0 && IsAlnum(text_[start - 1])) {
      return 0;
    }
    size_t end = colon + 3;
    while (end < to && !IsAddressBlank(text_[end])) {
      ++end;
    }
    return end > colon + 3 ? end : 0;
  }

  // Where the emoticon starting at the ":" at `at` ends, or 0: a name of
  // letters, digits and "_", with a letter, between two colons, not inside
  // a word ("12:30:45" and "a:b:c" are text).
  size_t EmoticonEnd(size_t at, size_t to) const {
    if (at > 0 && IsAlnum(text_[at - 1])) {
      return 0;
    }
    size_t end = at + 1;
    bool letter = false;
    while (end < to && end - at - 1 <= kLongestEmoticon &&
           (IsAlnum(text_[end]) || text_[end] == '_')) {
      letter = letter || IsAsciiLetter(text_[end]);
      ++end;
    }
    const size_t name = end - at - 1;
    if (!letter || name < kShortestEmoticon || name > kLongestEmoticon || end >= to ||
        text_[end] != ':' || (end + 1 < text_.size() && IsAlnum(text_[end + 1]))) {
      return 0;
    }
    return end + 1;
  }

  // Writes `address` for a quoted href or src: bytes a URL can't hold
  // as they are (blanks, quotes, "<", ">", control bytes, bytes past ASCII)
  // percent-encoded, as a browser would send them; tabs and line ends left
  // out, as a browser leaves them out; "&" as a character reference only
  // where a name or number follows it, elsewhere it can't be read as one.
  // So each byte costs at most 3, an "&" 5 with a byte of 1 after it.
  void WriteAddress(std::string_view address) {
    if (out_ == nullptr) {
      return;
    }
    std::string piece;
    for (size_t at = 0; at < address.size(); ++at) {
      const auto byte = static_cast<unsigned char>(address[at]);
      if (IsDroppedFromAddress(address[at])) {
        continue;
      }
      if (byte == '&') {
        size_t next = at + 1;
        while (next < address.size() && IsDroppedFromAddress(address[next])) {
          ++next;
        }
        const bool ambiguous =
            next < address.size() && (IsAlnum(address[next]) || address[next] == '#');
        piece += ambiguous ? "&amp;" : "&";
      } else if (byte <= 0x20 || byte >= 0x7F || byte == '"' || byte == '\'' || byte == '<' ||
                 byte == '>') {
        AppendPercent(piece, byte);
      } else {
        piece += address[at];
      }
      if (piece.size() >= 4096) {
        out_->Markup(piece);
        piece.clear();
      }
    }
    out_->Markup(piece);
  }

  // Opens the link to the linkable `trimmed` of `kind`.
  void WriteLinkStart(std::string_view trimmed, AddressKind kind) {
    Html("<a href=\"");
    if (kind == AddressKind::kNoScheme) {
      Html(trimmed.substr(0, 2) == "//" ? "http:" : "http://");
    }
    WriteAddress(trimmed);
    Html("\">");
  }
  // The whole link to `trimmed`, showing `shown` as a reader sees it.
  void WriteLink(std::string_view trimmed, AddressKind kind, std::string_view shown) {
    WriteLinkStart(trimmed, kind);
    Visible(shown);
    Html("</a>");
  }

  void WriteHost(std::string_view host) {
    if (!host.empty()) {
      Html("<small> [");
      Escaped(host);
      Html("]</small>");
    }
  }

  // The host to show after a link to `trimmed`: none for Steam's own.
  static std::string_view ShownHost(std::string_view trimmed) {
    const std::string_view host = HostOf(trimmed);
    return IsSteamHost(host) ? std::string_view() : host;
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

  // [url]ADDRESS[/url] and [img]ADDRESS[/img].
  size_t AddressTag(const Token& token) {
    const size_t closer = FindCloser(token.tag, token.end);
    if (closer == std::string_view::npos) {
      Report(MarkupProblem::kNeverClosed, token.start, token.end - token.start);
      return Literal(token);
    }
    const std::string_view address = text_.substr(token.end, closer - token.end);
    const std::string_view trimmed = TrimAddress(address);
    const AddressKind kind = KindOf(trimmed);
    const bool picture = token.tag == Tag::kImg;
    // A picture needs its whole address: Steam adds no scheme to it.
    const bool usable = kind == AddressKind::kWeb || (kind == AddressKind::kNoScheme && !picture);
    if (!usable) {
      Report(MarkupProblem::kNotAnAddress, token.start, token.end - token.start, address);
    }
    const bool link = usable && linkDepth_ == 0;
    if (picture && usable && loadPictures_ && StartsWithIgnoringCase(trimmed, "https://")) {
      Html("<img src=\"");
      WriteAddress(trimmed);
      Html("\" alt=\"\">");
    } else if (picture) {
      Html("<span class=\"bb_img\">Picture not loaded: ");
      if (link) {
        WriteLink(trimmed, kind, address);
      } else {
        Visible(address);
      }
      Html("</span>");
    } else if (link) {
      WriteLink(trimmed, kind, address);
      WriteHost(ShownHost(trimmed));
    } else {
      Html("<span class=\"bb_link_off\">");
      Visible(address);
      Html("</span>");
    }
    return CloserEnd(token.tag, closer);
  }

  // [noparse] and [code]: the text up to the closing tag, as it is; code
  // keeps its line ends, noparse shows them as breaks.
  size_t VerbatimTag(const Token& token) {
    size_t closer = FindCloser(token.tag, token.end);
    size_t end = text_.size();
    if (closer == std::string_view::npos) {
      Report(MarkupProblem::kNeverClosed, token.start, token.end - token.start);
      closer = text_.size();
    } else {
      end = CloserEnd(token.tag, closer);
      dropLineEnd_ = DropsNextLineEnd(token.tag, true);
    }
    size_t start = token.end;
    if (DropsNextLineEnd(token.tag, false)) {
      start = std::min(closer, start + LineEndAt(start));
    }
    Html(SpecOf(token.tag).open);
    if (token.tag == Tag::kCode) {
      Escaped(text_.substr(start, closer - start));
    } else {
      Visible(start, closer);
    }
    Html(SpecOf(token.tag).close);
    return end;
  }

  // [previewyoutube=ID;full] or ;inline: a box with the video's address. A
  // size other than inline is taken as full; any id gives the box, as on
  // Steam.
  void VideoBox(const Token& token) {
    std::string_view id = token.value;
    std::string_view size;
    const size_t semicolon = id.rfind(';');
    if (semicolon != std::string_view::npos) {
      size = id.substr(semicolon + 1);
      id = id.substr(0, semicolon);
    }
    const bool inlineBox = EqualIgnoringCase(size, "inline");
    Html(inlineBox ? "<span class=\"bb_video bb_video_inline\">" : "<div class=\"bb_video\">");
    constexpr std::string_view kWatch = "https://www.youtube.com/watch?v=";
    if (linkDepth_ == 0) {
      Html("<a href=\"");
      Html(kWatch);
      if (out_ != nullptr) {
        // The id is a query value: everything but letters, digits and
        // "-_.~" percent-encoded, so it stays one value.
        std::string piece;
        for (char c : id) {
          if (IsAlnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            piece += c;
          } else {
            AppendPercent(piece, static_cast<unsigned char>(c));
          }
          if (piece.size() >= 4096) {  // as WriteAddress hands on its pieces
            out_->Markup(piece);
            piece.clear();
          }
        }
        out_->Markup(piece);
      }
      Html("\">");
    }
    Html(kWatch);
    Escaped(id);
    Html(linkDepth_ == 0 ? "</a>" : "");
    Html(inlineBox ? "</span>" : "</div>");
    Push(token, "");
    dropLineEnd_ = !inlineBox && DropsNextLineEnd(Tag::kPreviewYoutube, false);
  }

  size_t OpenTag(const Token& token) {
    switch (token.tag) {
      case Tag::kHr: {
        Html("<hr>");
        const std::string_view after = text_.substr(token.end);
        dropLineEnd_ = DropsNextLineEnd(Tag::kHr, false);
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
        const AddressKind kind = KindOf(trimmed);
        if (kind == AddressKind::kOther) {
          Report(MarkupProblem::kNotAnAddress, token.start, token.end - token.start, token.value);
        }
        if (kind != AddressKind::kOther && linkDepth_ == 0) {
          WriteLinkStart(trimmed, kind);
          Push(token, "</a>", true, ShownHost(trimmed));
        } else {
          Html("<span class=\"bb_link_off\">");
          Push(token, "</span>");
        }
        return token.end;
      }
      case Tag::kQuote:
        // Steam's "Originally posted by" comes from the page's style.
        Html("<blockquote>");
        if (token.hasValue) {
          Html("<cite>");
          Escaped(AuthorOf(token.value));
          Html("</cite>");
        }
        Push(token, SpecOf(Tag::kQuote).close);
        break;
      case Tag::kTable:
        Html("<div class=\"bb_table");
        Html(HasAttribute(token.value, "noborder=1") ? " bb_table_noborder" : "");
        Html(HasAttribute(token.value, "equalcells=1") ? " bb_table_equalcells" : "");
        Html("\">");
        Push(token, SpecOf(Tag::kTable).close);
        break;
      case Tag::kPreviewYoutube:
        VideoBox(token);
        return token.end;
      default:
        Html(SpecOf(token.tag).open);
        Push(token, SpecOf(token.tag).close);
        break;
    }
    dropLineEnd_ = DropsNextLineEnd(token.tag, false);
    return token.end;
  }

  size_t CloseTag(const Token& token) {
    auto match = std::find_if(stack_.rbegin(), stack_.rend(),
                              [&token](const Open& open) { return open.tag == token.tag; });
    if (match == stack_.rend()) {
      // Shown as typed, as Steam shows it. When its tag was closed already,
      // out of order, that was reported: no second finding.
      size_t& dropped = dropped_[static_cast<size_t>(token.tag)];
      if (dropped > 0) {
        --dropped;
      } else {
        Report(MarkupProblem::kClosesNothing, token.start, token.end - token.start);
      }
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
    dropLineEnd_ = DropsNextLineEnd(token.tag, true);
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
  bool loadPictures_;
  std::vector<Open> stack_;
  size_t linkDepth_ = 0;
  bool tooDeepReported_ = false;
  bool dropLineEnd_ = false;  // the tag just handled drops a line end after it
  // Closing tags still due from tags that an outer closing tag closed.
  std::array<size_t, kTagCount> dropped_{};
  std::array<size_t, 4> closerAt_{};
};

std::string Quoted(std::string_view text) { return "\"" + Excerpt(text, kQuoteLimit) + "\""; }

// "[/b]" for "[b]" or "[B=x]": the closing tag of the tag as typed.
std::string CloserOf(std::string_view tag) {
  size_t end = 1;
  while (end < tag.size() && (IsAlnum(tag[end]) || tag[end] == '*')) {
    ++end;
  }
  std::string closer = "[/";
  for (char c : tag.substr(1, end - 1)) {
    closer += LowerAscii(c);
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

void RenderMarkup(std::string_view text, HtmlOutput* out,
                  const std::function<void(const MarkupFinding&)>& onFinding, bool loadPictures) {
  Renderer(text, out, onFinding, loadPictures).Run();
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

// Steam's description markup: the tags the Workshop renders in an item's
// description ([h1], [b], [url=…], [list], [table], …), read the way the
// Workshop page shows them, and the mistakes in them that make the page
// look other than meant.
//
// One pass over the text gives both the rendered HTML and the mistakes, so
// what modpublish-check warns about is exactly what its page shows.
//
// The rules:
//  - A tag is "[" name "]", "[/" name "]", "[" name "=" value "]" or, for
//    [table], "[table" attributes "]" (noborder=1, equalcells=1). It runs to
//    the first "]" and holds no "[". A name starts with an ASCII letter and
//    goes on with letters and digits, or is "*"; names are case-insensitive.
//  - Brackets that don't make a tag ("[1]", "[ ]", "[a b]") are text and
//    no mistake. A tag of an unknown name, or a known name in a form it
//    doesn't take ("[b=1]", "[previewyoutube]"), shows as typed: a mistake.
//  - [noparse] and [code] take the text up to their closing tag as it is;
//    [url]ADDRESS[/url] and [img]ADDRESS[/img] take their address so.
//    [url=ADDRESS] holds markup. An address starting with http:// or
//    https:// is a link or a picture; one with no scheme at all
//    ("store.steampowered.com") is linked with http:// before it, as Steam
//    links it, but is no picture; one of any other scheme ("javascript:",
//    "data:") is a mistake and shows as text. A link to a host off Steam is
//    followed by the host in brackets, as on Steam. Pictures are loaded
//    only when the caller asks for https: pictures; else a picture shows as
//    a placeholder with its address.
//  - In text, an http:// or https:// address is a link up to the first
//    blank, and ":name:" an emoticon, shown as its name in a small label.
//  - [previewyoutube=ID;full] and [previewyoutube=ID;inline] give a video
//    placeholder with the video's address; nothing is fetched.
//    [quote=author;id] shows the author alone.
//  - [hr] stands alone ("[hr][/hr]" is one rule too). [*] starts a list item
//    directly inside [list] or [olist] and ends at the next [*] or at the end
//    of the list; elsewhere it is text.
//  - A closing tag closes the innermost open tag of its name, and with it
//    every tag opened inside that one: if one of those was not a list item,
//    that is a mistake (closed in the wrong order), and its own closing tag,
//    when it comes later, shows as typed (no second mistake). A closing tag
//    with no open tag of its name shows as typed: a mistake. Tags still open
//    at the end are closed there: each a mistake.
//  - Tags open inside kMaxMarkupDepth others show as typed: a mistake,
//    reported once per text.
//  - A line end is a line break, but for one line end right after some
//    block tags, which Steam drops (DropsNextLineEnd in markup.cpp has the
//    list); in [code] line ends are kept as they are.
// Rendered, every byte of the text is escaped for HTML; control bytes and
// bytes that are not UTF-8 show as U+FFFD, so the output is valid UTF-8.
// The HTML is at most kMaxHtmlPerByte bytes per byte of the text, whatever
// the text.
#ifndef MODPUBLISH_CHECK_MARKUP_H_
#define MODPUBLISH_CHECK_MARKUP_H_

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "check/html_output.h"

// How deep tags may nest before they show as typed; it bounds the parser's
// memory whatever the text.
constexpr size_t kMaxMarkupDepth = 64;

// The most HTML that RenderMarkup writes per byte of the text.
constexpr size_t kMaxHtmlPerByte = 8;

// What is wrong with a piece of markup.
enum class MarkupProblem {
  kNeverClosed,    // `tag` opens and no closing tag follows
  kClosesNothing,  // `tag` closes no open tag; it shows as typed
  kWrongOrder,     // `tag` closes its tag while `inner`, opened inside it, is open
  kUnknownTag,     // `tag` is no Steam tag, or a form its name doesn't take
  kNotAnAddress,   // `tag`'s address (`inner`) is of a scheme other than http: or
                   // https:, or a picture's has none
  kTooDeep,        // `tag` opens inside kMaxMarkupDepth other tags
  kInTitle,        // `tag` is markup in a title, which Steam shows as plain text
};

// One mistake. The views point into the text given to the parser and are
// valid as long as it is.
struct MarkupFinding {
  MarkupProblem problem = MarkupProblem::kUnknownTag;
  size_t offset = 0;       // where `tag` starts in the text, 0-based
  std::string_view tag;    // the tag as typed, brackets included
  std::string_view inner;  // kWrongOrder: the tag still open; kNotAnAddress: the address
};

// Renders the description `text` as the Workshop page shows it, into `out`
// (when not null), and tells `onFinding` (when set) of every mistake: in
// the order found, so the tags never closed come last. The HTML is a run of
// well-nested elements, with no <p>, <table>, heading or nested <a> that a
// browser would move about. With `loadPictures`, a picture of an https:
// address is an <img> that loads it; without, no element loads anything.
// What is found doesn't depend on `loadPictures`.
void RenderMarkup(std::string_view text, HtmlOutput* out,
                  const std::function<void(const MarkupFinding&)>& onFinding,
                  bool loadPictures = false);

// The mistakes of the description `text`, ordered by offset: the first
// `limit` of them. `total`, when not null, gets how many there are.
std::vector<MarkupFinding> FindMarkupMistakes(std::string_view text, size_t limit,
                                              size_t* total = nullptr);

// The first Steam tag in `title` (kInTitle), if any. Brackets that are no
// Steam tag ("[WIP] My mod") are ordinary title text and no finding.
std::optional<MarkupFinding> FindMarkupInTitle(std::string_view title);

// What modpublish-check says about the markup of the value of `key`
// ("title" or "description") in section `sectionName`: one message per
// mistake, in text order, at most ten and then one that counts the rest;
// none for correct markup or another key. When `offsets` is not null, it
// gets the offset in `value` of each message's mistake (the count of the
// rest: the offset of the last one shown).
std::vector<std::string> MarkupWarnings(std::string_view sectionName, std::string_view key,
                                        std::string_view value,
                                        std::vector<size_t>* offsets = nullptr);

#endif  // MODPUBLISH_CHECK_MARKUP_H_

// HTML written in bounded blocks, with one way to put text from the mod
// into it: escaped, every byte of it.
#ifndef MODPUBLISH_CHECK_HTML_OUTPUT_H_
#define MODPUBLISH_CHECK_HTML_OUTPUT_H_

#include <functional>
#include <string>
#include <string_view>

// Collects HTML and hands it to `sink` in order, in blocks of about 64 KiB
// (and whatever is left at Flush), so that a page of any size is written
// through a bounded buffer. Text from the mod goes through Text, which
// escapes every byte of it; Markup is for the caller's own HTML.
class HtmlOutput {
 public:
  explicit HtmlOutput(std::function<void(std::string_view)> sink);
  // Flushes what is left.
  ~HtmlOutput();
  HtmlOutput(const HtmlOutput&) = delete;
  HtmlOutput& operator=(const HtmlOutput&) = delete;

  // Writes `html` as it is.
  void Markup(std::string_view html);
  // Writes `text` escaped for HTML text and for a quoted attribute value
  // alike: & < > " ' as character references, control bytes (all below
  // 0x20 but tab, LF and CR, and 0x7F) and bytes that are not part of a
  // well-formed UTF-8 character as U+FFFD (its three UTF-8 bytes).
  void Text(std::string_view text);
  // Hands what is collected to the sink now.
  void Flush();

 private:
  std::function<void(std::string_view)> sink_;
  std::string buffer_;
};

#endif  // MODPUBLISH_CHECK_HTML_OUTPUT_H_

#include "tests/support/html_check.h"

#include <cstdint>
#include <vector>

namespace {

constexpr std::string_view kReferences[][2] = {
    {"&amp;", "&"},
    {"&lt;", "<"},
    {"&gt;", ">"},
    {"&quot;", "\""},
    {"&#34;", "\""},
    {"&#39;", "'"},
    {"&#xFFFD;", "\xEF\xBF\xBD"},
};

bool IsNameByte(char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); }

bool IsAttributeNameByte(char c) { return (c >= 'a' && c <= 'z') || c == '-'; }

// Decodes the code point at `at` and checks it was written in its shortest
// form and is a Unicode scalar value; returns its length, or 0.
size_t CodePointLength(std::string_view text, size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
  if (length == 0 || at + length > text.size() || lead >= 0xF8) {
    return 0;
  }
  uint32_t point = length == 1 ? lead : lead & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[at + i]);
    if ((next & 0xC0) != 0x80) {
      return 0;
    }
    point = (point << 6) | (next & 0x3F);
  }
  const uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (point < smallest[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
    return 0;
  }
  return length;
}

std::string CheckBytes(std::string_view html) {
  for (size_t at = 0; at < html.size();) {
    const size_t length = CodePointLength(html, at);
    if (length == 0) {
      return "byte " + std::to_string(at) + " is not UTF-8";
    }
    const auto byte = static_cast<unsigned char>(html[at]);
    if ((byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') || byte == 0x7F) {
      return "control byte at " + std::to_string(at);
    }
    at += length;
  }
  return std::string();
}

// The length of the character reference at html[at] == '&', or 0.
size_t ReferenceLength(std::string_view html, size_t at) {
  for (const auto& reference : kReferences) {
    if (html.substr(at, reference[0].size()) == reference[0]) {
      return reference[0].size();
    }
  }
  return 0;
}

bool IsAlnum(char c) { return IsNameByte(c) || (c >= 'A' && c <= 'Z'); }

// Text up to the next "<" (or the end): no ">" and no bare "&"; in an
// attribute value a bare "&" that nothing a reference could start with
// follows is no reference either.
std::string CheckText(std::string_view text, size_t offset, bool attribute = false) {
  for (size_t at = 0; at < text.size(); ++at) {
    const bool bareAmpersandAllowed =
        attribute && (at + 1 == text.size() || (!IsAlnum(text[at + 1]) && text[at + 1] != '#'));
    if (text[at] == '>' ||
        (text[at] == '&' && ReferenceLength(text, at) == 0 && !bareAmpersandAllowed)) {
      return "unescaped \"" + std::string(1, text[at]) + "\" at " + std::to_string(offset + at);
    }
  }
  return std::string();
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

struct Reader {
  std::string_view html;
  bool remotePictures = false;
  size_t at = 0;
  std::vector<std::string> open;

  std::string Fail(const std::string& what) const {
    return what + " at " + std::to_string(at) + ": \"" + std::string(html.substr(at, 40)) + "\"";
  }

  // A start tag at html[at] == '<'; `name` gets its name.
  std::string StartTag(std::string& name) {
    size_t end = at + 1;
    while (end < html.size() && IsNameByte(html[end])) {
      ++end;
    }
    name = std::string(html.substr(at + 1, end - at - 1));
    if (name.empty()) {
      return Fail("a \"<\" that starts no tag");
    }
    for (const char* banned : {"script", "iframe", "object", "embed", "img", "link", "base", "form",
                               "frame", "svg", "math", "p", "table"}) {
      if (name == banned && !(name == "img" && remotePictures)) {
        return Fail("element <" + name + ">");
      }
    }
    while (end < html.size() && html[end] == ' ') {
      size_t nameEnd = end + 1;
      while (nameEnd < html.size() && IsAttributeNameByte(html[nameEnd])) {
        ++nameEnd;
      }
      const std::string_view attribute = html.substr(end + 1, nameEnd - end - 1);
      if (attribute.empty() || html.substr(nameEnd, 2) != "=\"") {
        return Fail("an attribute that is not name=\"value\"");
      }
      const bool picture = name == "img" && attribute == "src";
      if (StartsWith(attribute, "on") || (attribute == "src" && !picture) ||
          attribute == "srcset" || attribute == "style" || attribute == "action") {
        return Fail("attribute " + std::string(attribute));
      }
      const size_t valueStart = nameEnd + 2;
      const size_t valueEnd = html.find('"', valueStart);
      if (valueEnd == std::string_view::npos) {
        return Fail("an attribute value that never ends");
      }
      const std::string_view value = html.substr(valueStart, valueEnd - valueStart);
      if (value.find('<') != std::string_view::npos) {
        return Fail("\"<\" in an attribute value");
      }
      std::string problem = CheckText(value, valueStart, true);
      if (!problem.empty()) {
        return problem;
      }
      // Schemes are read in any letter case, as a browser reads them.
      std::string scheme(value.substr(0, 8));
      for (char& c : scheme) {
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
      }
      if (attribute == "href" && !StartsWith(scheme, "http://") &&
          !StartsWith(scheme, "https://") && !StartsWith(value, "#")) {
        return Fail("a link to " + std::string(value));
      }
      if (picture && !StartsWith(scheme, "https://")) {
        return Fail("a picture from " + std::string(value));
      }
      end = valueEnd + 1;
    }
    if (end >= html.size() || html[end] != '>') {
      return Fail("a start tag that doesn't end in \">\"");
    }
    at = end + 1;
    return std::string();
  }

  std::string Run() {
    while (at < html.size()) {
      const size_t next = html.find('<', at);
      const size_t textEnd = next == std::string_view::npos ? html.size() : next;
      std::string problem = CheckText(html.substr(at, textEnd - at), at);
      if (!problem.empty()) {
        return problem;
      }
      at = textEnd;
      if (at == html.size()) {
        break;
      }
      if (html.substr(at, 2) == "</") {
        if (open.empty()) {
          return Fail("an end tag with no element open");
        }
        const std::string end = "</" + open.back() + ">";
        if (html.substr(at, end.size()) != end) {
          return Fail("an end tag other than " + end);
        }
        at += end.size();
        open.pop_back();
        continue;
      }
      std::string name;
      problem = StartTag(name);
      if (!problem.empty()) {
        return problem;
      }
      if (name == "meta" || name == "hr" || name == "br" || name == "input" || name == "img") {
        continue;  // void elements
      }
      if (name == "style" || name == "title") {
        // Raw text: no "<" but the end tag's own.
        const size_t end = html.find("</" + name + ">", at);
        if (end == std::string_view::npos ||
            html.substr(at, end - at).find('<') != std::string_view::npos) {
          return Fail("<" + name + "> that holds \"<\" or never ends");
        }
        if (name == "title" && !(problem = CheckText(html.substr(at, end - at), at)).empty()) {
          return problem;
        }
        at = end + name.size() + 3;
        continue;
      }
      open.push_back(name);
    }
    if (!open.empty()) {
      return "<" + open.back() + "> is never closed";
    }
    return std::string();
  }
};

}  // namespace

std::string HtmlProblem(std::string_view html, bool document, bool remotePictures) {
  std::string problem = CheckBytes(html);
  if (!problem.empty()) {
    return problem;
  }
  Reader reader;
  reader.html = html;
  reader.remotePictures = remotePictures;
  if (document) {
    constexpr std::string_view kDoctype = "<!DOCTYPE html>\n";
    if (!StartsWith(html, std::string(kDoctype) + "<html") ||
        html.substr(html.size() - 8) != "</html>\n") {
      return "not one <!DOCTYPE html> page";
    }
    reader.at = kDoctype.size();
  }
  return reader.Run();
}

std::string VisibleText(std::string_view html) {
  std::string text;
  for (size_t at = 0; at < html.size();) {
    if (html.substr(at, 4) == "<br>") {
      text += '\n';
      at += 4;
      continue;
    }
    if (html[at] == '<') {
      at = html.find('>', at);
      at = at == std::string_view::npos ? html.size() : at + 1;
      continue;
    }
    bool replaced = false;
    for (const auto& reference : kReferences) {
      if (html.substr(at, reference[0].size()) == reference[0]) {
        text += reference[1];
        at += reference[0].size();
        replaced = true;
        break;
      }
    }
    if (!replaced) {
      text += html[at++];
    }
  }
  return text;
}

std::string MissingFrom(std::string_view html, std::string_view part) {
  if (html.find(part) != std::string_view::npos) {
    return std::string();
  }
  // The longest start of `part` found: each longer start is found at or
  // after where the shorter one was.
  size_t found = 0;
  size_t at = 0;
  for (size_t from = 0; found < part.size();) {
    const size_t next = html.find(part.substr(0, found + 1), from);
    if (next == std::string_view::npos) {
      break;
    }
    at = from = next;
    ++found;
  }
  std::string message = "the HTML lacks \"" + std::string(part) + "\"";
  if (found > 0) {
    message += "; its first " + std::to_string(found) + " bytes stand at byte " +
               std::to_string(at) + ", followed by \"" + std::string(html.substr(at + found, 60)) +
               "\"";
  }
  return message + "\nThe HTML:\n" + std::string(html);
}

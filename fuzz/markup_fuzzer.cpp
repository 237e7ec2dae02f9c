// libFuzzer target for the description markup and the page of
// modpublish-check. Every input is taken as a description and:
//  - rendered: the HTML must be well-formed in the strict sense of
//    tests/support/html_check.h (elements closed in order, every "&" a
//    character reference, no script, no event attribute, no element that
//    loads anything, valid UTF-8) and at most kMaxHtmlPerByte bytes per
//    byte of the input, with pictures loaded or not; and every finding must
//    point at a tag inside the input;
//  - rendered without its "[" bytes, so that no tag can form: what a reader
//    sees must then be the input itself, byte for byte, but for control
//    bytes and bytes that are no UTF-8, which show as U+FFFD (line ends are
//    <br>, and read back so). So every byte of the text is escaped, none
//    dropped, none added;
//  - checked: the sorted, limited findings agree with the rendering's, and
//    the checker's warnings stay one clean line each;
//  - put in every text field of a page, which must be one well-formed page.
// A violation stops the run with a trap, which libFuzzer reports as a crash
// and saves the input.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "check/markup.h"
#include "check/page.h"
#include "check/text.h"
#include "tests/support/html_check.h"

namespace {

void Require(bool condition) {
  if (!condition) {
    __builtin_trap();
  }
}

std::string Render(std::string_view text, std::vector<MarkupFinding>* findings,
                   bool loadPictures = false) {
  std::string html;
  {
    HtmlOutput out([&html](std::string_view block) { html += block; });
    RenderMarkup(
        text, &out,
        [findings](const MarkupFinding& finding) {
          if (findings != nullptr) {
            findings->push_back(finding);
          }
        },
        loadPictures);
  }
  Require(html.size() <= kMaxHtmlPerByte * text.size());
  return html;
}

bool Inside(std::string_view part, std::string_view whole) {
  return part.empty() ||
         (part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size());
}

// The input as a reader should see it when no tag can form.
std::string Expected(std::string_view text) {
  std::string expected;
  for (size_t at = 0; at < text.size();) {
    const auto byte = static_cast<unsigned char>(text[at]);
    const size_t length = Utf8CharacterLength(text.substr(at));
    const bool control =
        (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') || byte == 0x7F;
    if (length == 0 || control) {
      expected += "\xEF\xBF\xBD";
      ++at;
    } else {
      expected.append(text.substr(at, length));
      at += length;
    }
  }
  return expected;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  std::vector<MarkupFinding> findings;
  const std::string html = Render(input, &findings);
  Require(HtmlProblem(html, false).empty());
  Require(HtmlProblem(Render(input, nullptr, true), false, true).empty());
  size_t tooDeep = 0;
  for (const MarkupFinding& finding : findings) {
    Require(Inside(finding.tag, input) && Inside(finding.inner, input));
    Require(finding.tag.size() >= 3 && finding.tag.front() == '[' && finding.tag.back() == ']');
    Require(finding.tag.data() == input.data() + finding.offset);
    Require(finding.problem != MarkupProblem::kInTitle);
    tooDeep += finding.problem == MarkupProblem::kTooDeep ? 1 : 0;
  }
  Require(tooDeep <= 1);

  std::string plain(input);
  plain.erase(std::remove(plain.begin(), plain.end(), '['), plain.end());
  std::vector<MarkupFinding> none;
  const std::string plainHtml = Render(plain, &none);
  Require(none.empty());
  Require(VisibleText(plainHtml) == Expected(plain));

  size_t total = 0;
  const std::vector<MarkupFinding> first = FindMarkupMistakes(input, 3, &total);
  Require(total == findings.size() && first.size() == std::min<size_t>(3, total));
  std::vector<size_t> offsets;
  for (const MarkupFinding& finding : findings) {
    offsets.push_back(finding.offset);
  }
  std::sort(offsets.begin(), offsets.end());
  for (size_t i = 0; i < first.size(); ++i) {
    Require(first[i].offset == offsets[i]);
  }
  for (const char* key : {"title", "description"}) {
    for (const std::string& warning : MarkupWarnings(input, key, input)) {
      for (char c : warning) {
        Require(static_cast<unsigned char>(c) >= 0x20 && c != '\x7F');
      }
    }
  }
  if (const std::optional<MarkupFinding> title = FindMarkupInTitle(input)) {
    Require(Inside(title->tag, input) && title->tag.front() == '[');
  }

  PageModel model;
  model.folder = input;
  model.descriptionRead = true;
  model.sections.push_back(PageSection{input, input, input, input, false, false});
  model.sections.push_back(PageSection{input, input, input, input, true, true});
  model.skipped.push_back(PageSkippedSection{input, 1, std::string(input)});
  model.preview.present = true;
  model.preview.bytes = input;
  model.preview.size = size;
  model.preview.format = ReadPictureHeader(input, size).format;
  model.loadPictures = size % 2 == 1;
  model.visibility = size % 3 == 1 ? PageVisibility::kUnchanged : PageVisibility::kPrivate;
  std::string page;
  {
    HtmlOutput out([&page](std::string_view block) { page += block; });
    WritePage(model, out);
  }
  Require(HtmlProblem(page, true, model.loadPictures).empty());
  return 0;
}

#include "check/page.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/html_check.h"
#include "tests/support/scratch_folder.h"

namespace {

using namespace std::string_literals;

std::string Page(const PageModel& model) {
  std::string html;
  HtmlOutput out([&html](std::string_view block) { html += block; });
  WritePage(model, out);
  return html;
}

// Whether `html` holds `part`; when not, the failure prints the page.
testing::AssertionResult Holds(const std::string& html, std::string_view part) {
  const std::string missing = MissingFrom(html, part);
  return missing.empty() ? testing::AssertionSuccess() : testing::AssertionFailure() << missing;
}

// Whether `html` lacks `part`; when not, the failure prints the page.
testing::AssertionResult Lacks(const std::string& html, std::string_view part) {
  if (html.find(part) == std::string::npos) {
    return testing::AssertionSuccess();
  }
  return testing::AssertionFailure() << "the HTML holds \"" << part << "\":\n" << html;
}

// What every page must be, whatever the model: one well-formed page that
// forbids scripts and loads pictures from https: addresses only if asked.
void ExpectSafePage(const std::string& html, bool loadPictures = false) {
  EXPECT_EQ(HtmlProblem(html, true, loadPictures), "") << html;
  EXPECT_TRUE(
      Holds(html, std::string("<meta http-equiv=\"Content-Security-Policy\" content=\"default-src "
                              "'none'; script-src 'none'; img-src data:") +
                      (loadPictures ? " https:;" : ";")));
}

PageModel ExampleModel() {
  PageModel model;
  model.folder = "my_mod";
  model.descriptionRead = true;
  model.sections.push_back(
      PageSection{"de", "german", "Laternen", "[h1]Laternen[/h1]", false, false});
  model.sections.push_back(PageSection{
      "en", "english", "No title",
      "[list][*]Oil [b]lanterns[/b][/list][url=https://e.org]site[/url]<script>x()</script>", true,
      false});
  model.skipped.push_back(PageSkippedSection{"pt-BR", 8, "not a known language code"});
  model.preview.present = true;
  model.preview.bytes = "\x89PNG\r\n\x1A\n";
  model.preview.size = model.preview.bytes.size();
  model.preview.format = PictureHeader::Format::kPng;
  model.contentFolder = true;
  model.contentFiles = 3;
  model.contentBytes = 363;
  return model;
}

size_t Occurrences(const std::string& html, const std::string& part) {
  size_t count = 0;
  for (size_t at = html.find(part); at != std::string::npos; at = html.find(part, at + 1)) {
    ++count;
  }
  return count;
}

TEST(PageTest, ShowsTheItemOnceAndEveryLanguageBehindASwitch) {
  const std::string html = Page(ExampleModel());
  ExpectSafePage(html);
  // Each language: a radio button, a label, a title and a description, in
  // upload order, shown by a rule of its own while its button is checked.
  const size_t german = html.find(
      "<div class=\"description lang lang-0\" data-language=\"german\"><div class=\"bb_h1\">");
  const size_t english =
      html.find("<div class=\"description lang lang-1\" data-language=\"english\">");
  ASSERT_NE(german, std::string::npos) << html;
  ASSERT_NE(english, std::string::npos) << html;
  EXPECT_LT(german, english);
  for (const char* expected : {
           "<title>Workshop page preview: Laternen</title>",
           "#pick-1:checked~.workshop .lang-1{display:block}",
           "<input type=\"radio\" name=\"language\" class=\"pick\" id=\"pick-0\" checked=\"\">\n"
           "<input type=\"radio\" name=\"language\" class=\"pick\" id=\"pick-1\">",
           "<label for=\"pick-0\" data-language=\"german\">german [de]</label><label "
           "for=\"pick-1\" data-language=\"english\">english [en]</label>",
           "<div class=\"visibility_banner\">This item is private",
           "<h1 class=\"item_title lang lang-0\">Laternen</h1>\n"
           "<h1 class=\"item_title lang lang-1\">No title</h1>",
           "<div class=\"note lang lang-1\">The section has no &#34;title&#34; key, so the "
           "publish sends &#34;No title&#34;.</div>",
           "<ul class=\"bb_ul\"><li>Oil <b>lanterns</b></li></ul>",
           "href=\"https://e.org\"",
           "&lt;script&gt;x()&lt;/script&gt;",
           "<li>[pt-BR] (line 8): not a known language code</li>",
           ".preview{background-image:url(\"data:image/png;base64,iVBORw0KGgo=\")}",
           "<dt>Visibility</dt><dd>Private: every publish run, an update too,",
           "<dt>Item</dt><dd>new: created by the publish</dd>",
           "<dt>Content</dt><dd>3 files, 363 bytes</dd>",
           "<dt>Languages</dt><dd>german, english</dd>",
       }) {
    EXPECT_TRUE(Holds(html, expected));
  }
  // The preview and the facts once, beside every language.
  EXPECT_EQ(Occurrences(html, "<div class=\"preview\""), 1u) << html;
  EXPECT_EQ(Occurrences(html, "<dt>Visibility</dt>"), 1u) << html;
  EXPECT_TRUE(Lacks(html, "<img"));
}

TEST(PageTest, ShowsTheVisibilityAfterTheRunAndLoadsPicturesOnlyWhenAsked) {
  PageModel model = ExampleModel();
  const std::string picture = "[img]https://e.org/banner.png[/img]";
  model.sections[0].description = picture;
  model.visibility = PageVisibility::kUnchanged;
  model.existingId = 917;
  model.loadPictures = true;
  const std::string html = Page(model);
  ExpectSafePage(html, true);
  EXPECT_TRUE(Lacks(html, "visibility_banner\">"));
  for (const char* expected : {
           "<dt>Visibility</dt><dd>As it was before the publish, which leaves it unchanged</dd>",
           "<dt>Item</dt><dd>917: updated by the publish</dd>",
           "<img src=\"https://e.org/banner.png\" alt=\"\">",
       }) {
    EXPECT_TRUE(Holds(html, expected));
  }
}

TEST(PageTest, EscapesEveryTextFromTheMod) {
  const std::string hostile = "<script>alert(1)</script>\"'&\x01\xFF";
  PageModel model = ExampleModel();
  model.folder = hostile;
  model.sections[0].title = hostile;
  const std::string description = hostile + "[url=" + hostile + "]x[/url][quote=" + hostile +
                                  "]q[/quote][img]" + hostile + "[/img]";
  model.sections[0].description = description;  // the model borrows its texts
  model.skipped[0].name = hostile;
  model.skipped[0].reason = hostile;
  const std::string html = Page(model);
  ExpectSafePage(html);
  EXPECT_TRUE(Lacks(html, "<script"));
  EXPECT_TRUE(
      Holds(html, "&lt;script&gt;alert(1)&lt;/script&gt;&#34;&#39;&amp;\xEF\xBF\xBD\xEF\xBF\xBD"));
}

TEST(PageTest, ShowsThePreviewOrWhyThereIsNone) {
  const struct {
    bool present;
    uint64_t size;
    std::string bytes;
    PictureHeader::Format format;
    std::string expected;
  } cases[] = {
      {true, 6, "GIF89a", PictureHeader::Format::kGif, "url(\"data:image/gif;base64,R0lGODlh\")"},
      {true, 4, "\xFF\xD8\xFF\xE0", PictureHeader::Format::kJpeg,
       "url(\"data:image/jpeg;base64,/9j/4A==\")"},
      {true, 5, "\xFF\xD8\xFF\xE0\x01", PictureHeader::Format::kJpeg, "base64,/9j/4AE=\")"},
      {false, 0, "", PictureHeader::Format::kOther,
       "No preview: steam_logo.png is missing or can&#39;t be read"},
      {true, 1048576, "", PictureHeader::Format::kOther,
       "No preview: steam_logo.png is 1048576 bytes, and Steam refuses previews of 1 MB"},
      {true, 5, "<svg>", PictureHeader::Format::kOther,
       "No preview shown: steam_logo.png is not a PNG, JPEG or GIF picture"},
  };
  for (const auto& test : cases) {
    PageModel model = ExampleModel();
    model.preview = PagePreview{test.present, test.size, test.bytes, test.format};
    const std::string html = Page(model);
    ExpectSafePage(html);
    EXPECT_TRUE(Holds(html, test.expected));
    EXPECT_EQ(html.find("data:image") != std::string::npos,
              test.format != PictureHeader::Format::kOther)
        << html;
  }
}

TEST(PageTest, NotesWhatSteamRefusesAndWhatIsMissing) {
  PageModel model = ExampleModel();
  const std::string longTitle(129, 't');
  const std::string longDescription(8001, 'd');
  model.sections[0].title = longTitle;
  model.sections[0].description = longDescription;
  model.sections[1].description = "No description";
  model.sections[1].descriptionIsFallback = true;
  model.existingId = 42;
  model.contentFolder = false;
  const std::string html = Page(model);
  ExpectSafePage(html);
  for (const char* expected : {
           "Steam refuses titles over 128 bytes, and this one is 129 bytes: the publish fails "
           "at this language.",
           "Steam refuses descriptions over 8000 bytes, and this one is 8001 bytes",
           "The section has no &#34;description&#34; key, so the publish sends &#34;No "
           "description&#34;.",
           "<dt>Item</dt><dd>42: updated by the publish</dd>",
           "<dt>Content</dt><dd>none: no such folder</dd>",
       }) {
    EXPECT_TRUE(Holds(html, expected));
  }

  PageModel empty;
  empty.descriptionRead = true;
  EXPECT_TRUE(Holds(Page(empty), "No section will be uploaded"));
  empty.descriptionRead = false;
  const std::string unread = Page(empty);
  ExpectSafePage(unread);
  EXPECT_TRUE(Holds(unread, "descript.ion can&#39;t be read"));
}

TEST(PageTest, WritesTheFileOrSaysItCant) {
  ScratchFolder scratch("modpublish-page-");
  const std::string path = (scratch.Path() / "page.html").string();
  const PageModel model = ExampleModel();
  ASSERT_TRUE(WritePageFile(path, model));
  std::ifstream file(path, std::ios::binary);
  std::stringstream written;
  written << file.rdbuf();
  EXPECT_EQ(written.str(), Page(model));
  EXPECT_FALSE(WritePageFile((scratch.Path() / "no_such_folder" / "page.html").string(), model));
}

}  // namespace

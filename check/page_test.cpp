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

// What every page must be, whatever the model: one well-formed page that
// forbids scripts.
void ExpectSafePage(const std::string& html) {
  EXPECT_EQ(HtmlProblem(html, true), "") << html;
  EXPECT_NE(html.find("<meta http-equiv=\"Content-Security-Policy\" content=\"default-src "
                      "'none'; script-src 'none'; img-src data:;"),
            std::string::npos);
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

TEST(PageTest, ShowsEverySectionInUploadOrderWithItsFacts) {
  const std::string html = Page(ExampleModel());
  ExpectSafePage(html);
  const size_t german =
      html.find("<section class=\"panel\" id=\"lang-de\" data-language=\"german\">");
  const size_t english =
      html.find("<section class=\"panel\" id=\"lang-en\" data-language=\"english\">");
  ASSERT_NE(german, std::string::npos);
  ASSERT_NE(english, std::string::npos);
  EXPECT_LT(german, english);
  for (const char* expected : {
           "<title>Workshop page preview: Laternen</title>",
           "<h1 class=\"item_title\">Laternen</h1>",
           "<div class=\"description\"><div class=\"bb_h1\" role=\"heading\"",
           "aria-level=\"1\">Laternen</div></div>",
           "<h1 class=\"item_title\">No title</h1>",
           "The section has no &quot;title&quot; key, so the publish sends &quot;No title&quot;.",
           "<ul class=\"bb_ul\"><li>Oil <b>lanterns</b></li></ul>",
           "href=\"https://e.org\"",
           "&lt;script&gt;x()&lt;/script&gt;",
           "<li>[pt-BR] (line 8): not a known language code</li>",
           ".preview{background-image:url(\"data:image/png;base64,iVBORw0KGgo=\")}",
           "<dt>Visibility</dt><dd>Private: every publish run, an update too,",
           "<dt>Item</dt><dd>a new item, created by the publish</dd>",
           "<dt>Content</dt><dd>3 files, 363 bytes</dd>",
           "<nav>Languages, in upload order: <a href=\"#lang-de\">german</a>",
           "german</a> <a href=\"#lang-en\">english</a></nav>",
       }) {
    EXPECT_NE(html.find(expected), std::string::npos) << expected;
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
  EXPECT_EQ(html.find("<script"), std::string::npos);
  EXPECT_NE(html.find("&lt;script&gt;alert(1)&lt;/script&gt;&quot;&#39;&amp;&#xFFFD;&#xFFFD;"),
            std::string::npos);
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
    EXPECT_NE(html.find(test.expected), std::string::npos) << test.expected;
    EXPECT_EQ(html.find("data:image") != std::string::npos,
              test.format != PictureHeader::Format::kOther);
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
           "The section has no &quot;description&quot; key, so the publish sends &quot;No "
           "description&quot;.",
           "<dt>Item</dt><dd>item 42, updated by the publish</dd>",
           "<dt>Content</dt><dd>none: no such folder</dd>",
       }) {
    EXPECT_NE(html.find(expected), std::string::npos) << expected;
  }

  PageModel empty;
  empty.descriptionRead = true;
  EXPECT_NE(Page(empty).find("No section will be uploaded"), std::string::npos);
  empty.descriptionRead = false;
  const std::string unread = Page(empty);
  ExpectSafePage(unread);
  EXPECT_NE(unread.find("descript.ion can&#39;t be read"), std::string::npos);
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

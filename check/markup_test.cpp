#include "check/markup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/html_check.h"

namespace {

using namespace std::string_literals;

const char* Name(MarkupProblem problem) {
  switch (problem) {
    case MarkupProblem::kNeverClosed:
      return "never-closed";
    case MarkupProblem::kClosesNothing:
      return "closes-nothing";
    case MarkupProblem::kWrongOrder:
      return "wrong-order";
    case MarkupProblem::kUnknownTag:
      return "unknown";
    case MarkupProblem::kNotAnAddress:
      return "not-an-address";
    case MarkupProblem::kTooDeep:
      return "too-deep";
    case MarkupProblem::kInTitle:
      return "in-title";
  }
  return "?";
}

// "problem offset tag [inner]", one finding a string, in the order found.
std::string Describe(const MarkupFinding& finding) {
  std::string text = std::string(Name(finding.problem)) + " " + std::to_string(finding.offset) +
                     " " + std::string(finding.tag);
  if (!finding.inner.empty()) {
    text += " " + std::string(finding.inner);
  }
  return text;
}

struct Rendered {
  std::string html;
  std::vector<std::string> findings;
};

// The HTML must be well-formed whatever the text, mistakes included.
Rendered Render(std::string_view text) {
  Rendered rendered;
  {
    HtmlOutput out([&rendered](std::string_view html) { rendered.html += html; });
    RenderMarkup(text, &out, [&rendered](const MarkupFinding& finding) {
      rendered.findings.push_back(Describe(finding));
    });
  }
  EXPECT_EQ(HtmlProblem(rendered.html, false), "") << text;
  return rendered;
}

const std::string kLink = "<a class=\"bb_link\" href=\"";
const std::string kLinkEnd = "\" rel=\"nofollow noopener noreferrer\">";

struct MarkupCase {
  std::string text;
  std::string html;
  std::vector<std::string> findings;
};

// Correct markup: rendered, and no finding.
const MarkupCase kCorrect[] = {
    {"plain & <b> \"q\" 'a'", "plain &amp; &lt;b&gt; &quot;q&quot; &#39;a&#39;", {}},
    {"[b]bold[/b] [i]it[/i] [u]u[/u] [strike]s[/strike]",
     "<b>bold</b> <i>it</i> <u>u</u> <s>s</s>",
     {}},
    {"[B]any case[/b][H1]x[/h1]",
     "<b>any case</b><div class=\"bb_h1\" role=\"heading\" aria-level=\"1\">x</div>",
     {}},
    {"[h2]a[/h2][h3]b[/h3]",
     "<div class=\"bb_h2\" role=\"heading\" aria-level=\"2\">a</div>"
     "<div class=\"bb_h3\" role=\"heading\" aria-level=\"3\">b</div>",
     {}},
    {"[list][*]one[*]two[/list][olist][*]a[/*][/olist]",
     "<ul class=\"bb_ul\"><li>one</li><li>two</li></ul><ol class=\"bb_ol\"><li>a</li></ol>",
     {}},
    {"[url=https://e.org/?a=1&b=\"x\"]site[/url]",
     kLink + "https://e.org/?a=1&amp;b=&quot;x&quot;" + kLinkEnd + "site</a>",
     {}},
    {"[URL]http://e.org[/Url]", kLink + "http://e.org" + kLinkEnd + "http://e.org</a>", {}},
    {"[url=HTTPS://e.org]x[/url]", kLink + "HTTPS://e.org" + kLinkEnd + "x</a>", {}},
    {"[url= https://e.org/\ta ]x[/url]", kLink + "https://e.org/a" + kLinkEnd + "x</a>", {}},
    {"[img]https://e.org/p.png[/img]",
     "<span class=\"bb_img\">Picture not loaded: " + kLink + "https://e.org/p.png" + kLinkEnd +
         "https://e.org/p.png</a></span>",
     {}},
    {"[noparse][b]x[/b] <i>[/noparse]", "[b]x[/b] &lt;i&gt;", {}},
    {"[code]if (a < b) [b]x[/b][/code]", "<div class=\"bb_code\">if (a &lt; b) [b]x[/b]</div>", {}},
    {"[hr][/hr]a[hr]b", "<hr>a<hr>b", {}},
    {"[quote=Mira <3]hi[/quote][quote]x[/quote]",
     "<blockquote class=\"bb_blockquote\"><div class=\"bb_quoteauthor\">Originally posted by "
     "<b>Mira &lt;3</b>:</div>hi</blockquote><blockquote class=\"bb_blockquote\">x</blockquote>",
     {}},
    {"[table noborder=1 equalcells=1][tr][th]a[/th][/tr][tr][td]b[/td][/tr][/table]",
     "<div class=\"bb_table bb_table_noborder bb_table_equalcells\"><div class=\"bb_table_tr\">"
     "<div class=\"bb_table_th\">a</div></div><div class=\"bb_table_tr\"><div "
     "class=\"bb_table_td\">b</div></div></div>",
     {}},
    {"[table][/table]", "<div class=\"bb_table\"></div>", {}},
    {"[spoiler]ending[/spoiler]", "<span class=\"bb_spoiler\"><span>ending</span></span>", {}},
    // Brackets that make no tag are text.
    {"[1] [ ] [] [Mod Name] [WIP!] [table of contents] [/b x] [a",
     "[1] [ ] [] [Mod Name] "
     "[WIP!] [table of contents] "
     "[/b x] [a",
     {}},
    {"[[b]]x[/b]]", "[<b>]x</b>]", {}},
    // An item outside a list is text.
    {"[*] not listed", "[*] not listed", {}},
    // A link inside a link would be moved out by a browser: it is no link.
    {"[url=http://a][url=http://b]x[/url][/url]",
     kLink + "http://a" + kLinkEnd + "<span class=\"bb_link_off\">x</span></a>",
     {}},
    // Control bytes and bytes that are no UTF-8 show as U+FFFD.
    {"a\x01z\x7F\tb\xFF\xC3\xA9\xE2\x82\xAC\xED\xA0\x80"s + "\0"s,
     "a&#xFFFD;z&#xFFFD;\tb&#xFFFD;\xC3\xA9\xE2\x82\xAC&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;",
     {}},
};

// Mistakes: rendered as the Workshop would, and reported where they stand.
const MarkupCase kMistakes[] = {
    {"[center]x[/center]", "[center]x[/center]", {"unknown 0 [center]", "unknown 9 [/center]"}},
    {"[color=red]x [b=1]", "[color=red]x [b=1]", {"unknown 0 [color=red]", "unknown 13 [b=1]"}},
    {"a[/b]", "a[/b]", {"closes-nothing 1 [/b]"}},
    {"[/hr][/url][/img][/noparse]",
     "[/hr][/url][/img][/noparse]",
     {"closes-nothing 0 [/hr]", "closes-nothing 5 [/url]", "closes-nothing 11 [/img]",
      "closes-nothing 17 [/noparse]"}},
    {"x[b]bold [i]both", "x<b>bold <i>both</i></b>", {"never-closed 1 [b]", "never-closed 9 [i]"}},
    {"[b][i]x[/b]y[/i]", "<b><i>x</i></b>y", {"wrong-order 7 [/b] [i]"}},
    {"[b][i]x[/b][/i][/i]",
     "<b><i>x</i></b>[/i]",
     {"wrong-order 7 [/b] [i]", "closes-nothing 15 [/i]"}},
    {"[list][*]a[b]b[/list]",
     "<ul class=\"bb_ul\"><li>a<b>b</b></li></ul>",
     {"wrong-order 14 [/list] [b]"}},
    {"[url=javascript:alert(1)]x[/url]",
     "<span class=\"bb_link_off\">x</span>",
     {"not-an-address 0 [url=javascript:alert(1)] javascript:alert(1)"}},
    {"[url= JaVa\tScript:x]y[/url]",
     "<span class=\"bb_link_off\">y</span>",
     {"not-an-address 0 [url= JaVa\tScript:x]  JaVa\tScript:x"}},
    {"[url]www.e.org[/url]",
     "<span class=\"bb_link_off\">www.e.org</span>",
     {"not-an-address 0 [url] www.e.org"}},
    {"[img]data:image/svg+xml,<svg onload=x>[/img]",
     "<span class=\"bb_img\">Picture not loaded: data:image/svg+xml,&lt;svg "
     "onload=x&gt;</span>",
     {"not-an-address 0 [img] data:image/svg+xml,<svg onload=x>"}},
    {"[img]a.png", "[img]a.png", {"never-closed 0 [img]"}},
    {"[url]http://e.org [b]x[/b]", "[url]http://e.org <b>x</b>", {"never-closed 0 [url]"}},
    {"[noparse][b]", "[b]", {"never-closed 0 [noparse]"}},
    {"[code]<x>", "<div class=\"bb_code\">&lt;x&gt;</div>", {"never-closed 0 [code]"}},
    {"<script>alert(1)</script>[b]",
     "&lt;script&gt;alert(1)&lt;/script&gt;<b></b>",
     {"never-closed 25 [b]"}},
    {"[url=https://e.org/\"onmouseover=alert(1)]t",
     kLink + "https://e.org/&quot;onmouseover=alert(1)" + kLinkEnd + "t</a>",
     {"never-closed 0 [url=https://e.org/\"onmouseover=alert(1)]"}},
};

TEST(MarkupTest, CorrectMarkupRendersWithoutFindings) {
  for (const MarkupCase& test : kCorrect) {
    const Rendered rendered = Render(test.text);
    EXPECT_EQ(rendered.html, test.html) << test.text;
    EXPECT_EQ(rendered.findings, test.findings) << test.text;
  }
}

TEST(MarkupTest, MistakesRenderAsTheWorkshopWouldAndAreFound) {
  for (const MarkupCase& test : kMistakes) {
    const Rendered rendered = Render(test.text);
    EXPECT_EQ(rendered.html, test.html) << test.text;
    EXPECT_EQ(rendered.findings, test.findings) << test.text;
  }
}

TEST(MarkupTest, NestingBeyondTheLimitShowsAsTypedAndIsFoundOnce) {
  std::string text;
  for (size_t i = 0; i < kMaxMarkupDepth + 2; ++i) {
    text += "[b]";
  }
  const Rendered rendered = Render(text);
  // The two beyond the limit as typed, every open one closed at the end.
  std::string html;
  for (size_t i = 0; i < kMaxMarkupDepth; ++i) {
    html += "<b>";
  }
  html += "[b][b]";
  for (size_t i = 0; i < kMaxMarkupDepth; ++i) {
    html += "</b>";
  }
  EXPECT_EQ(rendered.html, html);
  ASSERT_EQ(rendered.findings.size(), kMaxMarkupDepth + 1);
  EXPECT_EQ(rendered.findings[0], "too-deep " + std::to_string(3 * kMaxMarkupDepth) + " [b]");
}

TEST(MarkupTest, MistakesAreSortedByOffsetAndLimited) {
  size_t total = 0;
  const std::vector<MarkupFinding> first =
      FindMarkupMistakes("[b]x[/i][center][/u][/s]", 2, &total);
  EXPECT_EQ(total, 5u);
  ASSERT_EQ(first.size(), 2u);
  EXPECT_EQ(Describe(first[0]), "never-closed 0 [b]");
  EXPECT_EQ(Describe(first[1]), "closes-nothing 4 [/i]");
  EXPECT_TRUE(FindMarkupMistakes("[b]x[/b]", 10, &total).empty());
  EXPECT_EQ(total, 0u);
}

TEST(MarkupTest, TitlesAreFoundHoldingSteamTagsOnly) {
  const struct {
    const char* title;
    const char* found;  // the tag, or "" for none
  } cases[] = {
      {"Lanterns at Night", ""},  {"[WIP] Lanterns", ""},   {"Lanterns [v1.2]", ""},
      {"[b]Lanterns[/b]", "[b]"}, {"Lanterns[/i]", "[/i]"}, {"[URL=x]Lanterns", "[URL=x]"},
      {"[center]x", ""},
  };
  for (const auto& test : cases) {
    const std::optional<MarkupFinding> finding = FindMarkupInTitle(test.title);
    EXPECT_EQ(finding ? std::string(finding->tag) : "", test.found) << test.title;
  }
}

TEST(MarkupTest, WarningsNameTheSectionTheTagAndItsByte) {
  EXPECT_EQ(MarkupWarnings("en", "description", "Hi [b]there"),
            std::vector<std::string>{
                "\"[b]\" at byte 4 of the description of section [en] is never closed. Add "
                "\"[/b]\" where it should end"});
  EXPECT_EQ(MarkupWarnings("en", "title", "[i]Lanterns[/i]"),
            std::vector<std::string>{
                "the title of section [en] holds the markup \"[i]\"; Steam shows titles as "
                "plain text, so the Workshop page shows it as typed. Remove it"});
  EXPECT_TRUE(MarkupWarnings("en", "description", "[b]fine[/b]").empty());
  EXPECT_TRUE(MarkupWarnings("en", "version", "[b]").empty());

  std::string many;
  for (int i = 0; i < 13; ++i) {
    many += "[/b]";
  }
  const std::vector<std::string> warnings = MarkupWarnings("de", "description", many);
  ASSERT_EQ(warnings.size(), 11u);
  EXPECT_EQ(warnings.back(),
            "3 more markup mistakes in the description of section [de] are not listed; fix "
            "those above and check again");
}

TEST(MarkupTest, OutputComesInBoundedBlocksAndWhole) {
  // Text that needs no escaping and text that all does, around a block.
  const std::string plain(size_t{300} * 1024, 'a');
  const std::string special(size_t{100} * 1024, '<');
  std::string expected = plain;
  for (size_t i = 0; i < special.size(); ++i) {
    expected += "&lt;";
  }
  std::string html;
  size_t largest = 0;
  {
    HtmlOutput out([&](std::string_view block) {
      html += block;
      largest = std::max(largest, block.size());
    });
    out.Text(plain);
    out.Text(special);
  }
  EXPECT_TRUE(html == expected) << "the output differs from the escaped text";
  EXPECT_LE(largest, 80u * 1024);
}

TEST(MarkupTest, Utf8CharacterLengths) {
  const struct {
    std::string text;
    size_t length;
  } cases[] = {
      {"", 0},
      {"a", 1},
      {"\xC3\xA9", 2},
      {"\xE2\x82\xAC", 3},
      {"\xF0\x9F\x98\x80", 4},
      {"\xC0\x80", 0},
      {"\xE0\x80\x80", 0},
      {"\xED\xA0\x80", 0},
      {"\xF4\x90\x80\x80", 0},
      {"\xC3", 0},
      {"\x80", 0},
      {"\xFF", 0},
  };
  for (const auto& test : cases) {
    EXPECT_EQ(Utf8CharacterLength(test.text), test.length) << test.text;
  }
}

}  // namespace

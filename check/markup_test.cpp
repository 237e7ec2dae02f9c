#include "check/markup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
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

// The HTML must be well-formed whatever the text, mistakes included, and
// within kMaxHtmlPerByte.
Rendered Render(std::string_view text, bool loadPictures = false) {
  Rendered rendered;
  {
    HtmlOutput out([&rendered](std::string_view html) { rendered.html += html; });
    RenderMarkup(
        text, &out,
        [&rendered](const MarkupFinding& finding) {
          rendered.findings.push_back(Describe(finding));
        },
        loadPictures);
  }
  EXPECT_EQ(HtmlProblem(rendered.html, false, loadPictures), "") << text << "\n" << rendered.html;
  EXPECT_LE(rendered.html.size(), kMaxHtmlPerByte * text.size())
      << text << "\ngives " << rendered.html.size() << " bytes of HTML: " << rendered.html;
  return rendered;
}

const std::string kLink = "<a href=\"";

struct MarkupCase {
  std::string text;
  std::string html;
  std::vector<std::string> findings;
};

// Correct markup: rendered, and no finding.
const MarkupCase kCases[] = {
    {"plain & <b> \"q\" 'a'", "plain &amp; &lt;b&gt; &#34;q&#34; &#39;a&#39;", {}},
    {"[b]bold[/b] [i]it[/i] [u]u[/u] [strike]s[/strike]",
     "<b>bold</b> <i>it</i> <u>u</u> <s>s</s>",
     {}},
    {"[B]any case[/b][H1]x[/h1]", "<b>any case</b><div class=\"bb_h1\">x</div>", {}},
    {"[h2]a[/h2][h3]b[/h3]", "<div class=\"bb_h2\">a</div><div class=\"bb_h3\">b</div>", {}},
    {"[list][*]one[*]two[/list][olist][*]a[/*][/olist]",
     "<ul class=\"bb_ul\"><li>one</li><li>two</li></ul><ol class=\"bb_ol\"><li>a</li></ol>",
     {}},
    // Links: the host of one off Steam follows it, as on Steam.
    {"[url=https://e.org/?a=1&b=\"x\"]site[/url]",
     kLink + "https://e.org/?a=1&amp;b=%22x%22\">site</a><small> [e.org]</small>",
     {}},
    {"[URL]http://e.org[/Url]",
     kLink + "http://e.org\">http://e.org</a><small> [e.org]</small>",
     {}},
    {"[url=HTTPS://store.steampowered.com]x[/url]",
     kLink + "HTTPS://store.steampowered.com\">x</a>",
     {}},
    {"[url= https://e.org/\ta ]x[/url]",
     kLink + "https://e.org/a\">x</a><small> [e.org]</small>",
     {}},
    // An address without a scheme is linked with http:// before it.
    {"[url=store.steampowered.com]Store[/url] [url]www.e.org/a[/url] [url=//e.org]x[/url]",
     kLink + "http://store.steampowered.com\">Store</a> " + kLink +
         "http://www.e.org/a\">www.e.org/a</a><small> [www.e.org]</small> " + kLink +
         "http://e.org\">x</a><small> [e.org]</small>",
     {}},
    {"[url=localhost:8080/x]x[/url]",
     kLink + "http://localhost:8080/x\">x</a><small> [localhost]</small>",
     {}},
    // An address is written as a browser would send it.
    {"[url]https://e.org/a b\"c'<>&x&&=\xFF[/url]",
     kLink + "https://e.org/a%20b%22c%27%3C%3E&amp;x&&=%FF\">https://e.org/a b&#34;c&#39;&lt;&gt;"
             "&amp;x&amp;&amp;=\xEF\xBF\xBD</a><small> [e.org]</small>",
     {}},
    {"[img]https://e.org/p.png[/img]",
     "<span class=\"bb_img\">Picture not loaded: " + kLink +
         "https://e.org/p.png\">https://e.org/p.png</a></span>",
     {}},
    {"[url=https://e.org][img]https://e.org/b.png[/img][/url]",
     kLink + "https://e.org\"><span class=\"bb_img\">Picture not loaded: https://e.org/b.png</span>"
             "</a><small> [e.org]</small>",
     {}},
    // Bare addresses in text, up to the first blank; not inside a word or a link.
    {"see https://steamcommunity.com/app/480 or (HTTP://e.org/a?b=1&c).",
     "see " + kLink +
         "https://steamcommunity.com/app/480\">https://steamcommunity.com/app/480</a> or (" +
         kLink + "HTTP://e.org/a?b=1&amp;c).\">HTTP://e.org/a?b=1&amp;c).</a>",
     {}},
    // The scheme is http: or https: and "//", in any letter case: nothing
    // longer, nothing shorter.
    {"[url=HTTP://e.org]a[/url] http:x httpx://e.org Https://e.org",
     kLink + "HTTP://e.org\">a</a><small> [e.org]</small> http:x httpx://e.org " + kLink +
         "Https://e.org\">Https://e.org</a>",
     {}},
    {"xhttp://e.org http:// [url=https://a.org]http://b.org[/url]",
     "xhttp://e.org http:// " + kLink + "https://a.org\">http://b.org</a><small> [a.org]</small>",
     {}},
    {"[previewyoutube=dQw4w9WgXcQ;full][/previewyoutube][PreviewYouTube=a&b;inline][/"
     "previewyoutube]",
     "<div class=\"bb_video\">" + kLink +
         "https://www.youtube.com/watch?v=dQw4w9WgXcQ\">https://www.youtube.com/watch?v=dQw4w9WgXcQ"
         "</a></div><span class=\"bb_video bb_video_inline\">" +
         kLink +
         "https://www.youtube.com/watch?v=a%26b\">https://www.youtube.com/watch?v=a&amp;b"
         "</a></span>",
     {}},
    {":steamhappy: 12:30:45 a:bcd: :ab: (:csgo_crown:)",
     "<span class=\"emoticon\">:steamhappy:</span> 12:30:45 a:bcd: :ab: (<span "
     "class=\"emoticon\">:csgo_crown:</span>)",
     {}},
    {"[noparse][b]x[/b] <i>[/noparse]", "[b]x[/b] &lt;i&gt;", {}},
    {"[code]if (a < b) [b]x[/b][/code]", "<div class=\"bb_code\">if (a &lt; b) [b]x[/b]</div>", {}},
    {"[hr][/hr]a[hr]b", "<hr>a<hr>b", {}},
    {"[quote=Mira <3]hi[/quote][quote]x[/quote][quote=Alice;1234567890]y[/quote][quote=a;b]z[/"
     "quote]",
     "<blockquote><cite>Mira &lt;3</cite>hi</blockquote><blockquote>x</blockquote>"
     "<blockquote><cite>Alice</cite>y</blockquote><blockquote><cite>a;b</cite>z</blockquote>",
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
     kLink + "http://a\"><span class=\"bb_link_off\">x</span></a><small> [a]</small>",
     {}},
    // Control bytes and bytes that are no UTF-8 show as U+FFFD.
    {"a\x01z\x7F\tb\xFF\xC3\xA9\xE2\x82\xAC\xED\xA0\x80"s + "\0"s,
     "a\xEF\xBF\xBDz\xEF\xBF\xBD\tb\xEF\xBF\xBD\xC3\xA9\xE2\x82\xAC\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF"
     "\xBD\xEF\xBF\xBD",
     {}},
    // Line ends: a break, but where Steam drops them (DropsNextLineEnd).
    {"a\nb\n\nc", "a<br>b<br><br>c", {}},
    {"[h1]T[/h1]\nText\n[b]x[/b]\ny", "<div class=\"bb_h1\">T</div>Text<br><b>x</b><br>y", {}},
    {"[list]\n[*]a\n[*]b\n[/list]\nafter",
     "<ul class=\"bb_ul\"><li>a<br></li><li>b<br></li></ul>after",
     {}},
    {"[code]\nx = 1\n  y\n[/code]\nz", "<div class=\"bb_code\">x = 1\n  y\n</div>z", {}},
    {"[quote=A]\nq\n[/quote]\n\nz", "<blockquote><cite>A</cite>q<br></blockquote><br>z", {}},
    {"[table]\n[tr]\n[th]a[/th]\n[/tr]\n[/table]\nz",
     "<div class=\"bb_table\"><div class=\"bb_table_tr\"><div class=\"bb_table_th\">a</div></div>"
     "</div>z",
     {}},
    {"a\n[hr][/hr]\nb[hr]\nc", "a<br><hr>b<hr>c", {}},
    {"[noparse]a\nb[/noparse]\nc", "a<br>b<br>c", {}},
    {"[previewyoutube=x;full][/previewyoutube]\nz",
     "<div class=\"bb_video\">" + kLink +
         "https://www.youtube.com/watch?v=x\">https://www.youtube.com/watch?v=x</a></div>z",
     {}},
    // Mistakes: rendered as the Workshop would, and reported where they stand.
    {"[center]x[/center]", "[center]x[/center]", {"unknown 0 [center]", "unknown 9 [/center]"}},
    {"[color=red]x [b=1]", "[color=red]x [b=1]", {"unknown 0 [color=red]", "unknown 13 [b=1]"}},
    {"[previewyoutube]x", "[previewyoutube]x", {"unknown 0 [previewyoutube]"}},
    {"a[/b]", "a[/b]", {"closes-nothing 1 [/b]"}},
    {"[/hr][/url][/img][/noparse]",
     "[/hr][/url][/img][/noparse]",
     {"closes-nothing 0 [/hr]", "closes-nothing 5 [/url]", "closes-nothing 11 [/img]",
      "closes-nothing 17 [/noparse]"}},
    {"x[b]bold [i]both", "x<b>bold <i>both</i></b>", {"never-closed 1 [b]", "never-closed 9 [i]"}},
    // The closing tag of a tag closed out of order shows as typed.
    {"[b][i]x[/b]y[/i]", "<b><i>x</i></b>y[/i]", {"wrong-order 7 [/b] [i]"}},
    {"[b][i]x[/b][/i][/i]",
     "<b><i>x</i></b>[/i][/i]",
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
    {"[url]ftp://e.org[/url][url=mailto:a@e.org]m[/url][url=]e[/url]",
     "<span class=\"bb_link_off\">ftp://e.org</span><span class=\"bb_link_off\">m</span><span "
     "class=\"bb_link_off\">e</span>",
     {"not-an-address 0 [url] ftp://e.org", "not-an-address 22 [url=mailto:a@e.org] mailto:a@e.org",
      "not-an-address 49 [url=]"}},
    {"[url=http:x]a[/url][url=httpx://e.org]b[/url][url]https:e.org[/url][img]httpsx://e.org/"
     "p.png[/img]",
     "<span class=\"bb_link_off\">a</span><span class=\"bb_link_off\">b</span><span "
     "class=\"bb_link_off\">https:e.org</span><span class=\"bb_img\">Picture not loaded: "
     "httpsx://e.org/p.png</span>",
     {"not-an-address 0 [url=http:x] http:x", "not-an-address 19 [url=httpx://e.org] httpx://e.org",
      "not-an-address 45 [url] https:e.org", "not-an-address 67 [img] httpsx://e.org/p.png"}},
    // A picture gets no scheme added.
    {"[img]www.e.org/a.png[/img]",
     "<span class=\"bb_img\">Picture not loaded: www.e.org/a.png</span>",
     {"not-an-address 0 [img] www.e.org/a.png"}},
    {"[img]data:image/svg+xml,<svg onload=x>[/img]",
     "<span class=\"bb_img\">Picture not loaded: data:image/svg+xml,&lt;svg "
     "onload=x&gt;</span>",
     {"not-an-address 0 [img] data:image/svg+xml,<svg onload=x>"}},
    {"[img]a.png", "[img]a.png", {"never-closed 0 [img]"}},
    {"[url]http://e.org [b]x[/b]",
     "[url]" + kLink + "http://e.org\">http://e.org</a> <b>x</b>",
     {"never-closed 0 [url]"}},
    {"[noparse][b]", "[b]", {"never-closed 0 [noparse]"}},
    {"[code]<x>", "<div class=\"bb_code\">&lt;x&gt;</div>", {"never-closed 0 [code]"}},
    {"[previewyoutube=x;full]",
     "<div class=\"bb_video\">" + kLink +
         "https://www.youtube.com/watch?v=x\">https://www.youtube.com/watch?v=x</a></div>",
     {"never-closed 0 [previewyoutube=x;full]"}},
    {"<script>alert(1)</script>[b]",
     "&lt;script&gt;alert(1)&lt;/script&gt;<b></b>",
     {"never-closed 25 [b]"}},
    {"[url=https://e.org/\"onmouseover=alert(1)]t",
     kLink + "https://e.org/%22onmouseover=alert(1)\">t</a><small> [e.org]</small>",
     {"never-closed 0 [url=https://e.org/\"onmouseover=alert(1)]"}},
};

TEST(MarkupTest, RendersAsTheWorkshopWouldAndFindsTheMistakes) {
  for (const MarkupCase& test : kCases) {
    const Rendered rendered = Render(test.text);
    EXPECT_EQ(rendered.html, test.html) << test.text;
    EXPECT_EQ(rendered.findings, test.findings) << test.text;
  }
}

TEST(MarkupTest, PicturesLoadOnlyFromHttpsAndOnlyWhenAsked) {
  const std::string text =
      "[img]https://e.org/a.png?x=1&y=\"2\"[/img][img]http://e.org/b.png[/img]"
      "[url=https://e.org][img]https://e.org/c.png[/img][/url]";
  const Rendered loaded = Render(text, true);
  EXPECT_EQ(loaded.html,
            "<img src=\"https://e.org/a.png?x=1&amp;y=%222%22\" alt=\"\"><span "
            "class=\"bb_img\">Picture not loaded: " +
                kLink + "http://e.org/b.png\">http://e.org/b.png</a></span>" + kLink +
                "https://e.org\"><img src=\"https://e.org/c.png\" alt=\"\"></a><small> "
                "[e.org]</small>");
  const Rendered offline = Render(text);
  EXPECT_EQ(offline.html.find("<img"), std::string::npos) << offline.html;
  EXPECT_EQ(loaded.findings, offline.findings);
}

// The most HTML per byte comes from short tags standing alone and from
// addresses, which are written twice, full of bytes that need escaping.
TEST(MarkupTest, HtmlStaysWithinItsBoundPerByte) {
  std::vector<std::string> texts = {"\n", "\xFF", "\"", "'", "&", "<", ":abc:", "[hr]", "[*]"};
  for (const auto& tag :
       {"b",    "i",       "u",  "strike", "spoiler", "h1",    "h2",
        "h3",   "noparse", "hr", "url",    "list",    "olist", "quote",
        "code", "table",   "tr", "th",     "td",      "img",   "previewyoutube"}) {
    texts.push_back("[" + std::string(tag) + "]");
    texts.push_back("[" + std::string(tag) + "=a]");
    texts.push_back("[/" + std::string(tag) + "]");
    texts.push_back("[list][*][" + std::string(tag) + "][/" + std::string(tag) + "][/list]");
  }
  for (const std::string& bytes : {"\"'&\xFF<>\x01"s, "&a"s, "&&"s, "&#"s, "a.b-c"s}) {
    std::string many;
    for (int i = 0; i < 50; ++i) {
      many += bytes;
    }
    std::string named = "[url=" + many;  // its text as hostile as its address
    named += "]";
    named += many;
    named += "[/url]";
    for (const std::string& text :
         {"[url]http://" + many + "[/url]", named, "[url]" + many + "[/url]",
          "[img]https://" + many + "[/img]", "http://" + many,
          "[previewyoutube=" + many + ";inline][/previewyoutube]", "[quote=" + many + "]"}) {
      texts.push_back(text);
    }
  }
  texts.push_back("[url=x][/url][url=a]");
  texts.push_back("http://x http://y\nhttp://z");
  for (const std::string& text : texts) {
    Render(text);
    Render(text, true);
  }
}

// Descriptions written as mod authors write them, one file each in
// tests/page/descriptions: all of them right, so none may give a warning.
TEST(MarkupTest, RealisticDescriptionsGiveNoWarnings) {
  const std::filesystem::path folder =
      std::filesystem::path(MODPUBLISH_SOURCE_DIR) / "tests" / "page" / "descriptions";
  size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    std::ifstream file(entry.path(), std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    const std::string description = text.str();
    ++count;
    EXPECT_EQ(MarkupWarnings("en", "description", description), std::vector<std::string>{})
        << entry.path().filename().string();
    const Rendered rendered = Render(description);
    EXPECT_NE(rendered.html.find("<br>"), std::string::npos) << entry.path().filename().string();
  }
  EXPECT_GE(count, 20u) << "descriptions in " << folder.string();
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

// The texts of the warnings are the golden case markup_mistakes'.
TEST(MarkupTest, WarningsOfTextKeysOnlyAndTenAtMost) {
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

}  // namespace

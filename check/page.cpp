#include "check/page.h"

#include <cstdio>
#include <memory>
#include <string>

#include "check/finding.h"
#include "check/markup.h"
#include "check/steam_limits.h"
#include "console/console.h"

namespace {

constexpr size_t kDocumentTitleLimit = 80;

// No script may run and nothing may be fetched: pictures only from data:
// addresses (the embedded preview), or also from https: ones when the
// description's pictures may load; styles only from the page itself.
constexpr std::string_view kHeadStart =
    "<!DOCTYPE html>\n"
    "<html lang=\"en\">\n"
    "<head>\n"
    "<meta charset=\"utf-8\">\n"
    "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
    "script-src 'none'; img-src data:";
constexpr std::string_view kHeadEnd =
    "; style-src 'unsafe-inline'; base-uri 'none'; form-action 'none'\">\n"
    "<meta name=\"referrer\" content=\"no-referrer\">\n"
    "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";

// The Workshop's dark look and its item page's layout: the title over two
// columns, the preview and the description on the left (650 px), the facts
// on the right (295 px). Each language's title, notes and description
// carry the class "lang" and are shown only while that language's radio
// button is checked (the rules per language follow this sheet), so the
// switch needs no script. The markup's elements are styled by the
// description's own rules, as Steam's class names would.
constexpr std::string_view kStyle = R"css(body{margin:0;background:#1b2838;color:#acb2b8;
font:14px/1.5 "Motiva Sans",Arial,Helvetica,sans-serif}
.banner{background:#101822;color:#8f98a0;padding:8px 16px;font-size:12px}
.banner b{color:#c7d5e0;font-weight:normal}
.page{max-width:950px;margin:0 auto;padding:8px 16px 32px;position:relative}
a{color:#66c0f4}
.pick{position:absolute;opacity:0;width:1px;height:1px;margin:0}
.languages{margin:8px 0 4px;font-size:13px;color:#8f98a0}
.languages label{display:inline-block;margin:0 4px 4px 0;padding:3px 10px;cursor:pointer;
background:#2a3f5a;color:#c7d5e0;border-radius:2px}
.visibility_banner{background:#c06c20;color:#fff;padding:8px 12px;margin:8px 0;font-size:13px}
.lang{display:none}
.item_title{color:#fff;font-size:30px;font-weight:normal;margin:8px 0 12px;
overflow-wrap:anywhere}
.item{display:grid;grid-template-columns:minmax(0,650px) 295px;gap:0 5px;
justify-content:space-between;align-items:start}
@media (max-width:800px){.item{grid-template-columns:minmax(0,1fr)}}
.preview{width:100%;max-width:616px;aspect-ratio:1;max-height:360px;
background:#0e141b center/contain no-repeat;border:1px solid #2a3f5a;box-sizing:border-box}
.preview_none{display:flex;align-items:center;justify-content:center;text-align:center;
color:#8f98a0;font-size:12px;padding:8px;aspect-ratio:auto;height:120px}
.description_header{color:#fff;font-size:12px;text-transform:uppercase;letter-spacing:1px;
margin:20px 0 8px;padding-bottom:4px;border-bottom:1px solid #2a3f5a}
.side{background:rgba(0,0,0,.2);padding:12px 14px;font-size:13px}
.side h2{color:#fff;font-size:12px;font-weight:normal;text-transform:uppercase;
letter-spacing:1px;margin:0 0 8px}
.facts{margin:0}
.facts dt{color:#8f98a0;margin-top:8px}
.facts dd{margin:0;color:#c7d5e0;overflow-wrap:anywhere}
.note{background:#2a3f5a;color:#c7d5e0;padding:6px 10px;margin:8px 0;font-size:13px}
.note_error{background:#5c1f1f}
.description{overflow-wrap:anywhere;color:#acb2b8;font-size:14px;line-height:20px}
.description a{color:#ebebeb;text-decoration:underline}
.description small{color:#8f98a0;font-size:11px}
.bb_h1{font-size:20px;line-height:1.3;color:#5aa9d6;margin:12px 0 4px}
.bb_h2{font-size:18px;line-height:1.3;color:#fff;margin:10px 0 4px}
.bb_h3{font-size:15px;line-height:1.3;color:#fff;font-weight:bold;margin:8px 0 2px}
.bb_link_off{color:#ebebeb;border-bottom:1px dashed #8f98a0}
.bb_spoiler{background:#000;color:#000;padding:0 2px}
.bb_spoiler:hover{color:#fff}
.description ul,.description ol{margin:4px 0;padding-left:28px}
.description blockquote{border:1px solid #56707f;background:#121a25;margin:8px 0;
padding:8px 12px}
.description cite{display:block;font-style:normal;font-weight:bold;font-size:12px;color:#8f98a0;
margin-bottom:4px}
.description cite::before{content:"Originally posted by ";font-weight:normal}
.description cite::after{content:":";font-weight:normal}
.bb_code{font-family:Consolas,"DejaVu Sans Mono",monospace;white-space:pre-wrap;
background:#0e141b;padding:8px;margin:8px 0}
.bb_table{display:table;border-collapse:collapse;margin:8px 0}
.bb_table_equalcells{table-layout:fixed;width:100%}
.bb_table_tr{display:table-row}
.bb_table_th,.bb_table_td{display:table-cell;border:1px solid #4c5a67;padding:4px 8px}
.bb_table_noborder .bb_table_th,.bb_table_noborder .bb_table_td{border:none}
.bb_table_th{font-weight:bold;color:#fff}
.bb_img{display:inline-block;border:1px dashed #66c0f4;padding:6px 10px;margin:4px 0;
font-size:12px;color:#8f98a0}
.description img{max-width:min(630px,100%);vertical-align:top}
.bb_video{display:flex;flex-direction:column;justify-content:center;align-items:center;
aspect-ratio:16/9;max-width:640px;background:#000;border:1px solid #2a3f5a;margin:8px 0;
font-size:12px;text-align:center;padding:8px;box-sizing:border-box}
.bb_video_inline{display:inline-flex;width:320px;vertical-align:top}
.bb_video::before{content:"YouTube video (not loaded)";color:#fff;font-size:14px;
margin-bottom:6px}
.emoticon{display:inline-block;background:#2a3f5a;color:#c7d5e0;font-size:11px;
line-height:16px;padding:0 4px;border-radius:3px}
hr{border:none;border-top:1px solid #4c5a67}
.skipped{margin-top:24px}
.skipped h2{color:#fff;font-size:14px;font-weight:normal}
.skipped li{margin:2px 0}
)css";

const char* MediaType(PictureHeader::Format format) {
  switch (format) {
    case PictureHeader::Format::kPng:
      return "image/png";
    case PictureHeader::Format::kJpeg:
      return "image/jpeg";
    case PictureHeader::Format::kGif:
      return "image/gif";
    case PictureHeader::Format::kOther:
      break;
  }
  return nullptr;
}

// Base64 in pieces of 3 KiB of input, so a big picture is never copied
// whole.
void WriteBase64(std::string_view bytes, HtmlOutput& out) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string piece;
  for (size_t at = 0; at < bytes.size(); at += 3) {
    uint32_t group = static_cast<unsigned char>(bytes[at]) << 16;
    const size_t left = bytes.size() - at;
    if (left > 1) {
      group |= static_cast<unsigned char>(bytes[at + 1]) << 8;
    }
    if (left > 2) {
      group |= static_cast<unsigned char>(bytes[at + 2]);
    }
    piece += kDigits[(group >> 18) & 63];
    piece += kDigits[(group >> 12) & 63];
    piece += left > 1 ? kDigits[(group >> 6) & 63] : '=';
    piece += left > 2 ? kDigits[group & 63] : '=';
    if (piece.size() >= 4096) {
      out.Markup(piece);
      piece.clear();
    }
  }
  out.Markup(piece);
}

bool CanShowPreview(const PagePreview& preview) {
  return preview.present && !preview.bytes.empty() && MediaType(preview.format) != nullptr;
}

// Why the item would have no preview picture, or "" when it has one.
std::string PreviewProblem(const PagePreview& preview) {
  if (!preview.present) {
    return "No preview: steam_logo.png is missing or can't be read, and the publish fails at "
           "its last step";
  }
  if (kPreviewLimit.Refuses(preview.size)) {
    return "No preview: steam_logo.png is " + Bytes(preview.size) + ", and " +
           kPreviewLimit.Refusal();
  }
  if (!CanShowPreview(preview)) {
    return "No preview shown: steam_logo.png is not a PNG, JPEG or GIF picture";
  }
  return std::string();
}

void WriteFact(HtmlOutput& out, std::string_view name, std::string_view value) {
  out.Markup("<dt>");
  out.Text(name);
  out.Markup("</dt><dd>");
  out.Text(value);
  out.Markup("</dd>");
}

void WriteNote(HtmlOutput& out, size_t section, std::string_view text, bool error) {
  out.Markup(error ? "<div class=\"note note_error lang lang-" : "<div class=\"note lang lang-");
  out.Markup(std::to_string(section));
  out.Markup("\">");
  out.Text(text);
  out.Markup("</div>\n");
}

void WritePreview(const PageModel& model, HtmlOutput& out) {
  const std::string problem = PreviewProblem(model.preview);
  if (problem.empty()) {
    out.Markup("<div class=\"preview\" role=\"img\" aria-label=\"Preview picture\"></div>\n");
  } else {
    out.Markup("<div class=\"preview preview_none\">");
    out.Text(problem);
    out.Markup("</div>\n");
  }
}

// The right column: the item as the run leaves it, once for every language.
void WriteFacts(const PageModel& model, HtmlOutput& out) {
  out.Markup("<aside class=\"side\"><h2>The item after publishing</h2><dl class=\"facts\">");
  WriteFact(out, "Visibility",
            model.visibility == PageVisibility::kPrivate
                ? "Private: every publish run, an update too, leaves the item visible to you "
                  "alone. Make it public on its Workshop page once you have checked it"
                : "As it was before the publish, which leaves it unchanged");
  WriteFact(out, "Item",
            model.existingId == 0 ? std::string("new: created by the publish")
                                  : std::to_string(model.existingId) + ": updated by the publish");
  WriteFact(out, "Content",
            model.contentFolder
                ? Count(model.contentFiles, "file", "files") + ", " + Bytes(model.contentBytes)
                : std::string("none: no such folder"));
  std::string languages;
  for (const PageSection& section : model.sections) {
    languages += (languages.empty() ? "" : ", ") + std::string(section.language);
  }
  WriteFact(out, "Languages", languages.empty() ? "none" : languages);
  out.Markup("</dl></aside>\n");
}

void WriteSectionNotes(size_t index, const PageSection& section, HtmlOutput& out) {
  if (section.titleIsFallback) {
    WriteNote(out, index, "The section has no \"title\" key, so the publish sends \"No title\".",
              false);
  } else if (kTitleLimit.Refuses(section.title.size())) {
    WriteNote(out, index,
              kTitleLimit.Refusal() + ", and this one is " + Bytes(section.title.size()) +
                  ": the publish fails at this language.",
              true);
  }
  if (section.descriptionIsFallback) {
    WriteNote(out, index,
              "The section has no \"description\" key, so the publish sends \"No description\".",
              false);
  } else if (kDescriptionLimit.Refuses(section.description.size())) {
    WriteNote(out, index,
              kDescriptionLimit.Refusal() + ", and this one is " +
                  Bytes(section.description.size()) + ": the publish fails at this language.",
              true);
  }
}

// The radio buttons that pick a language come first, so that a rule of the
// style can reach everything after them ("#pick-1:checked ~ ..."); the
// labels that name the languages are where a reader clicks.
void WriteLanguageSwitch(const PageModel& model, HtmlOutput& out) {
  for (size_t i = 0; i < model.sections.size(); ++i) {
    out.Markup("<input type=\"radio\" name=\"language\" class=\"pick\" id=\"pick-");
    out.Markup(std::to_string(i));
    out.Markup(i == 0 ? "\" checked=\"\">\n" : "\">\n");
  }
}

void WriteLanguageLabels(const PageModel& model, HtmlOutput& out) {
  out.Markup("<nav class=\"languages\">Languages, in upload order: ");
  for (size_t i = 0; i < model.sections.size(); ++i) {
    const PageSection& section = model.sections[i];
    out.Markup("<label for=\"pick-");
    out.Markup(std::to_string(i));
    out.Markup("\" data-language=\"");
    out.Text(section.language);
    out.Markup("\">");
    out.Text(section.language);
    out.Markup(" [");
    out.Text(section.name);
    out.Markup("]</label>");
  }
  out.Markup("</nav>\n");
}

// The rules that show the language picked and mark its label.
void WriteLanguageRules(const PageModel& model, HtmlOutput& out) {
  for (size_t i = 0; i < model.sections.size(); ++i) {
    const std::string number = std::to_string(i);
    std::string rules = "#pick-";
    rules += number;
    rules += ":checked~.workshop .lang-";
    rules += number;
    rules += "{display:block}\n#pick-";
    rules += number;
    rules += ":checked~.workshop label[for=\"pick-";
    rules += number;
    rules += "\"]{background:#66c0f4;color:#fff}\n#pick-";
    rules += number;
    rules += ":focus-visible~.workshop label[for=\"pick-";
    rules += number;
    rules += "\"]{outline:2px solid #fff}\n";
    out.Markup(rules);
  }
}

void WriteSkipped(const PageModel& model, HtmlOutput& out) {
  if (model.skipped.empty()) {
    return;
  }
  out.Markup("<section class=\"skipped\">\n<h2>Sections skipped</h2>\n<ul>\n");
  for (const PageSkippedSection& skipped : model.skipped) {
    out.Markup("<li>[");
    out.Text(skipped.name);
    out.Markup("]");
    if (skipped.line != 0) {
      out.Text(" (line " + std::to_string(skipped.line) + ")");
    }
    out.Markup(": ");
    out.Text(skipped.reason);
    out.Markup("</li>\n");
  }
  out.Markup("</ul>\n</section>\n");
}

}  // namespace

void WritePage(const PageModel& model, HtmlOutput& out) {
  out.Markup(kHeadStart);
  out.Markup(model.loadPictures ? " https:" : "");
  out.Markup(kHeadEnd);
  out.Markup("<title>Workshop page preview");
  if (!model.sections.empty()) {
    out.Markup(": ");
    out.Text(Excerpt(model.sections.front().title, kDocumentTitleLimit));
  }
  out.Markup("</title>\n<style>\n");
  out.Markup(kStyle);
  WriteLanguageRules(model, out);
  if (CanShowPreview(model.preview)) {
    out.Markup(".preview{background-image:url(\"data:");
    out.Markup(MediaType(model.preview.format));
    out.Markup(";base64,");
    WriteBase64(model.preview.bytes, out);
    out.Markup("\")}\n");
  }
  out.Markup("</style>\n</head>\n<body>\n<div class=\"banner\">Workshop page preview of <b>");
  out.Text(model.folder);
  out.Markup(
      "</b>, written by modpublish-check: this is what publishing the folder would show. "
      "Nothing has been uploaded.</div>\n<div class=\"page\">\n");
  WriteLanguageSwitch(model, out);
  out.Markup("<div class=\"workshop\">\n");
  if (model.sections.size() > 1) {
    WriteLanguageLabels(model, out);
  }
  if (model.visibility == PageVisibility::kPrivate) {
    // As Steam marks an item that is not public, above everything.
    out.Markup(
        "<div class=\"visibility_banner\">This item is private: only you can see it.</div>\n");
  }
  for (size_t i = 0; i < model.sections.size(); ++i) {
    out.Markup("<h1 class=\"item_title lang lang-");
    out.Markup(std::to_string(i));
    out.Markup("\">");
    out.Text(model.sections[i].title);
    out.Markup("</h1>\n");
  }
  out.Markup("<div class=\"item\">\n<div class=\"main\">\n");
  WritePreview(model, out);
  for (size_t i = 0; i < model.sections.size(); ++i) {
    WriteSectionNotes(i, model.sections[i], out);
  }
  if (model.sections.empty()) {
    out.Markup("<div class=\"note note_error\">");
    out.Text(model.descriptionRead
                 ? "No section will be uploaded, so the item gets no title or description."
                 : "descript.ion can't be read, so modpublish stops before uploading anything.");
    out.Markup("</div>\n");
  } else {
    out.Markup("<div class=\"description_header\">Description</div>\n");
  }
  for (size_t i = 0; i < model.sections.size(); ++i) {
    const PageSection& section = model.sections[i];
    out.Markup("<div class=\"description lang lang-");
    out.Markup(std::to_string(i));
    out.Markup("\" data-language=\"");
    out.Text(section.language);
    out.Markup("\">");
    RenderMarkup(section.description, &out, nullptr, model.loadPictures);
    out.Markup("</div>\n");
  }
  out.Markup("</div>\n");
  WriteFacts(model, out);
  out.Markup("</div>\n");
  WriteSkipped(model, out);
  out.Markup("</div>\n</div>\n</body>\n</html>\n");
  out.Flush();
}

bool WritePageFile(const std::string& path, const PageModel& model) {
  struct Closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  std::unique_ptr<std::FILE, Closer> file(std::fopen(path.c_str(), "wb"));
  if (file == nullptr) {
    return false;
  }
  bool written = true;
  {
    HtmlOutput out([&](std::string_view html) {
      written = written && std::fwrite(html.data(), 1, html.size(), file.get()) == html.size();
    });
    WritePage(model, out);
  }
  return std::fclose(file.release()) == 0 && written;
}

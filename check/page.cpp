#include "check/page.h"

#include <cstdio>
#include <memory>

#include "check/mod_check.h"
#include "console/console.h"

namespace {

constexpr size_t kDocumentTitleLimit = 80;

// No script may run and nothing may be fetched: pictures only from data:
// addresses (the embedded preview), styles only from the page itself.
constexpr std::string_view kHead =
    "<!DOCTYPE html>\n"
    "<html lang=\"en\">\n"
    "<head>\n"
    "<meta charset=\"utf-8\">\n"
    "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
    "script-src 'none'; img-src data:; style-src 'unsafe-inline'; base-uri 'none'; "
    "form-action 'none'\">\n"
    "<meta name=\"referrer\" content=\"no-referrer\">\n"
    "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";

// The Workshop's dark look, and Steam's own class names for the markup.
constexpr std::string_view kStyle = R"(body{margin:0;background:#1b2838;color:#acb2b8;
font:14px/1.5 "Motiva Sans",Arial,Helvetica,sans-serif}
.banner{background:#101822;color:#8f98a0;padding:8px 16px;font-size:12px}
.banner b{color:#c7d5e0;font-weight:normal}
.page{max-width:940px;margin:0 auto;padding:8px 16px 32px}
nav{margin:8px 0;font-size:13px}
a{color:#66c0f4}
nav a{margin-right:12px;text-decoration:none}
.panel{background:#16202d;margin:16px 0;padding:16px 20px;border-top:3px solid #66c0f4}
.panel_language{color:#8f98a0;font-size:12px;text-transform:uppercase;letter-spacing:1px}
.panel_language .code{text-transform:none}
.item_title{color:#fff;font-size:26px;font-weight:normal;margin:4px 0 12px;
overflow-wrap:anywhere}
.item{display:flex;gap:20px;align-items:flex-start;margin-bottom:16px}
.preview{flex:none;width:220px;height:220px;background:#0e141b center/contain no-repeat;
border:1px solid #2a3f5a}
.preview_none{display:flex;align-items:center;justify-content:center;text-align:center;
color:#8f98a0;font-size:12px;padding:8px;box-sizing:border-box}
.facts{margin:0;display:grid;grid-template-columns:max-content 1fr;gap:4px 12px;font-size:13px}
.facts dt{color:#8f98a0}
.facts dd{margin:0;color:#c7d5e0}
.note{background:#2a3f5a;color:#c7d5e0;padding:6px 10px;margin:8px 0;font-size:13px}
.note_error{background:#5c1f1f}
.description{overflow-wrap:anywhere;color:#acb2b8}
.bb_h1{font-size:20px;color:#5aa9d6;margin:12px 0 4px}
.bb_h2{font-size:18px;color:#fff;margin:10px 0 4px}
.bb_h3{font-size:15px;color:#fff;font-weight:bold;margin:8px 0 2px}
.bb_link{color:#ebebeb;text-decoration:underline}
.bb_link_off{color:#ebebeb;border-bottom:1px dashed #8f98a0}
.bb_spoiler{background:#000;color:#000;padding:0 2px}
.bb_spoiler:hover{color:#fff}
.bb_blockquote{border:1px solid #56707f;background:#121a25;margin:8px 0;padding:8px 12px}
.bb_quoteauthor{font-size:12px;color:#8f98a0;margin-bottom:4px}
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
hr{border:none;border-top:1px solid #4c5a67}
.skipped li{margin:2px 0}
)";

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
  if (preview.size >= kPreviewLimit) {
    return "No preview: steam_logo.png is " + Count(preview.size, "byte", "bytes") +
           ", and Steam refuses previews of 1 MB (1048576 bytes) or more";
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

void WriteNote(HtmlOutput& out, std::string_view text, bool error) {
  out.Markup(error ? "<div class=\"note note_error\">" : "<div class=\"note\">");
  out.Text(text);
  out.Markup("</div>\n");
}

void WriteFacts(const PageModel& model, HtmlOutput& out) {
  const std::string problem = PreviewProblem(model.preview);
  if (problem.empty()) {
    out.Markup("<div class=\"preview\" role=\"img\" aria-label=\"Preview picture\"></div>");
  } else {
    out.Markup("<div class=\"preview preview_none\">");
    out.Text(problem);
    out.Markup("</div>");
  }
  out.Markup("<dl class=\"facts\">");
  WriteFact(out, "Visibility",
            "Private: every publish run, an update too, leaves the item visible to you alone. "
            "Make it public on its Workshop page once you have checked it");
  WriteFact(out, "Item",
            model.existingId == 0
                ? std::string("a new item, created by the publish")
                : "item " + std::to_string(model.existingId) + ", updated by the publish");
  WriteFact(out, "Content",
            model.contentFolder ? Count(model.contentFiles, "file", "files") + ", " +
                                      Count(model.contentBytes, "byte", "bytes")
                                : std::string("none: no such folder"));
  out.Markup("</dl>");
}

void WriteSection(const PageModel& model, const PageSection& section, HtmlOutput& out) {
  out.Markup("<section class=\"panel\" id=\"lang-");
  out.Text(section.name);
  out.Markup("\" data-language=\"");
  out.Text(section.language);
  out.Markup("\">\n<div class=\"panel_language\">");
  out.Text(section.language);
  out.Markup(" <span class=\"code\">[");
  out.Text(section.name);
  out.Markup("]</span></div>\n<h1 class=\"item_title\">");
  out.Text(section.title);
  out.Markup("</h1>\n<div class=\"item\">");
  WriteFacts(model, out);
  out.Markup("</div>\n");
  if (section.titleIsFallback) {
    WriteNote(out, "The section has no \"title\" key, so the publish sends \"No title\".", false);
  } else if (section.title.size() > kTitleLimit) {
    WriteNote(out,
              "Steam refuses titles over 128 bytes, and this one is " +
                  Count(section.title.size(), "byte", "bytes") +
                  ": the publish fails at this language.",
              true);
  }
  if (section.descriptionIsFallback) {
    WriteNote(out,
              "The section has no \"description\" key, so the publish sends \"No description\".",
              false);
  } else if (section.description.size() > kDescriptionLimit) {
    WriteNote(out,
              "Steam refuses descriptions over 8000 bytes, and this one is " +
                  Count(section.description.size(), "byte", "bytes") +
                  ": the publish fails at this language.",
              true);
  }
  out.Markup("<div class=\"description\">");
  RenderMarkup(section.description, &out, nullptr);
  out.Markup("</div>\n</section>\n");
}

void WriteSkipped(const PageModel& model, HtmlOutput& out) {
  if (model.skipped.empty()) {
    return;
  }
  out.Markup("<section class=\"panel skipped\">\n<h2>Sections skipped</h2>\n<ul>\n");
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
  out.Markup(kHead);
  out.Markup("<title>Workshop page preview");
  if (!model.sections.empty()) {
    out.Markup(": ");
    out.Text(Excerpt(model.sections.front().title, kDocumentTitleLimit));
  }
  out.Markup("</title>\n<style>\n");
  out.Markup(kStyle);
  if (CanShowPreview(model.preview)) {
    // Embedded once, shown in every panel.
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
  if (!model.sections.empty()) {
    out.Markup("<nav>Languages, in upload order:");
    for (const PageSection& section : model.sections) {
      out.Markup(" <a href=\"#lang-");
      out.Text(section.name);
      out.Markup("\">");
      out.Text(section.language);
      out.Markup("</a>");
    }
    out.Markup("</nav>\n");
  }
  for (const PageSection& section : model.sections) {
    WriteSection(model, section, out);
  }
  if (model.sections.empty()) {
    out.Markup("<section class=\"panel\">\n<div class=\"item\">");
    WriteFacts(model, out);
    out.Markup("</div>\n");
    WriteNote(out,
              model.descriptionRead
                  ? "No section will be uploaded, so the item gets no title or description."
                  : "descript.ion can't be read, so modpublish stops before uploading anything.",
              true);
    out.Markup("</section>\n");
  }
  WriteSkipped(model, out);
  out.Markup("</div>\n</body>\n</html>\n");
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

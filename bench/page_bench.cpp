// The benchmark of modpublish-check's page (--page), run by scripts/bench.sh:
// how long the page of a real-sized description takes to write, how the
// time and memory of a whole `modpublish-check --page` run grow with a
// description of 25, 50 and 100 MB, the most HTML the markup gives per
// byte of description among hostile and random texts, and what a
// description of every language kept in files of their own costs to read,
// check and page. It prints tables; it checks nothing about the figures.
// --only runs one of the four.
//
//   page_bench [--tool PATH] [--scratch DIR] [--only html|small|runs|files]
//
// PATH is the built modpublish-check, by default the one beside this
// program; DIR holds the generated mod folders (default: a new folder under
// $TMPDIR or /tmp, removed at the end).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench/child_process.h"
#include "check/description_check.h"
#include "check/markup.h"
#include "check/page.h"
#include "console/console.h"
#include "description/description_file.h"
#include "description/language.h"
#include "description/reader.h"
#include "description/upload_plan.h"

namespace {

namespace fs = std::filesystem;

constexpr double kMB = 1e6;  // every MB here is 10^6 bytes

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "page_bench: %s\n", what.c_str());
  std::exit(1);
}

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// About 700 bytes of a real description's markup: every kind of tag, text
// in two scripts, characters to escape. Repeated, it makes descriptions of
// any size that stay correct markup.
const std::string kBlock =
    "[h1]Lanterns at Night[/h1]Adds [b]oil lanterns[/b] along village roads & lets them light "
    "up at dusk. [i]Lanterns burn out by dawn[/i] and can be refilled at any general store."
    "[list][*]Works with existing saves[*]No new items to craft[*][url=https://example.com/"
    "lanterns?tab=1&lang=en]Forum thread[/url][/list][h2]Фонари в ночи[/h2]Добавляет "
    "масляные фонари вдоль деревенских дорог.[quote=Mira \"M\" Halden]Lovely at night[/quote]"
    "[table equalcells=1][tr][th]Fuel[/th][th]Hours[/th][/tr][tr][td]Oil[/td][td]8[/td][/tr]"
    "[/table][code]lantern.fuel = 10 < 12[/code][spoiler]They go out at dawn[/spoiler]"
    "[img]https://example.com/lantern.png[/img][hr][/hr] ";

// Prose without markup or anything to escape: one run of text as long as
// the description, the case where nothing breaks the text into pieces.
const std::string kPlainBlock =
    "Adds oil lanterns along village roads and lets them light up at dusk. Lanterns burn out "
    "by dawn and can be refilled at any general store. Works with existing saves. ";

std::string Description(size_t bytes, const std::string& block = kBlock) {
  std::string text;
  text.reserve(bytes + block.size());
  while (text.size() < bytes) {
    text += block;
  }
  return text;
}

// A mod folder whose [en] description is `description`, and whose preview
// is a small PNG.
void WriteMod(const fs::path& folder, const std::string& description) {
  fs::create_directories(folder / "data");
  std::ofstream(folder / "data" / "lanterns.cfg") << "fuel = oil\n";
  static const unsigned char kPng[] = {
      0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48,
      0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x00, 0x00, 0x00,
      0x00, 0x3A, 0x7E, 0x9B, 0x55, 0x00, 0x00, 0x00, 0x0A, 0x49, 0x44, 0x41, 0x54, 0x78,
      0x9C, 0x63, 0x60, 0x00, 0x00, 0x00, 0x02, 0x00, 0x01, 0x48, 0xAF, 0xA4, 0x71, 0x00,
      0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};
  std::ofstream(folder / "steam_logo.png", std::ios::binary)
      .write(reinterpret_cast<const char*>(kPng), sizeof kPng);
  std::ofstream file(folder / "descript.ion", std::ios::binary);
  file << "[en]\r\ntitle = Lanterns at Night\r\ndescription = " << description
       << "\r\nversion = 1.0\r\n";
  if (!file) {
    Fail("could not write " + (folder / "descript.ion").string());
  }
}

PageModel ModelOf(const std::string& description) {
  PageModel model;
  model.folder = "my_mod";
  model.descriptionRead = true;
  model.sections.push_back(
      PageSection{"en", "english", "Lanterns at Night", description, false, false});
  model.preview.present = true;
  static const std::string preview = "\x89PNG\r\n\x1A\n" + std::string(2040, 'x');
  model.preview.bytes = preview;
  model.preview.size = preview.size();
  model.preview.format = PictureHeader::Format::kPng;
  model.contentFolder = true;
  model.contentFiles = 3;
  model.contentBytes = 10000;
  return model;
}

// The page of a 7 KB description, written in this process: to memory, and
// to a file.
void BenchSmallPage(const fs::path& scratch) {
  const std::string description = Description(7000);
  const PageModel model = ModelOf(description);
  constexpr int kRuns = 501;
  std::vector<double> inMemory;
  std::vector<double> toFile;
  size_t pageBytes = 0;
  const std::string path = (scratch / "small_page.html").string();
  for (int i = 0; i < kRuns; ++i) {
    std::string html;
    auto start = std::chrono::steady_clock::now();
    {
      HtmlOutput out([&html](std::string_view block) { html += block; });
      WritePage(model, out);
    }
    inMemory.push_back(Since(start));
    pageBytes = html.size();
    start = std::chrono::steady_clock::now();
    if (!WritePageFile(path, model)) {
      Fail("could not write " + path);
    }
    toFile.push_back(Since(start));
  }
  std::printf("Page of a %.1f KB description (%zu-byte page), in this process, median of %d:\n\n",
              static_cast<double>(description.size()) / 1000, pageBytes, kRuns);
  std::printf("| written             |     time |\n");
  std::printf("|---------------------|----------|\n");
  std::printf("| to memory           | %5.3f ms |\n", Median(inMemory) * 1e3);
  std::printf("| to a file           | %5.3f ms |\n\n", Median(toFile) * 1e3);
}

size_t HtmlBytes(const std::string& text) {
  size_t bytes = 0;
  HtmlOutput out([&bytes](std::string_view block) { bytes += block.size(); });
  RenderMarkup(text, &out, nullptr);
  out.Flush();
  return bytes;
}

// The most HTML per byte of description: every tag alone, opened and
// closed, addresses full of bytes that need escaping, and random runs of
// markup pieces (fixed seed, so every run tries the same texts).
void BenchHtmlPerByte() {
  const std::vector<std::string> pieces = {"[b]",      "[/b]",      "[h1]",
                                           "[/h1]",    "[list]",    "[*]",
                                           "[/list]",  "[quote=",   "[quote]",
                                           "[/quote]", "[table]",   "[tr]",
                                           "[td]",     "[th]",      "[/td]",
                                           "[url=",    "[url]",     "[/url]",
                                           "[img]",    "[/img]",    "[previewyoutube=",
                                           ";inline]", ";full]",    "[/previewyoutube]",
                                           "[code]",   "[/code]",   "[noparse]",
                                           "[hr]",     "[spoiler]", "]",
                                           "http://",  "https://",  "&",
                                           "&a",       "\"",        "'",
                                           "<",        "\xFF",      "\n",
                                           ":abc:",    "x",         " ",
                                           "[/i]",     "[center]"};
  std::vector<std::string> texts;
  for (const std::string& piece : pieces) {
    texts.push_back(piece);
    std::string many;
    for (int i = 0; i < 100; ++i) {
      many += piece;
    }
    texts.push_back(many);
    texts.push_back("[url]http://" + many + "[/url]");
    texts.push_back("[url=" + many + "]" + many + "[/url]");
    texts.push_back("[img]https://" + many + "[/img]");
    texts.push_back("http://" + many);
  }
  std::mt19937 random(30);
  constexpr int kRandomTexts = 200000;
  for (int i = 0; i < kRandomTexts; ++i) {
    std::string text;
    const size_t count = 1 + random() % 12;
    for (size_t j = 0; j < count; ++j) {
      text += pieces[random() % pieces.size()];
    }
    texts.push_back(text);
  }
  double worst = 0;
  std::string worstText;
  double sumHtml = 0;
  double sumText = 0;
  for (const std::string& text : texts) {
    const double html = static_cast<double>(HtmlBytes(text));
    sumHtml += html;
    sumText += static_cast<double>(text.size());
    if (html / static_cast<double>(text.size()) > worst) {
      worst = html / static_cast<double>(text.size());
      worstText = text;
    }
  }
  const std::string real = Description(7000);
  std::printf("HTML per byte of description (bound: %zu), %zu texts:\n\n", kMaxHtmlPerByte,
              texts.size());
  std::printf("| texts                                   | bytes of HTML per byte |\n");
  std::printf("|-----------------------------------------|------------------------|\n");
  std::printf("| worst of all, %-25s | %22.2f |\n", ("\"" + Excerpt(worstText, 20) + "\"").c_str(),
              worst);
  std::printf("| all together                            | %22.2f |\n", sumHtml / sumText);
  std::printf("| the 7 KB description of real markup     | %22.2f |\n\n",
              static_cast<double>(HtmlBytes(real)) / static_cast<double>(real.size()));
}

struct RunFigures {
  double seconds = 0;
  double cpuSeconds = 0;
  double peakBytes = 0;
};

// `modpublish-check [--page FILE] mod` in a fresh process: median time,
// largest peak resident memory.
RunFigures CheckRun(const std::string& tool, const fs::path& work, bool page, int runs) {
  std::vector<std::string> argv = {tool};
  if (page) {
    argv.push_back("--page");
    argv.push_back((work / "page.html").string());
  }
  argv.push_back("mod");
  ChildOptions options;
  options.workDir = work.string();
  RunFigures figures;
  std::vector<double> seconds;
  std::vector<double> cpuSeconds;
  for (int i = 0; i < runs; ++i) {
    const ChildRun run = RunChild(argv, options);
    // 1 is a finding: Steam refuses descriptions over 8000 bytes.
    if (run.status != 0 && run.status != 1) {
      Fail("modpublish-check ended with status " + std::to_string(run.status));
    }
    seconds.push_back(run.seconds);
    cpuSeconds.push_back(run.cpuSeconds);
    figures.peakBytes = std::max(figures.peakBytes, run.maxRssKiB * 1024.0);
  }
  figures.seconds = Median(seconds);
  figures.cpuSeconds = Median(cpuSeconds);
  return figures;
}

void BenchWholeRuns(const std::string& tool, const fs::path& scratch) {
  std::printf(
      "modpublish-check on a mod whose description is one line of repeated markup (or of\n"
      "prose without markup), fresh processes. time: wall, median; CPU: user + system,\n"
      "median; peak: the largest ru_maxrss; x file: peak / descript.ion's size; page\n"
      "adds: the run with --page less the same run without.\n\n");
  std::printf(
      "| description | text   |    page | runs |        time |         CPU |      peak |  x file |"
      " page adds time |  page adds CPU | page adds peak |\n");
  std::printf(
      "|-------------|--------|---------|------|-------------|-------------|-----------|---------|"
      "----------------|----------------|----------------|\n");
  struct Case {
    size_t bytes;
    int runs;
    bool plain = false;  // prose without markup
  };
  double perMB25 = 0;
  double perMB100 = 0;
  for (const Case& test : {Case{7000, 51}, Case{25000000, 5}, Case{50000000, 5}, Case{100000000, 5},
                           Case{100000000, 5, true}}) {
    const fs::path work = scratch / ("run_" + std::to_string(test.bytes));
    WriteMod(work / "mod", Description(test.bytes, test.plain ? kPlainBlock : kBlock));
    const double fileBytes = static_cast<double>(fs::file_size(work / "mod" / "descript.ion"));
    const RunFigures without = CheckRun(tool, work, false, test.runs);
    const RunFigures with = CheckRun(tool, work, true, test.runs);
    const double pageBytes = static_cast<double>(fs::file_size(work / "page.html"));
    const bool small = test.bytes < 1000000;
    const double unit = small ? 1000 : kMB;
    const char* unitName = small ? "KB" : "MB";
    std::printf(
        "| %8.2f %s | %-6s | %5.0f %s | %4d | %8.2f ms | %8.2f ms | %6.1f MB | %6.3fx |"
        " %11.2f ms | %11.2f ms | %11.1f MB |\n",
        fileBytes / unit, unitName, test.plain ? "prose" : "markup", pageBytes / unit, unitName,
        test.runs, with.seconds * 1e3, with.cpuSeconds * 1e3, with.peakBytes / kMB,
        with.peakBytes / fileBytes, (with.seconds - without.seconds) * 1e3,
        (with.cpuSeconds - without.cpuSeconds) * 1e3, (with.peakBytes - without.peakBytes) / kMB);
    const double perMB = with.cpuSeconds / (fileBytes / kMB);
    if (test.bytes == 25000000) {
      perMB25 = perMB;
    } else if (test.bytes == 100000000 && !test.plain) {
      perMB100 = perMB;
    }
    fs::remove_all(work);
  }
  std::printf("\nCPU time per MB of markup, 100 MB against 25 MB: %.2fx (1.00x is linear)\n",
              perMB100 / perMB25);
}

// CPU seconds this process has used so far.
double CpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

// A real description of `bytes` bytes as an author keeps it in a file of
// its own: many lines of markup, with CR LF line ends.
std::string DescriptionFileText(size_t bytes) {
  static const std::string kLines =
      "[h2]Lanterns[/h2]\r\nOil lanterns line the roads and [b]light up at dusk[/b].\r\n"
      "[list]\r\n[*] Refill them at any store\r\n[*] [url=https://example.com/a]Forum[/url]\r\n"
      "[/list]\r\n\r\n";
  std::string text;
  while (text.size() + kLines.size() <= bytes) {
    text += kLines;
  }
  // The rest in a line of prose, so the text stays correct markup.
  return text + kPlainBlock.substr(0, bytes - text.size());
}

// A descript.ion of every language code, each section naming a description
// file of 8000 bytes: read, checked and made into a page in this process,
// each step timed alone (CPU, median of 51), then whole
// `modpublish-check --page` runs.
void BenchDescriptionFiles(const std::string& tool, const fs::path& scratch) {
  const fs::path work = scratch / "description_files";
  const fs::path mod = work / "mod";
  WriteMod(mod, "x");
  std::ofstream ion(mod / "descript.ion", std::ios::binary);
  fs::create_directories(mod / "texts");
  const std::string text = DescriptionFileText(8000);
  size_t sections = 0;
  for (const KnownLanguage& language : KnownLanguages()) {
    const std::string code(language.code);
    ion << "[" << code << "]\r\ntitle = Lanterns at Night\r\ndescription_file = texts/" << code
        << ".txt\r\n";
    std::ofstream(mod / "texts" / (code + ".txt"), std::ios::binary) << text;
    ++sections;
  }
  ion.close();
  const std::string folder = mod.string();
  const std::string path = (mod / "descript.ion").string();
  constexpr int kRuns = 51;
  std::vector<double> read;
  std::vector<double> checked;
  std::vector<double> paged;
  size_t pageBytes = 0;
  for (int i = 0; i < kRuns; ++i) {
    double start = CpuSeconds();
    ModDescription record;
    if (LoadModDescription(path, record) != FileStatus::kRead ||
        LoadDescriptionFiles(record, folder, true) != nullptr) {
      Fail("could not read " + path);
    }
    read.push_back(CpuSeconds() - start);

    start = CpuSeconds();
    DescriptionCheck check;
    ModDescription checkedRecord;
    LoadModDescription(path, checkedRecord, &check);
    LoadDescriptionFiles(checkedRecord, folder, false);
    check.Conclude(checkedRecord, 0);
    if (!check.diagnostics().empty() || !check.fileFindings().empty()) {
      Fail("the benchmark's description has findings");
    }
    checked.push_back(CpuSeconds() - start);

    start = CpuSeconds();
    PageModel model = ModelOf("");
    model.sections.clear();
    for (const PlannedSection& section : UploadPlan(record)) {
      model.sections.push_back(PageSection{section.name, section.language, section.title.Sent(),
                                           section.description.Sent(), false, false});
    }
    std::string html;
    {
      HtmlOutput out([&html](std::string_view block) { html += block; });
      WritePage(model, out);
    }
    pageBytes = html.size();
    paged.push_back(CpuSeconds() - start);
  }
  const RunFigures whole = CheckRun(tool, work, true, kRuns);
  std::printf(
      "\n%zu sections, each naming a description file of %zu bytes (%zu lines of markup), "
      "CPU time, median of %d:\n\n",
      sections, text.size(), static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1,
      kRuns);
  std::printf("| step                                        |      CPU |\n");
  std::printf("|---------------------------------------------|----------|\n");
  std::printf("| read: descript.ion and the files            | %5.2f ms |\n", Median(read) * 1e3);
  std::printf("| check: the same read with the findings      | %5.2f ms |\n",
              Median(checked) * 1e3);
  std::printf("| page: the %6zu-byte page, to memory       | %5.2f ms |\n", pageBytes,
              Median(paged) * 1e3);
  std::printf("| whole `modpublish-check --page` process     | %5.2f ms |\n",
              whole.cpuSeconds * 1e3);
  fs::remove_all(work);
}

}  // namespace

int main(int argc, char** argv) {
  std::string tool;
  std::string scratchOption;
  std::string only;
  const char* usage =
      "usage: page_bench [--tool PATH] [--scratch DIR] [--only html|small|runs|files]";
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--tool") == 0) {
      tool = argv[i + 1];
    } else if (std::strcmp(argv[i], "--scratch") == 0) {
      scratchOption = argv[i + 1];
    } else if (std::strcmp(argv[i], "--only") == 0) {
      only = argv[i + 1];
    } else {
      Fail(usage);
    }
  }
  if (argc % 2 == 0) {
    Fail(usage);
  }
  if (tool.empty()) {
    tool = (fs::path(OwnPath()).parent_path() / "modpublish-check").string();
  }
  const fs::path scratch = ScratchFolder(scratchOption, "page_bench");
  if (scratch.empty()) {
    Fail("could not make a scratch folder");
  }
  std::printf("modpublish-check page benchmark, tool %s\n\n", tool.c_str());
  if (only.empty() || only == "html") {
    BenchHtmlPerByte();
  }
  if (only.empty() || only == "small") {
    BenchSmallPage(scratch);
  }
  if (only.empty() || only == "runs") {
    BenchWholeRuns(tool, scratch);
  }
  if (only.empty() || only == "files") {
    BenchDescriptionFiles(tool, scratch);
  }
  if (scratchOption.empty()) {
    fs::remove_all(scratch);
  }
  return 0;
}

// The benchmark of modpublish-check's walk through a mod folder, run by
// scripts/bench.sh: CheckContent, which lists every folder, looks up every
// entry and opens every file for reading once, on a tree of 200,000 files,
// against `du -s` on the same tree (which lists and looks up, and opens
// nothing). It prints a table; it checks nothing about the figures.
//
//   content_bench [--scratch DIR] [--runs N]
//
// DIR holds the generated tree (default: a new folder under $TMPDIR or
// /tmp, removed at the end); it is made once and kept between runs that
// name it. N runs of each (default 7), interleaved, after one run of each
// that warms the system's caches; the figures are medians.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/child_process.h"
#include "check/content.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFolders = 400;
constexpr int kFilesPerFolder = 500;  // 200,000 files

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "content_bench: %s\n", what.c_str());
  std::exit(1);
}

// Folders of files as a mod holds them: two levels, small files of a few
// sizes. Skipped when the tree is there from an earlier run.
void MakeTree(const fs::path& root) {
  if (fs::exists(root.parent_path() / "made")) {
    return;
  }
  const std::string bytes(300, 'x');
  for (int folder = 0; folder < kFolders; ++folder) {
    const fs::path path =
        root / ("group" + std::to_string(folder / 20)) / ("folder" + std::to_string(folder));
    fs::create_directories(path);
    for (int file = 0; file < kFilesPerFolder; ++file) {
      std::ofstream out(path / ("file" + std::to_string(file) + ".dat"), std::ios::binary);
      out.write(bytes.data(), static_cast<std::streamsize>(file % 300));
      if (!out) {
        Fail("can't write " + path.string());
      }
    }
  }
  std::ofstream(root.parent_path() / "made") << "made\n";
}

double Seconds(std::chrono::steady_clock::duration duration) {
  return std::chrono::duration<double>(duration).count();
}

}  // namespace

int main(int argc, char** argv) {
  std::string scratch;
  int runs = 7;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--scratch") == 0) {
      scratch = argv[i + 1];
    } else if (std::strcmp(argv[i], "--runs") == 0) {
      runs = std::atoi(argv[i + 1]);
    } else {
      Fail(std::string("unknown option ") + argv[i]);
    }
  }
  const bool keep = !scratch.empty();
  const std::string folder = ScratchFolder(scratch, "content-bench-");
  if (folder.empty() || runs < 1) {
    Fail("no scratch folder, or no runs");
  }
  const fs::path root = fs::path(folder) / "mod";
  std::printf("Making %d files in %d folders...\n", kFolders * kFilesPerFolder, kFolders);
  std::fflush(stdout);
  MakeTree(root);

  std::vector<double> walks;
  std::vector<double> dus;
  ContentCheck check;
  for (int run = 0; run <= runs; ++run) {
    const auto start = std::chrono::steady_clock::now();
    check = CheckContent(root.string());
    const double walk = Seconds(std::chrono::steady_clock::now() - start);
    const ChildRun du = RunChild({"/usr/bin/du", "-s", root.string()}, ChildOptions{});
    if (du.status != 0) {
      Fail("du -s failed");
    }
    if (run > 0) {  // the first warms the caches
      walks.push_back(walk);
      dus.push_back(du.seconds);
    }
  }
  if (!check.diagnostics.empty()) {
    Fail("the walk found something: " + check.diagnostics[0].message);
  }
  const double walk = Median(walks);
  const double du = Median(dus);
  std::printf("\nThe walk of %llu files (%llu bytes) against du -s, median of %d runs each:\n\n",
              static_cast<unsigned long long>(check.files),
              static_cast<unsigned long long>(check.bytes), runs);
  std::printf("| what                      |     time |\n");
  std::printf("|---------------------------|----------|\n");
  std::printf("| CheckContent (opens files) | %6.0f ms |\n", walk * 1000);
  std::printf("| du -s                      | %6.0f ms |\n", du * 1000);
  std::printf("| ratio                      | %7.2fx |\n", walk / du);
  if (!keep) {
    std::error_code error;
    fs::remove_all(folder, error);
  }
  return 0;
}

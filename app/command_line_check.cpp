#include "app/command_line_check.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/mod_paths.h"
#include "check/steam_limits.h"
#include "console/console.h"

namespace {

// How much of an argument a message shows, and how many path candidates.
constexpr size_t kShownArgumentBytes = 120;
constexpr size_t kShownCandidates = 5;

std::string Shown(std::string_view argument) { return Excerpt(argument, kShownArgumentBytes); }
std::string Quoted(std::string_view argument) { return "\"" + Shown(argument) + "\""; }

bool IsSilent(const char* argument) { return std::strcmp(argument, "-s") == 0; }

// `"a"`, `"a" and "b"`, `"a", "b" and "c"`; past kShownCandidates, how many
// more.
std::string ListOf(const std::vector<const char*>& arguments) {
  std::string list;
  const size_t shown = std::min(arguments.size(), kShownCandidates);
  for (size_t i = 0; i < shown; ++i) {
    list += i == 0 ? "" : i + 1 == arguments.size() ? " and " : ", ";
    list += Quoted(arguments[i]);
  }
  if (shown < arguments.size()) {
    list += " and " + std::to_string(arguments.size() - shown) + " more";
  }
  return list;
}

std::string SeveralPaths(const std::vector<const char*>& paths, const char* used) {
  std::string message = "modpublish takes " + std::to_string(paths.size()) +
                        " arguments for the mod folder, " + ListOf(paths) +
                        ", and uses the last one, " + Quoted(used) + ".";
  std::vector<const char*> options;
  std::string joined;
  size_t words = 0;
  for (const char* path : paths) {
    if (*path == '-') {
      options.push_back(path);
    } else {
      joined += (words++ == 0 ? "" : " ") + std::string(path);
    }
  }
  if (!options.empty()) {
    message += " " + ListOf(options) + (options.size() == 1 ? " is no option" : " are no options") +
               " of modpublish (it knows -s, -k, -c, -u and -h), so it counts as a path too.";
  }
  return message + (words > 1 ? " If they are one path that holds spaces, put it in double "
                                "quotes, as one argument: " +
                                    Quoted(joined)
                              : std::string(" Give the mod folder alone"));
}

}  // namespace

std::vector<Diagnostic> CheckCommandLine(const RunSettings& settings, ParseOutcome outcome,
                                         bool namesHoldQuotes) {
  std::vector<Diagnostic> findings;
  auto add = [&findings](std::string message) {
    findings.push_back(Diagnostic{0, FindingKind::kCommandLine, std::move(message), 0});
  };
  if (outcome == ParseOutcome::kBadItemId) {
    add(BadItemIdMessage(settings.badItemId) + "; modpublish stops there, before reading anything");
  }
  if (settings.changeNote != nullptr &&
      kChangeNoteLimit.Refuses(std::strlen(settings.changeNote))) {
    add("the change note given with -c has " + std::to_string(std::strlen(settings.changeNote)) +
        " bytes; " + kChangeNoteLimit.Refusal() +
        ", so modpublish stops before uploading anything. Shorten it");
  }
  // "-s" silences the run wherever it stands, and is a path candidate as
  // well: the others are what can be meant as the path.
  std::vector<const char*> paths;
  for (const char* candidate : settings.pathCandidates) {
    if (!IsSilent(candidate)) {
      paths.push_back(candidate);
    }
  }
  if (IsSilent(settings.contentDir)) {
    add("\"-s\" is the last argument modpublish takes for a path, so it is the mod folder: "
        "modpublish reads " +
        Quoted(ModFilePath("-s", "descript.ion")) + " and publishes nothing. " +
        (paths.empty() ? "Give the mod folder after -s" : "Put -s before the path"));
  }
  if (paths.size() > 1) {
    add(SeveralPaths(paths, settings.contentDir));
  }
  const auto quoted = std::find_if(paths.begin(), paths.end(), [](const char* path) {
    return std::strchr(path, '"') != nullptr;
  });
  if (!namesHoldQuotes && quoted != paths.end()) {
    // The runtime reads \" inside quotes as a quote of the argument, and
    // the argument then runs on to the next quote or the line's end.
    const std::string_view path(*quoted);
    const size_t quote = path.find('"');
    const std::string before = Shown(path.substr(0, quote));
    const std::string after = Shown(path.substr(quote + 1));
    add("the path " + Shown(path) +
        " holds a double quote, which no Windows file or folder name can: it was typed as \"" +
        before + "\\\"" + after +
        ", where the backslash before the closing quote makes the quote part of the path. "
        "Drop that backslash: \"" +
        before + "\"" + after);
  }
  return findings;
}

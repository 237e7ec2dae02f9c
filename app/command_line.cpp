#include "app/command_line.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>

#include "console/console.h"

#ifndef MODPUBLISH_VERSION
#define MODPUBLISH_VERSION "0.0.0"
#endif

ParseOutcome ParseCommandLine(int argc, const char* const* argv, RunSettings& settings) {
  if (argc < 2) {
    return ParseOutcome::kUsage;
  }
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    if (std::strcmp(argument, "-s") == 0) {
      settings.verbose = false;  // and it is a path candidate all the same
    }
    if (std::strcmp(argument, "-h") == 0) {
      return ParseOutcome::kUsage;
    }
    if (std::strcmp(argument, "-k") == 0) {
      settings.keepVisibility = true;
      continue;
    }
    if (std::strcmp(argument, "-c") == 0) {
      if (i + 1 == argc) {
        return ParseOutcome::kUsage;
      }
      settings.changeNote = argv[++i];
      continue;
    }
    if (std::strcmp(argument, "-u") == 0) {
      if (i + 1 == argc) {
        return ParseOutcome::kUsage;
      }
      const char* value = argv[++i];
      if (!ParseItemId(value, settings.existingId) && settings.badItemId == nullptr) {
        settings.badItemId = value;
      }
      continue;
    }
    // Everything else is a path candidate: a plain path, "-s", and any
    // option the tool doesn't know, unreported.
    settings.pathCandidates.push_back(argument);
    settings.contentDir = argument;
  }
  if (settings.contentDir == nullptr) {
    return ParseOutcome::kUsage;
  }
  return settings.badItemId != nullptr ? ParseOutcome::kBadItemId : ParseOutcome::kRun;
}

namespace {

// How much of a bad "-u" value a message shows: enough to recognise it.
constexpr size_t kShownValueBytes = 80;

// The item's page addresses, up to the query: the one modpublish prints
// after a run, and the Workshop's own form of it, which Steam's pages link.
constexpr std::string_view kPageAddresses[] = {"steamcommunity.com/sharedfiles/filedetails/?",
                                               "steamcommunity.com/workshop/filedetails/?"};

bool ParseDigits(std::string_view digits, int64_t& id) {
  if (digits.empty()) {
    return false;
  }
  int64_t value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9' || value > (INT64_MAX - (c - '0')) / 10) {
      return false;
    }
    value = value * 10 + (c - '0');
  }
  id = value;
  return true;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

bool ParseItemId(std::string_view text, int64_t& id) {
  const std::string_view kBlanks = " \t\r\n";
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) {
    return false;
  }
  text = text.substr(first, text.find_last_not_of(kBlanks) + 1 - first);
  for (std::string_view scheme : {"https://", "http://"}) {
    if (!StartsWith(text, scheme)) {
      continue;
    }
    text.remove_prefix(scheme.size());
    const std::string_view* address =
        std::find_if(std::begin(kPageAddresses), std::end(kPageAddresses),
                     [text](std::string_view page) { return StartsWith(text, page); });
    if (address == std::end(kPageAddresses)) {
      return false;
    }
    text.remove_prefix(address->size());
    // The query's fields; exactly one of them is the id.
    std::string_view digits;
    bool seen = false;
    while (true) {
      const size_t end = text.find('&');
      const std::string_view field = text.substr(0, end);
      if (StartsWith(field, "id=")) {
        if (seen) {
          return false;
        }
        seen = true;
        digits = field.substr(3);
      }
      if (end == std::string_view::npos) {
        break;
      }
      text.remove_prefix(end + 1);
    }
    // No item has id 0: an address with it names no page.
    int64_t value = 0;
    if (!seen || !ParseDigits(digits, value) || value == 0) {
      return false;
    }
    id = value;
    return true;
  }
  return ParseDigits(text, id);
}

std::string BadItemIdMessage(const char* value) {
  return "\"" + Excerpt(value, kShownValueBytes) +
         "\" is not an item id: give -u the item's number (such as 917) or its page address "
         "(https://steamcommunity.com/sharedfiles/filedetails/?id=917)";
}

void PrintUsage(const char* programName) {
  Print("modpublish %s - publishes a game mod to the Steam Workshop\n", MODPUBLISH_VERSION);
  Print("Made by the modpublish developers\n");
  Print("\n");
  Print("Usage: %s [-s] [-k] [-c <note>] [-u <steamfileid>] <path>\n", programName);
  Print("    -s - silent mode, only error is printed\n");
  Print("    -k - keep the visibility of an existing mod, instead of making it private\n");
  Print("    -c - change note of this upload, instead of \"initial commit\" or \"update\"\n");
  Print("    -u - update existing mod, instead of uploading a new one\n");
  Print("    <path> is a directory that contains:\n");
  Print("        * descript.ion - ini-style description of mod, used both by game and this tool\n");
  Print("        * steam_logo.png - square PNG image of size <1Mb\n");
  Print("        * ... and your mod data, of course :3\n");
}

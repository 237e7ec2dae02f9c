#include "check/app_id.h"

#include <limits>
#include <string>
#include <utility>

#include "check/read_file.h"
#include "console/console.h"
#include "description/line_rules.h"
#include "platform/platform.h"

namespace {

constexpr const char* kFileName = "steam_appid.txt";
constexpr const char* kFails = "so the \"Initializing SteamAPI\" step will fail.";

bool AllDigits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// Why `text`, which ParseAppId refuses, is no app id, and how to fix it.
std::pair<std::string, std::string> Refusal(std::string_view text) {
  const std::string justTheNumber = "Write just the game's app id, such as 480";
  if (text.substr(0, 3) == "\xEF\xBB\xBF") {
    return {
        "starts with a byte-order mark (the bytes EF BB BF) that the Steam client library "
        "takes as part of the number",
        "Save it without the mark: in Notepad, choose the encoding \"UTF-8\" or \"ANSI\", "
        "not \"UTF-8 with BOM\""};
  }
  if (text.substr(0, 2) == "\xFF\xFE" || text.substr(0, 2) == "\xFE\xFF") {
    return {"is saved as UTF-16, which the Steam client library can't read",
            "Save it with the encoding \"UTF-8\" or \"ANSI\""};
  }
  const std::string trimmed(TrimWhitespace(text));
  if (trimmed.empty()) {
    return {text.empty() ? "is empty" : "holds only blanks", justTheNumber};
  }
  if (AllDigits(trimmed)) {
    if (trimmed.find_first_not_of('0') == std::string::npos) {
      return {"holds 0, which is no app id", justTheNumber};
    }
    return {"holds " + Excerpt(trimmed, 40) + ", more than any app id (at most 4294967295)",
            justTheNumber};
  }
  // Words around a number, as in "AppID = 480": name the number.
  const size_t digits = trimmed.find_first_of("0123456789");
  const std::string number =
      digits == std::string::npos
          ? std::string()
          : trimmed.substr(digits, trimmed.find_first_not_of("0123456789", digits) - digits);
  return {"holds \"" + Excerpt(trimmed, 40) + "\", not just a number",
          ParseAppId(number) != 0 ? "Write just the number: " + number : justTheNumber};
}

}  // namespace

uint32_t ParseAppId(std::string_view text) {
  // The blanks and line ends the description's reader trims, too.
  const std::string_view number = TrimWhitespace(text);
  if (!AllDigits(number)) {
    return 0;
  }
  uint64_t value = 0;
  for (char digit : number) {
    value = value * 10 + static_cast<uint64_t>(digit - '0');
    if (value > std::numeric_limits<uint32_t>::max()) {
      return 0;
    }
  }
  return static_cast<uint32_t>(value);
}

AppIdCheck CheckAppId(const char* steamAppId) {
  AppIdCheck check;
  auto fail = [](std::vector<Diagnostic>& findings, std::string message) {
    findings.push_back(Diagnostic{0, FindingKind::kAppId, std::move(message)});
  };
  const bool variableSet = steamAppId != nullptr && *steamAppId != '\0';
  if (variableSet && ParseAppId(steamAppId) == 0) {
    fail(check.variable, "the environment variable SteamAppId " + Refusal(steamAppId).first + ", " +
                             kFails +
                             " Set it to just the game's app id, such as 480, or remove it");
  }

  std::string text;
  uint64_t size = 0;
  const FileStatus read = ReadRegularFile(kFileName, kAppIdFileLimit + 1, text, size);
  if (read == FileStatus::kMissing) {
    uint64_t ignored = 0;
    if (variableSet) {
      // The variable gives the app id, or has its own finding.
    } else if (platform::StatPath(std::string(kFileName) + ".txt", ignored) !=
               platform::PathKind::kMissing) {
      fail(check.file,
           std::string("there is no steam_appid.txt in the current folder, only "
                       "steam_appid.txt.txt, which the Steam client library doesn't read, ") +
               kFails +
               " Windows hides known extensions such as .txt, so a file shown as "
               "\"steam_appid.txt\" can really be named steam_appid.txt.txt. Rename it to "
               "steam_appid.txt (in Explorer, View > File name extensions shows whole names)");
    } else {
      fail(check.file,
           std::string("there is no steam_appid.txt in the current folder and SteamAppId is "
                       "not set, ") +
               kFails +
               " Run modpublish from a folder holding steam_appid.txt with the game's app id, "
               "or set SteamAppId");
    }
  } else if (read != FileStatus::kRead) {
    fail(check.file,
         std::string("steam_appid.txt in the current folder ") +
             (read == FileStatus::kNotAFile ? "is not a regular file" : "can't be read") + ", " +
             kFails + " Make it a text file holding just the game's app id, such as 480");
  } else if (size > kAppIdFileLimit) {
    fail(check.file, "the file is " + std::to_string(size) +
                         " bytes long, where just the game's app id belongs, " + kFails +
                         " Write just the game's app id in it, such as 480");
  } else if (ParseAppId(text) == 0) {
    const auto [cause, fix] = Refusal(text);
    fail(check.file, "the file " + cause + ", " + kFails + " " + fix);
  }
  return check;
}

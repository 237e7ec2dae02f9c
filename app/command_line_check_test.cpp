#include "app/command_line_check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The findings for modpublish's arguments `args`, one message a line.
std::string Findings(std::vector<const char*> args, bool namesHoldQuotes) {
  args.insert(args.begin(), "modpublish");
  RunSettings settings;
  const ParseOutcome outcome =
      ParseCommandLine(static_cast<int>(args.size()), args.data(), settings);
  std::string messages;
  for (const Diagnostic& finding : CheckCommandLine(settings, outcome, namesHoldQuotes)) {
    EXPECT_TRUE(finding.error());
    messages += finding.message + "\n";
  }
  return messages;
}

TEST(CheckCommandLineTest, TellsWhatModpublishWouldTakeForThePath) {
  const struct {
    std::vector<const char*> args;
    bool namesHoldQuotes;
    std::vector<std::string> mentions;  // one a finding, in order; none: no finding
  } cases[] = {
      {{"mod"}, true, {}},
      {{"-s", "-u", "917", "mod"}, true, {}},  // -s before the path only silences
      {{"-s", "mod", "-s"}, true, {"is the last argument modpublish takes for a path"}},
      {{"-s"}, true, {"Give the mod folder after -s"}},
      {{"My", "Mods", "-s"},
       true,
       {"Put -s before the path",
        "2 arguments for the mod folder, \"My\" and \"Mods\", and uses the last one, \"-s\". If "
        "they are one path that holds spaces, put it in double quotes, as one argument: \"My "
        "Mods\""}},
      {{"-x", "mod"}, true, {"\"-x\" is no option of modpublish"}},
      {{"a", "b", "c", "d", "e", "f", "g"}, true, {"\"e\" and 2 more"}},
      {{"-u", "x", "a\nb", "c"}, true, {"\"x\" is not an item id", "\"a\\x0Ab\""}},
      // On Windows a quote comes from "C:\My Mods\x\"; elsewhere names hold it.
      {{"C:\\My Mods\\x\""},
       false,
       {"typed as \"C:\\My Mods\\x\\\", where the backslash before the closing quote makes the "
        "quote part of the path. Drop that backslash: \"C:\\My Mods\\x\""}},
      {{"C:\\x\" -s"}, false, {"Drop that backslash: \"C:\\x\" -s"}},
      {{"a\"b"}, true, {}},
  };
  for (const auto& c : cases) {
    const std::string messages = Findings(c.args, c.namesHoldQuotes);
    size_t at = 0;
    for (const std::string& mention : c.mentions) {
      at = messages.find(mention, at);
      ASSERT_NE(at, std::string::npos) << mention << "\nin\n" << messages;
    }
    EXPECT_EQ(std::count(messages.begin(), messages.end(), '\n'),
              static_cast<std::ptrdiff_t>(c.mentions.size()))
        << messages;
  }
}

}  // namespace

#include "description/upload_plan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "description/reader.h"

namespace {

using namespace std::string_literals;

// A value from a key as "stored"@line/bytes Steam gets; a fallback as is.
std::string Describe(const PlannedText& text) {
  return text.fromKey ? "\"" + std::string(text.stored) + "\"@" + std::to_string(text.line) + "/" +
                            std::to_string(text.Sent().size())
                      : std::string(text.Sent());
}

// One line per section: name, line, what becomes of it, the texts.
std::vector<std::string> Plan(const std::string& text) {
  DescriptionParser parser;
  parser.Feed(text);
  const ModDescription record = parser.Finish();
  std::vector<std::string> lines;
  for (const PlannedSection& section : UploadPlan(record)) {
    std::string line =
        "[" + std::string(section.name.view()) + "]@" + std::to_string(section.line) + " ";
    switch (section.skip) {
      case SectionSkip::kNone:
        line += section.language;
        break;
      case SectionSkip::kNoName:
        line += "(no name)";
        break;
      case SectionSkip::kNoLanguage:
        line += "(no language)";
        break;
    }
    line += " " + Describe(section.title) + " " + Describe(section.description);
    EXPECT_EQ(section.keys->size(), record.sections.find(section.name)->section.size());
    lines.push_back(line);
  }
  return lines;
}

using Lines = std::vector<std::string>;

TEST(UploadPlanTest, EverySectionInByteOrderWithItsLanguageOrWhyNot) {
  const struct {
    const char* what;
    std::string text;
    Lines plan;
  } cases[] = {
      {"nothing", "", {}},
      {"known codes, in byte order, from the last lines that set them",
       "[pt_BR]\ntitle = A\ndescription = B\n[de]\ntitle = x\ntitle = C\ndescription = D\n",
       {"[de]@4 german \"C\"@6/1 \"D\"@7/1", "[pt_BR]@1 brazilian \"A\"@2/1 \"B\"@3/1"}},
      {"fallbacks, an empty value sent as it is",
       "[en]\nTitle = T\n[ru]\ntitle =\n",
       {"[en]@1 english No title No description", "[ru]@3 russian \"\"@4/0 No description"}},
      {"the nameless section and unknown codes are skipped, their texts left empty",
       "title = A\n[EN]\nx = 1\n[ ]\ndescription = B\n",
       {"[]@1 (no name)  ", "[EN]@2 (no language)  "}},
      {"a NUL inside a value stays in `stored`; Steam gets the text before it",
       "[en]\ntitle = a\0b\n"s,
       {"[en]@1 english \"a\0b\"@2/1 No description"s}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Plan(c.text), c.plan) << c.what;
  }
}

}  // namespace

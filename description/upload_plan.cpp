#include "description/upload_plan.h"

#include "description/language.h"

namespace {

PlannedText PlanText(const DescriptionSection& section, std::string_view key,
                     const char* fallback) {
  PlannedText planned;
  const auto found = section.find(key);
  if (found == section.end()) {
    planned.text = fallback;
    planned.stored = fallback;
    return planned;
  }
  // Sent as stored, an empty value too.
  planned.text = found->value.c_str();
  planned.stored = found->value;
  planned.fromKey = true;
  planned.line = found->line();
  return planned;
}

}  // namespace

PlannedSection PlanSection(const DescriptionNamedSection& named) {
  PlannedSection planned;
  planned.name = named.name;
  planned.keys = &named.section;
  planned.line = named.section.line();
  if (named.name.empty()) {
    planned.skip = SectionSkip::kNoName;
    return planned;
  }
  planned.language = SteamLanguageFor(named.name);
  if (*planned.language == '\0') {
    planned.skip = SectionSkip::kNoLanguage;
    return planned;
  }
  planned.title = PlanText(named.section, "title", "No title");
  planned.description = PlanText(named.section, "description", "No description");
  return planned;
}

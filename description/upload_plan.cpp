#include "description/upload_plan.h"

#include "description/description_file.h"
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

PlannedText PlanFileText(const DescriptionSection& section, const DescriptionFile& file) {
  PlannedText planned;
  planned.text = file.text.c_str();
  planned.stored = file.text;
  planned.fromKey = true;
  planned.line = section.find(kDescriptionFileKey)->line();
  planned.file = &file;
  return planned;
}

}  // namespace

PlannedSection PlanSection(const DescriptionNamedSection& named, const DescriptionFile* file) {
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
  planned.description = file != nullptr ? PlanFileText(named.section, *file)
                                        : PlanText(named.section, "description", "No description");
  return planned;
}

UploadPlan::Iterator::Iterator(const ModDescription& description,
                               DescriptionSections::const_iterator at)
    : description_(&description), at_(at), file_(description.files.begin()) {
  SkipPassedFiles();
}

size_t UploadPlan::Iterator::Index() const {
  return static_cast<size_t>(at_ - description_->sections.begin());
}

void UploadPlan::Iterator::SkipPassedFiles() {
  const size_t index = Index();
  while (file_ != description_->files.end() && file_->section < index) {
    ++file_;
  }
}

PlannedSection UploadPlan::Iterator::operator*() const {
  const bool named = file_ != description_->files.end() && file_->section == Index();
  return PlanSection(*at_, named ? &*file_ : nullptr);
}

UploadPlan::Iterator& UploadPlan::Iterator::operator++() {
  ++at_;
  SkipPassedFiles();
  return *this;
}

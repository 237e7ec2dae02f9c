// What modpublish uploads for a description, section by section: the one
// place that decides which sections go up, in which Steam language, and
// with which title and description ("No title" and "No description" where
// the section lacks the key). The uploader follows it; modpublish-check's
// findings and summary and the page preview describe it.
//
// The rules: every section in the record's order (byte-wise by name, so ""
// first); a section with an empty name is skipped without a word; one whose
// name is no language code SteamLanguageFor knows is skipped with the
// message "Skipping uploading description in lang: <name>"; every other one
// is uploaded with the values of the exact keys "title" and "description",
// or, where the section names a description file (its "description_file"
// key, read by LoadDescriptionFiles), with that file's text as the
// description.
//
// The plan is worked out as it is walked, from the record alone: it
// allocates nothing, whatever the number of sections.
#ifndef MODPUBLISH_DESCRIPTION_UPLOAD_PLAN_H_
#define MODPUBLISH_DESCRIPTION_UPLOAD_PLAN_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "description/description.h"

// Why a section is not uploaded.
enum class SectionSkip {
  kNone,        // uploaded
  kNoName,      // the section with the empty name: no message
  kNoLanguage,  // "Skipping uploading description in lang: %s"
};

// A title or a description as Steam would get it.
struct PlannedText {
  // NUL-terminated, for Steam. Steam receives the bytes up to the first NUL.
  const char* text = "";
  // The value as the file holds it, NUL bytes included; the fallback's
  // text when there is no key.
  std::string_view stored;
  bool fromKey = false;  // false: the fallback
  uint64_t line = 0;     // the line that set the value; 0 for the fallback
  // Not null: the text is this description file's (its description_file
  // key's value stands on `line`). When the file couldn't be read, `text`
  // is empty: a publish stops before it would send it.
  const DescriptionFile* file = nullptr;

  // What Steam receives: `text` up to its first NUL.
  std::string_view Sent() const { return std::string_view(text, std::strlen(text)); }
};

// One section of the plan. Views into the record, valid as long as it is.
struct PlannedSection {
  DescriptionText name;                      // as written in the file
  const DescriptionSection* keys = nullptr;  // all of the section's keys, in key order
  uint64_t line = 0;                         // DescriptionSection::line()
  SectionSkip skip = SectionSkip::kNone;
  const char* language = "";  // Steam's language name; "" when skipped
  // The texts the upload sends; for a skipped section both stay empty and
  // not from a key (its keys are all in `keys`).
  PlannedText title;
  PlannedText description;
};

// The plan of one section of the record; `file` is its description file,
// or null when it names none.
PlannedSection PlanSection(const DescriptionNamedSection& named,
                           const DescriptionFile* file = nullptr);

// The plan of the whole description: `for (const PlannedSection& section :
// UploadPlan(record))`, in upload order. Borrows the record.
class UploadPlan {
 public:
  explicit UploadPlan(const ModDescription& description) : description_(&description) {}

  class Iterator {
   public:
    Iterator(const ModDescription& description, DescriptionSections::const_iterator at);
    PlannedSection operator*() const;
    Iterator& operator++();
    bool operator!=(const Iterator& other) const { return at_ != other.at_; }

   private:
    // The place of the section at `at_` in the record.
    size_t Index() const;
    // Moves `file_` past the files of the sections before `at_`.
    void SkipPassedFiles();

    const ModDescription* description_;
    DescriptionSections::const_iterator at_;
    // The first description file of a section at `at_` or after it.
    std::vector<DescriptionFile>::const_iterator file_;
  };

  Iterator begin() const { return Iterator(*description_, description_->sections.begin()); }
  Iterator end() const { return Iterator(*description_, description_->sections.end()); }
  // Sections in all, skipped ones included (the progress line counts them).
  size_t size() const { return description_->sections.size(); }

 private:
  const ModDescription* description_;
};

#endif  // MODPUBLISH_DESCRIPTION_UPLOAD_PLAN_H_

// Builds a ModDescription's sections from the key lines the parser hands
// over, in file order, and sorts them once at the end.
#ifndef MODPUBLISH_DESCRIPTION_RECORD_BUILDER_H_
#define MODPUBLISH_DESCRIPTION_RECORD_BUILDER_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "description/arena.h"
#include "description/description.h"
#include "description/text_index.h"

// What a DescriptionSections owns: the bytes of every text (text_layout.h),
// the entries, in which every section is a sorted run, and the sections.
struct DescriptionStorage {
  RecordArena texts;
  RecordArray<DescriptionEntry> entries;
  RecordArray<DescriptionNamedSection> sections;
};

class RecordBuilder {
 public:
  // `key` keys the index's hash; the record doesn't depend on it.
  explicit RecordBuilder(const HashKey& key = RunHashKey());

  // A header on `line`: the keys that follow go to the section named by
  // the next StoreKey, which opens it on that line if it is new.
  void StartSection(uint64_t line);

  // The texts a key line left in the record.
  struct Stored {
    DescriptionText key;
    DescriptionText value;
    uint64_t replacedLine = 0;  // the line of the value replaced; 0 for a new key
    bool replacedSame = false;  // the value replaced held the same bytes
  };

  // Stores `value` under `key` in the section `name` (the current section:
  // the same name until the next StartSection). Throws std::bad_alloc when
  // memory runs out.
  Stored StoreKey(std::string_view name, std::string_view key, std::string_view value,
                  uint64_t line);

  // Sorts what was stored into the record. Call once.
  DescriptionSections Finish();

 private:
  struct Section {
    const char* name;
    // Kept from when the name was hot in the cache: growing the index and
    // sorting the sections then need not visit the name again.
    uint64_t hash;
    uint64_t sortPrefix;
    uint64_t line;
    size_t begin;
    size_t size;
    size_t capacity;
    // Into keyIndexes_ once the section has kIndexedFrom keys, else kNone.
    size_t keyIndex;
  };

  size_t FindOrAdd(std::string_view name, uint64_t line);
  void MakeRoom(Section& section);

  HashKey hashKey_;
  std::unique_ptr<DescriptionStorage> storage_;
  RecordArray<Section> sections_;
  TextIndex sectionsByName_;
  std::vector<TextIndex> keyIndexes_;
  // The section of the current name once a key line has found it; kNone
  // right after a header, since a header alone creates nothing.
  size_t current_;
  uint64_t headerLine_ = 0;
};

#endif  // MODPUBLISH_DESCRIPTION_RECORD_BUILDER_H_

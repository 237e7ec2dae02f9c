#include "description/record_builder.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "description/text_layout.h"

namespace {

// Up to this many keys a section is kept sorted as it grows and searched by
// bisection; from there on it is indexed by hash and sorted once at the end,
// so a section with millions of keys costs no quadratic shifting.
constexpr size_t kIndexedFrom = 32;

constexpr size_t kNone = ~size_t{0};

std::string_view TextAt(const char* data) { return std::string_view(data, TextSize(data)); }

// The first 8 bytes of `text` as a big-endian number, zero-padded: when two
// texts' prefixes differ they order the texts byte-wise, and only equal
// prefixes need the texts themselves.
uint64_t SortPrefix(std::string_view text) {
  uint64_t prefix = 0;
  const size_t bytes = std::min<size_t>(text.size(), 8);
  for (size_t i = 0; i < bytes; ++i) {
    prefix |= static_cast<uint64_t>(static_cast<unsigned char>(text[i])) << (56 - 8 * i);
  }
  return prefix;
}

}  // namespace

RecordBuilder::RecordBuilder(const HashKey& key)
    : hashKey_(key), storage_(std::make_unique<DescriptionStorage>()), current_(kNone) {}

void RecordBuilder::StartSection(uint64_t line) {
  current_ = kNone;
  headerLine_ = line;
}

size_t RecordBuilder::FindOrAdd(std::string_view name, uint64_t line) {
  const uint64_t hash = HashText(name, hashKey_);
  auto nameAt = [this](size_t position) { return TextAt(sections_[position].name); };
  size_t found = sectionsByName_.Find(name, hash, nameAt);
  if (found == TextIndex::kNotFound) {
    found = sections_.size();
    sections_.push_back({PutName(storage_->texts, name), hash, SortPrefix(name),
                         headerLine_ != 0 ? headerLine_ : line, storage_->entries.size(), 0, 0,
                         kNone});
    sectionsByName_.Insert(hash, found,
                           [this](size_t position) { return sections_[position].hash; });
  }
  return found;
}

// A section's entries are a run of the entry array, with room for
// `capacity`. A section that gains keys after another section has been
// added moves its run to the end of the array, with room to double, so
// sections that take turns cost amortised constant time per key.
void RecordBuilder::MakeRoom(Section& section) {
  RecordArray<DescriptionEntry>& entries = storage_->entries;
  if (section.size < section.capacity) {
    return;
  }
  if (section.begin + section.capacity == entries.size()) {
    entries.ResizeUninitialised(entries.size() + 1);
    ++section.capacity;
    return;
  }
  const size_t begin = entries.size();
  const size_t capacity = std::max<size_t>(2 * section.size, 4);
  entries.ResizeUninitialised(begin + capacity);
  std::memcpy(static_cast<void*>(entries.data() + begin), entries.data() + section.begin,
              section.size * sizeof(DescriptionEntry));
  section.begin = begin;
  section.capacity = capacity;
}

RecordBuilder::Stored RecordBuilder::StoreKey(std::string_view name, std::string_view key,
                                              std::string_view value, uint64_t line) {
  if (current_ == kNone) {
    current_ = FindOrAdd(name, line);
  }
  Section& section = sections_[current_];
  RecordArray<DescriptionEntry>& entries = storage_->entries;
  auto keyAt = [&entries, &section](size_t at) {
    return TextAt(entries[section.begin + at].key.data());
  };
  auto keyHashAt = [this, &keyAt](size_t at) { return HashText(keyAt(at), hashKey_); };
  // Where the key is, or where it goes.
  size_t position = 0;
  bool present = false;
  uint64_t hash = 0;
  if (section.keyIndex == kNone) {
    size_t end = section.size;
    while (position < end) {
      const size_t middle = position + (end - position) / 2;
      if (keyAt(middle) < key) {
        position = middle + 1;
      } else {
        end = middle;
      }
    }
    present = position < section.size && keyAt(position) == key;
  } else {
    hash = HashText(key, hashKey_);
    position = keyIndexes_[section.keyIndex].Find(key, hash, keyAt);
    present = position != TextIndex::kNotFound;
  }
  Stored stored;
  const char* keyText = nullptr;
  const char* valueText = nullptr;
  if (present) {
    DescriptionEntry& entry = entries[section.begin + position];
    stored.replacedLine = ValueLine(entry.value.data());
    stored.replacedSame = entry.value == value;
    keyText = entry.key.data();
    valueText = ReplaceValue(storage_->texts, entry.value.data(), value, line);
    entry.value = DescriptionText(valueText);
  } else {
    keyText = PutName(storage_->texts, key);
    valueText = PutValue(storage_->texts, value, line);
    if (section.keyIndex == kNone && section.size == kIndexedFrom) {
      section.keyIndex = keyIndexes_.size();
      keyIndexes_.emplace_back();
      for (size_t at = 0; at < section.size; ++at) {
        keyIndexes_[section.keyIndex].Insert(keyHashAt(at), at, keyHashAt);
      }
      hash = HashText(key, hashKey_);
    }
    if (section.keyIndex != kNone) {
      position = section.size;  // filled in file order, sorted at the end
    }
    MakeRoom(section);
    DescriptionEntry* first = entries.data() + section.begin;
    std::memmove(static_cast<void*>(first + position + 1), first + position,
                 (section.size - position) * sizeof(DescriptionEntry));
    first[position] = {DescriptionText(keyText), DescriptionText(valueText)};
    ++section.size;
    if (section.keyIndex != kNone) {
      keyIndexes_[section.keyIndex].Insert(hash, position, keyHashAt);
    }
  }
  stored.key = DescriptionText(keyText);
  stored.value = DescriptionText(valueText);
  return stored;
}

DescriptionSections RecordBuilder::Finish() {
  DescriptionEntry* entries = storage_->entries.data();
  const size_t count = sections_.size();
  // Sections that grew past kIndexedFrom keys were filled in file order.
  for (size_t i = 0; i < count; ++i) {
    const Section& section = sections_[i];
    if (section.keyIndex != kNone) {
      std::sort(entries + section.begin, entries + section.begin + section.size,
                [](const DescriptionEntry& a, const DescriptionEntry& b) {
                  return TextAt(a.key.data()) < TextAt(b.key.data());
                });
    }
  }
  // The sections in name order; the prefixes keep most comparisons off the
  // names, which lie all over the arena.
  struct Order {
    uint64_t prefix;
    size_t section;
  };
  RecordArray<Order> order;
  order.ResizeUninitialised(count);
  for (size_t i = 0; i < count; ++i) {
    order[i] = {sections_[i].sortPrefix, i};
  }
  std::sort(order.data(), order.data() + count, [this](const Order& a, const Order& b) {
    if (a.prefix != b.prefix) {
      return a.prefix < b.prefix;
    }
    return TextAt(sections_[a.section].name) < TextAt(sections_[b.section].name);
  });
  RecordArray<DescriptionNamedSection>& named = storage_->sections;
  named.ResizeUninitialised(count);
  for (size_t i = 0; i < count; ++i) {
    const Section& section = sections_[order[i].section];
    DescriptionSection& target = named[i].section;
    named[i].name = DescriptionText(section.name);
    target.entries_ = entries + section.begin;
    target.size_ = section.size;
    target.line_ = section.line;
  }
  DescriptionSections record;
  record.sections_ = named.data();
  record.size_ = count;
  record.storage_ = std::move(storage_);
  return record;
}

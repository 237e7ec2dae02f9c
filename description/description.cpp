#include "description/description.h"

#include <algorithm>
#include <utility>

#include "description/record_builder.h"
#include "description/text_layout.h"

namespace {

// The pair whose `name` (a section's) or `key` (an entry's) is `text` in a
// run sorted by it, or `end`. Both levels of the record are such runs.
template <class Pair, class NameOf>
const Pair* FindSorted(const Pair* begin, const Pair* end, std::string_view text,
                       const NameOf& nameOf) {
  const Pair* found =
      std::lower_bound(begin, end, text, [&nameOf](const Pair& pair, std::string_view wanted) {
        return nameOf(pair).view() < wanted;
      });
  return found != end && nameOf(*found) == text ? found : end;
}

template <class Pairs, class Same>
bool SamePairs(const Pairs& a, const Pairs& b, const Same& same) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), same);
}

}  // namespace

size_t DescriptionText::size() const { return TextSize(data_); }

uint64_t DescriptionEntry::line() const { return ValueLine(value.data()); }

DescriptionSection::const_iterator DescriptionSection::find(std::string_view key) const {
  return FindSorted(begin(), end(), key, [](const DescriptionEntry& entry) { return entry.key; });
}

bool operator==(const DescriptionSection& a, const DescriptionSection& b) {
  return SamePairs(a, b, [](const DescriptionEntry& x, const DescriptionEntry& y) {
    return x.key == y.key && x.value == y.value;
  });
}

DescriptionSections::DescriptionSections() = default;
// A moved-from record is empty.
DescriptionSections::DescriptionSections(DescriptionSections&& other) noexcept
    : storage_(std::move(other.storage_)),
      sections_(std::exchange(other.sections_, nullptr)),
      size_(std::exchange(other.size_, 0)) {}

DescriptionSections& DescriptionSections::operator=(DescriptionSections&& other) noexcept {
  storage_ = std::move(other.storage_);
  sections_ = std::exchange(other.sections_, nullptr);
  size_ = std::exchange(other.size_, 0);
  return *this;
}

DescriptionSections::~DescriptionSections() = default;

DescriptionSections::const_iterator DescriptionSections::find(std::string_view name) const {
  return FindSorted(begin(), end(), name,
                    [](const DescriptionNamedSection& named) { return named.name; });
}

bool operator==(const DescriptionSections& a, const DescriptionSections& b) {
  return SamePairs(a, b, [](const DescriptionNamedSection& x, const DescriptionNamedSection& y) {
    return x.name == y.name && x.section == y.section;
  });
}

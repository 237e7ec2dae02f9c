// The parsed description file, descript.ion: section name → key → value,
// both levels ordered byte-wise (unsigned bytes; a proper prefix sorts
// first), so "" < "de" < "en" < "pt" < "pt_BR" whatever the file's order.
// Names, keys and values are bytes, never decoded; NUL bytes stay. The
// record is read-only once the reader has returned it (reader.h).
#ifndef MODPUBLISH_DESCRIPTION_DESCRIPTION_H_
#define MODPUBLISH_DESCRIPTION_DESCRIPTION_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "description/regular_file.h"

// A name, key or value held by the record: bytes the record owns, valid as
// long as it is (moves included), always followed by a NUL byte, so c_str()
// costs nothing. A value may hold NUL bytes of its own; size() counts them.
class DescriptionText {
 public:
  DescriptionText() : data_(kEmpty + 1) {}  // the empty text

  const char* data() const { return data_; }
  const char* c_str() const { return data_; }
  size_t size() const;
  bool empty() const { return size() == 0; }
  std::string_view view() const { return std::string_view(data_, size()); }
  operator std::string_view() const { return view(); }

  friend bool operator==(DescriptionText a, std::string_view b) { return a.view() == b; }
  friend bool operator!=(DescriptionText a, std::string_view b) { return a.view() != b; }
  friend bool operator<(DescriptionText a, DescriptionText b) { return a.view() < b.view(); }

 private:
  friend class RecordBuilder;
  // The bytes of the empty text: its size, 0, and its NUL.
  static constexpr char kEmpty[2] = {0, 0};
  explicit DescriptionText(const char* data) : data_(data) {}

  const char* data_;
};

// A key and its value; `auto [key, value]` works.
struct DescriptionEntry {
  DescriptionText key;
  DescriptionText value;

  // The line of the file that set the value that stands (1-based).
  uint64_t line() const;
};

// One section: its entries in key order. A view into the record.
class DescriptionSection {
 public:
  using const_iterator = const DescriptionEntry*;

  const_iterator begin() const { return entries_; }
  const_iterator end() const { return entries_ + size_; }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  // The entry of `key`, or end(). Builds no string.
  const_iterator find(std::string_view key) const;

  // The line of the header that opened the section when its first key was
  // read; that key's own line when no header stood above it.
  uint64_t line() const { return line_; }

  // Same keys with the same values (lines are not compared).
  friend bool operator==(const DescriptionSection& a, const DescriptionSection& b);

 private:
  friend class RecordBuilder;
  const DescriptionEntry* entries_ = nullptr;
  size_t size_ = 0;
  uint64_t line_ = 0;
};

// A section name and its section; `auto [name, section]` works.
struct DescriptionNamedSection {
  DescriptionText name;
  DescriptionSection section;
};

// The record's storage; only the reader looks inside.
struct DescriptionStorage;

// Section name → section. Owns every byte of the record. Move-only.
class DescriptionSections {
 public:
  using const_iterator = const DescriptionNamedSection*;

  DescriptionSections();
  DescriptionSections(DescriptionSections&&) noexcept;
  DescriptionSections& operator=(DescriptionSections&&) noexcept;
  ~DescriptionSections();

  const_iterator begin() const { return sections_; }
  const_iterator end() const { return sections_ + size_; }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  // The section named `name`, or end(). Builds no string.
  const_iterator find(std::string_view name) const;

  // Same names with the same sections.
  friend bool operator==(const DescriptionSections& a, const DescriptionSections& b);

 private:
  friend class RecordBuilder;
  std::unique_ptr<DescriptionStorage> storage_;
  const DescriptionNamedSection* sections_ = nullptr;
  size_t size_ = 0;
};

// A section's description kept in a file of its own, which the section's
// "description_file" key names (description_file.h).
struct DescriptionFile {
  size_t section = 0;      // the section's place in ModDescription::sections
  std::string_view named;  // the key's value, as written; points into the record
  std::string path;        // where the file was looked for
  FileStatus status = FileStatus::kMissing;
  std::string text;  // kRead: the text Steam gets; else empty
};

// The parsed file. Every section holds at least one key: a header with no
// key lines under it leaves no trace.
struct ModDescription {
  DescriptionSections sections;
  // The description files of the sections that are uploaded, in section
  // order; empty until LoadDescriptionFiles has read them.
  std::vector<DescriptionFile> files;
};

#endif  // MODPUBLISH_DESCRIPTION_DESCRIPTION_H_

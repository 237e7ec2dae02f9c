#include "description/reader.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "console/console.h"
#include "platform/platform.h"

namespace {

// Big enough that a file costs few reads, small enough to stay in the cache
// while its lines are parsed.
constexpr size_t kChunkSize = 1 << 18;

// A real description is a few KiB. It is read into a buffer of this size
// on the stack, and only a bigger file gets the chunk buffer, which malloc
// maps and unmaps afresh at that size.
constexpr size_t kFirstReadSize = 1 << 15;

// From this length on a value that arrived in the parser's line buffer stays
// there, and the record takes the buffer over: a copy would hold the value
// twice at the peak and cost its pages twice.
constexpr size_t kTakeOverBytes = 1 << 20;

// The read-ahead that sizes a long line's buffer stops here: a file that
// keeps growing as it is read must not hold the reader in that loop. A
// longer line grows its buffer the ordinary way beyond this size.
constexpr size_t kMeasureLimit = size_t{1} << 30;

// Up to this many keys a section is kept sorted as it grows and searched by
// bisection; from there on it is indexed by hash and sorted once at the end,
// so a section with millions of keys costs no quadratic shifting.
constexpr size_t kIndexedFrom = 32;

constexpr size_t kNone = ~size_t{0};

constexpr char kCtrlZ = '\x1A';

bool IsTrimmed(char c) { return c == '\t' || c == ' ' || c == '\r' || c == '\n'; }

// TrimWhitespace without the copy: the parser only copies what it stores.
std::string_view TrimView(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsTrimmed(text[begin])) {
    ++begin;
  }
  while (end > begin && IsTrimmed(text[end - 1])) {
    --end;
  }
  return text.substr(begin, end - begin);
}

// The offset of the first `c` in `bytes`, or bytes.size().
size_t FindByte(std::string_view bytes, char c) {
  const void* found = std::memchr(bytes.data(), c, bytes.size());
  return found == nullptr ? bytes.size()
                          : static_cast<size_t>(static_cast<const char*>(found) - bytes.data());
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// Reads ahead to the end of the line under way (LF, Ctrl-Z or the end of the
// file), at most about kMeasureLimit bytes, and goes back to where it was.
// Sets `ahead` to the bytes until that end or that limit, 0 when the stream
// can't tell its position. Returns false when the stream couldn't go back;
// its position is then lost.
bool MeasureRestOfLine(std::FILE* file, char* buffer, size_t& ahead) {
  ahead = 0;
  std::fpos_t start;
  if (std::fgetpos(file, &start) != 0) {
    return true;
  }
  for (;;) {
    size_t got = std::fread(buffer, 1, kChunkSize, file);
    std::string_view bytes(buffer, got);
    size_t end = FindByte(bytes.substr(0, FindByte(bytes, '\n')), kCtrlZ);
    ahead += end;
    if (end < got || got < kChunkSize || ahead >= kMeasureLimit) {
      break;
    }
  }
  return std::fsetpos(file, &start) == 0;
}

// ---- How the record lays out a text in its arena. ----
//
// A name or key: [length][bytes][NUL]. A value: [room][length][bytes][NUL]
// followed by free bytes, where `room` counts the bytes after it that the
// value may use, so that a later value of the same key can take its place
// (repeated sections replace values all the time). Lengths are written
// backwards from the text's first byte, 7 bits a byte, lowest bits
// nearest, and the high bit of a byte set when another byte of the length
// comes before it: DescriptionText finds its length from its data pointer.

size_t LengthBytes(size_t length) {
  size_t bytes = 1;
  for (; length >= 0x80; length >>= 7) {
    ++bytes;
  }
  return bytes;
}

// Writes `length` into the LengthBytes(length) bytes that end at `end`.
void PutLength(char* end, size_t length) {
  unsigned char* at = reinterpret_cast<unsigned char*>(end);
  do {
    *--at = static_cast<unsigned char>((length & 0x7Fu) | (length >= 0x80 ? 0x80u : 0u));
    length >>= 7;
  } while (length != 0);
}

// Reads the length that ends at `end`; sets `bytes` to the bytes it takes.
size_t ReadLength(const char* end, size_t& bytes) {
  const unsigned char* at = reinterpret_cast<const unsigned char*>(end) - 1;
  size_t length = *at & 0x7Fu;
  bytes = 1;
  for (unsigned shift = 7; (*at & 0x80u) != 0; shift += 7) {
    --at;
    length |= static_cast<size_t>(*at & 0x7Fu) << shift;
    ++bytes;
  }
  return length;
}

// Writes `length` bytes of `bytes` ending in a NUL at `data` and puts the
// length in front; returns `data`.
const char* PutText(char* data, std::string_view bytes) {
  PutLength(data, bytes.size());
  if (!bytes.empty()) {
    std::memcpy(data, bytes.data(), bytes.size());
  }
  data[bytes.size()] = '\0';
  return data;
}

const char* CopyName(RecordArena& arena, std::string_view name) {
  const size_t lengthBytes = LengthBytes(name.size());
  return PutText(arena.Allocate(lengthBytes + name.size() + 1) + lengthBytes, name);
}

// A value in a slot of its own size, `room` written in front of it.
const char* SlotValue(char* data, std::string_view value) {
  const size_t room = LengthBytes(value.size()) + value.size() + 1;
  PutLength(data - LengthBytes(value.size()), room);
  return PutText(data, value);
}

const char* CopyValue(RecordArena& arena, std::string_view value) {
  const size_t lengthBytes = LengthBytes(value.size());
  const size_t room = lengthBytes + value.size() + 1;
  const size_t roomBytes = LengthBytes(room);
  return SlotValue(arena.Allocate(roomBytes + room) + roomBytes + lengthBytes, value);
}

// Puts `value` in the place of the value at `old` when its slot has room,
// else in a new slot.
const char* ReplaceValue(RecordArena& arena, const char* old, std::string_view value) {
  size_t lengthBytes = 0;
  ReadLength(old, lengthBytes);
  size_t roomBytes = 0;
  const size_t room = ReadLength(old - lengthBytes, roomBytes);
  const size_t newLengthBytes = LengthBytes(value.size());
  if (newLengthBytes + value.size() + 1 > room) {
    return CopyValue(arena, value);
  }
  // The slot belongs to the record, whose texts are const only to readers.
  char* slot = const_cast<char*>(old) - lengthBytes;
  return PutText(slot + newLengthBytes, value);
}

uint64_t HashText(std::string_view text) {
  uint64_t hash = 0x9E3779B97F4A7C15u ^ text.size();
  size_t at = 0;
  for (; at + 8 <= text.size(); at += 8) {
    uint64_t word = 0;
    std::memcpy(&word, text.data() + at, 8);
    hash = (hash ^ word) * 0xBF58476D1CE4E5B9u;
    hash ^= hash >> 31;
  }
  uint64_t word = 0;
  std::memcpy(&word, text.data() + at, text.size() - at);
  hash = (hash ^ word) * 0x94D049BB133111EBu;
  hash ^= hash >> 29;
  hash *= 0xBF58476D1CE4E5B9u;
  return hash ^ (hash >> 32);
}

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

// Finds texts by their hash: open addressing over slots that hold the
// hash's top bits and a position (+1, so that 0 marks a free slot); the
// caller says where the text at a position is.
class TextIndex {
 public:
  static constexpr size_t kNotFound = ~size_t{0};

  template <class TextAt>
  size_t Find(std::string_view text, uint64_t hash, const TextAt& textAt) const {
    if (slots_.size() == 0) {
      return kNotFound;
    }
    const size_t mask = slots_.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
      const uint64_t slot = slots_[i];
      if (slot == 0) {
        return kNotFound;
      }
      if ((slot >> kPositionBits) == (hash >> kPositionBits)) {
        const size_t position = static_cast<size_t>(slot & kPositionMask) - 1;
        if (std::string_view(textAt(position)) == text) {
          return position;
        }
      }
    }
  }

  // Adds `position`, whose text hashes to `hash` and isn't in the index yet.
  // `hashAt(position)` gives the hash of the text at a position.
  template <class HashAt>
  void Insert(uint64_t hash, size_t position, const HashAt& hashAt) {
    if ((used_ + 1) * 2 > slots_.size()) {
      RecordArray<uint64_t> old = std::move(slots_);
      const size_t size = old.size() == 0 ? 64 : old.size() * 2;
      slots_.ResizeUninitialised(size);
      std::memset(slots_.data(), 0, size * sizeof(uint64_t));
      for (size_t i = 0; i < old.size(); ++i) {
        if (old[i] != 0) {
          const size_t moved = static_cast<size_t>(old[i] & kPositionMask) - 1;
          Place(hashAt(moved), moved);
        }
      }
    }
    Place(hash, position);
    ++used_;
  }

 private:
  static constexpr unsigned kPositionBits = 40;
  static constexpr uint64_t kPositionMask = (uint64_t{1} << kPositionBits) - 1;

  void Place(uint64_t hash, size_t position) {
    const size_t mask = slots_.size() - 1;
    size_t i = hash & mask;
    while (slots_[i] != 0) {
      i = (i + 1) & mask;
    }
    slots_[i] = (hash >> kPositionBits << kPositionBits) | (static_cast<uint64_t>(position) + 1);
  }

  RecordArray<uint64_t> slots_;
  size_t used_ = 0;
};

}  // namespace

// A section while the record is built. Its entries are a run of the
// record's entry array, with room for `capacity`; a section that gains keys
// after another section has been added moves its run to the end of the
// array, with room to double, so sections that take turns cost amortised
// constant time per key.
struct DescriptionParser::Builder {
  struct Section {
    const char* name;
    // Kept from when the name was hot in the cache: growing the index and
    // sorting the sections then need not visit the name again.
    uint64_t hash;
    uint64_t sortPrefix;
    size_t begin;
    size_t size;
    size_t capacity;
    // Into keyIndexes once the section has kIndexedFrom keys, else kNone.
    size_t keyIndex;
  };

  RecordArray<Section> sections;
  TextIndex sectionsByName;
  std::vector<TextIndex> keyIndexes;
  // The section named currentName_ once a key line has created or found it;
  // kNone right after a header, since the header alone creates nothing.
  size_t current = kNone;

  size_t FindOrAdd(std::string_view name, DescriptionSections& record) {
    const uint64_t hash = HashText(name);
    auto nameAt = [this](size_t position) { return DescriptionText(sections[position].name); };
    size_t found = sectionsByName.Find(name, hash, nameAt);
    if (found == TextIndex::kNotFound) {
      found = sections.size();
      sections.push_back({CopyName(record.texts_, name), hash, SortPrefix(name),
                          record.entries_.size(), 0, 0, kNone});
      sectionsByName.Insert(hash, found,
                            [this](size_t position) { return sections[position].hash; });
    }
    return found;
  }

  // Makes room for one more entry in `section`'s run.
  static void MakeRoom(Section& section, RecordArray<DescriptionEntry>& entries) {
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
};

std::string TrimWhitespace(std::string_view text) { return std::string(TrimView(text)); }

namespace {

// The entry whose `first` is `name` in a run sorted by `first`, or `end`.
// Both of the record's maps are such runs: a section's keys and the
// sections themselves.
template <class Pair>
const Pair* FindByFirst(const Pair* begin, const Pair* end, std::string_view name) {
  const Pair* found = std::lower_bound(
      begin, end, name, [](const Pair& pair, std::string_view n) { return pair.first.view() < n; });
  return found != end && found->first == name ? found : end;
}

template <class Map>
bool SamePairs(const Map& a, const Map& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](const auto& x, const auto& y) {
           return x.first == y.first && x.second == y.second;
         });
}

}  // namespace

DescriptionSection::const_iterator DescriptionSection::find(std::string_view key) const {
  return FindByFirst(begin(), end(), key);
}

bool operator==(const DescriptionSection& a, const DescriptionSection& b) {
  return SamePairs(a, b);
}

DescriptionSections::const_iterator DescriptionSections::find(std::string_view name) const {
  return FindByFirst(begin(), end(), name);
}

bool operator==(const DescriptionSections& a, const DescriptionSections& b) {
  return SamePairs(a, b);
}

DescriptionParser::DescriptionParser(bool verbose, DescriptionObserver* observer)
    : builder_(std::make_unique<Builder>()), observer_(observer) {
  record_.verbose = verbose;
}

DescriptionParser::DescriptionParser(DescriptionParser&&) noexcept = default;
DescriptionParser& DescriptionParser::operator=(DescriptionParser&&) noexcept = default;
DescriptionParser::~DescriptionParser() = default;

bool DescriptionParser::Feed(std::string_view bytes) {
  if (ended_) {
    return false;
  }
  // Windows text mode ends a file at Ctrl-Z; the file is read that way on
  // every platform, so what follows the byte never reaches the line rules.
  size_t stop = FindByte(bytes, kCtrlZ);
  if (stop < bytes.size()) {
    bytes = bytes.substr(0, stop);
    ended_ = true;
    if (observer_ != nullptr) {
      uint64_t line = lines_ + 1;
      for (size_t at = FindByte(bytes, '\n'); at < bytes.size();
           at += 1 + FindByte(bytes.substr(at + 1), '\n')) {
        ++line;
      }
      observer_->OnCtrlZ(line, fed_ + stop);
    }
  }
  fed_ += bytes.size();
  size_t lineStart = 0;
  for (;;) {
    size_t lineEnd = lineStart + FindByte(bytes.substr(lineStart), '\n');
    if (lineEnd == bytes.size()) {
      break;
    }
    // Usually the whole line lies in this piece and is parsed in place.
    std::string_view line = bytes.substr(lineStart, lineEnd - lineStart);
    LineBuffer* lineBuffer = nullptr;
    if (!partial_.empty()) {
      partial_.append(line);
      line = partial_.view();
      lineBuffer = &partial_;
    }
    // Text mode hands over CR LF as a plain LF.
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
    ParseLine(line, lineBuffer);
    // Keeps the capacity: the next long line reuses it.
    partial_.clear();
    lineStart = lineEnd + 1;
  }
  partial_.append(bytes.substr(lineStart));
  return !ended_;
}

ModDescription DescriptionParser::Finish() {
  // The last line has no LF and so no CR LF pair either: a CR at its end
  // stays, as in text mode, until trimming removes it. An input that ends
  // with its LF has no further line.
  if (!partial_.empty()) {
    ParseLine(partial_.view(), &partial_);
  }
  partial_ = LineBuffer();

  Builder& builder = *builder_;
  DescriptionSections& record = record_.sections;
  DescriptionEntry* entries = record.entries_.data();
  const size_t count = builder.sections.size();
  // Sections that grew past kIndexedFrom keys were filled in file order.
  for (size_t i = 0; i < count; ++i) {
    const Builder::Section& section = builder.sections[i];
    if (section.keyIndex != kNone) {
      std::sort(entries + section.begin, entries + section.begin + section.size,
                [](const DescriptionEntry& a, const DescriptionEntry& b) {
                  return a.first.view() < b.first.view();
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
    order[i] = {builder.sections[i].sortPrefix, i};
  }
  std::sort(order.data(), order.data() + count, [&builder](const Order& a, const Order& b) {
    if (a.prefix != b.prefix) {
      return a.prefix < b.prefix;
    }
    return DescriptionText(builder.sections[a.section].name).view() <
           DescriptionText(builder.sections[b.section].name).view();
  });
  record.sections_.ResizeUninitialised(count);
  for (size_t i = 0; i < count; ++i) {
    const Builder::Section& section = builder.sections[order[i].section];
    DescriptionNamedSection& named = record.sections_[i];
    named.first = DescriptionText(section.name);
    named.second.entries_ = entries + section.begin;
    named.second.size_ = section.size;
  }
  builder_.reset();
  return std::move(record_);
}

void DescriptionParser::ParseLine(std::string_view line, LineBuffer* lineBuffer) {
  line = TrimView(line);
  DescriptionLine seen;
  seen.number = ++lines_;
  seen.text = line;
  if (line.size() < 2) {
    Notify(seen, DescriptionLineKind::kSkipped);
    return;
  }
  size_t equals = line.find('=');
  if (equals != std::string_view::npos) {
    std::string_view key = TrimView(line.substr(0, equals));
    std::string_view value = TrimView(line.substr(equals + 1));
    // Before the store, which may take the line's buffer over.
    seen.key = key;
    seen.value = value;
    Notify(seen, DescriptionLineKind::kKey);
    StoreKey(key, value, lineBuffer);
  } else if (line.front() == '[' && line.back() == ']') {
    currentName_.assign(TrimView(line.substr(1, line.size() - 2)));
    builder_->current = kNone;
    Notify(seen, DescriptionLineKind::kHeader);
    if (record_.verbose) {
      Print("Parsing [%s]\n", currentName_.c_str());
    }
  } else {
    Notify(seen, DescriptionLineKind::kIgnored);
  }
}

void DescriptionParser::Notify(DescriptionLine& line, DescriptionLineKind kind) {
  if (observer_ != nullptr) {
    line.kind = kind;
    line.section = currentName_;
    observer_->OnLine(line);
  }
}

void DescriptionParser::StoreKey(std::string_view key, std::string_view value,
                                 LineBuffer* lineBuffer) {
  Builder& builder = *builder_;
  DescriptionSections& record = record_.sections;
  if (builder.current == kNone) {
    builder.current = builder.FindOrAdd(currentName_, record);
  }
  Builder::Section& section = builder.sections[builder.current];
  // Where the key is, or where it goes.
  size_t position = 0;
  bool present = false;
  uint64_t hash = 0;
  auto keyAt = [&record, &section](size_t at) { return record.entries_[section.begin + at].first; };
  auto keyHashAt = [&keyAt](size_t at) { return HashText(keyAt(at)); };
  if (section.keyIndex == kNone) {
    const DescriptionEntry* first = record.entries_.data() + section.begin;
    size_t end = section.size;
    while (position < end) {
      size_t middle = position + (end - position) / 2;
      if (first[middle].first.view() < key) {
        position = middle + 1;
      } else {
        end = middle;
      }
    }
    present = position < section.size && first[position].first == key;
  } else {
    hash = HashText(key);
    position = builder.keyIndexes[section.keyIndex].Find(key, hash, keyAt);
    present = position != TextIndex::kNotFound;
  }
  const char* keyText = present ? record.entries_[section.begin + position].first.data()
                                : CopyName(record.texts_, key);
  const char* valueText = nullptr;
  if (lineBuffer != nullptr && value.size() >= kTakeOverBytes && lineBuffer->Holds(value)) {
    // The key is stored by now, so the bytes before the value may take its
    // length; the buffer has room for them and for the NUL behind.
    valueText = SlotValue(lineBuffer->Writable(value), value);
    lineBuffer->GiveTo(record.texts_);
  } else if (present) {
    valueText =
        ReplaceValue(record.texts_, record.entries_[section.begin + position].second.data(), value);
  } else {
    valueText = CopyValue(record.texts_, value);
  }
  if (present) {
    record.entries_[section.begin + position].second = DescriptionText(valueText);
  } else {
    if (section.keyIndex == kNone && section.size == kIndexedFrom) {
      section.keyIndex = builder.keyIndexes.size();
      builder.keyIndexes.emplace_back();
      for (size_t at = 0; at < section.size; ++at) {
        builder.keyIndexes[section.keyIndex].Insert(keyHashAt(at), at, keyHashAt);
      }
      hash = HashText(key);
      position = section.size;
    } else if (section.keyIndex != kNone) {
      position = section.size;
    }
    Builder::MakeRoom(section, record.entries_);
    DescriptionEntry* first = record.entries_.data() + section.begin;
    std::memmove(static_cast<void*>(first + position + 1), first + position,
                 (section.size - position) * sizeof(DescriptionEntry));
    first[position] = {DescriptionText(keyText), DescriptionText(valueText)};
    ++section.size;
    if (section.keyIndex != kNone) {
      builder.keyIndexes[section.keyIndex].Insert(hash, position, keyHashAt);
    }
  }
  if (record_.verbose) {
    Print("[%s] %s = %s\n", currentName_.c_str(), keyText, valueText);
  }
}

ModDescription LoadModDescription(const std::string& path, bool verbose) {
  return LoadModDescription(path, verbose, nullptr);
}

ModDescription LoadModDescription(const std::string& path, bool verbose,
                                  DescriptionObserver* observer) {
  std::unique_ptr<std::FILE, FileCloser> file(platform::OpenFileForReading(path));
  if (!file) {
    Print("File not found: %s\n", path.c_str());
    throw -1;
  }
  DescriptionParser parser(verbose, observer);
  char first[kFirstReadSize];
  const size_t firstGot = std::fread(first, 1, kFirstReadSize, file.get());
  // A short read is the end of the file or a read error; either ends the
  // input, and the lines read so far stand.
  if (!parser.Feed(std::string_view(first, firstGot)) || firstGot < kFirstReadSize) {
    return parser.Finish();
  }
  // Not zero-filled: only the pages that are read into are touched.
  std::unique_ptr<char[]> buffer(new char[kChunkSize]);
  size_t pendingBefore = 0;
  for (;;) {
    size_t got = std::fread(buffer.get(), 1, kChunkSize, file.get());
    if (!parser.Feed(std::string_view(buffer.get(), got)) || got < kChunkSize) {
      break;
    }
    // A line has just outgrown a chunk. Growing its buffer by doubling would
    // copy it again and again into fresh memory, which costs far more than
    // reading the rest of the line twice, so the buffer is sized once.
    size_t pending = parser.PendingLineBytes();
    if (pending > kChunkSize && pendingBefore <= kChunkSize) {
      size_t ahead = 0;
      if (!MeasureRestOfLine(file.get(), buffer.get(), ahead)) {
        break;
      }
      parser.ReserveLine(pending + ahead);
    }
    pendingBefore = pending;
  }
  return parser.Finish();
}

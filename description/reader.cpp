#include "description/reader.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

#include "description/arena.h"
#include "description/record_builder.h"

namespace {

// Big enough that a file costs few reads, small enough to stay in the cache
// while its lines are parsed.
constexpr size_t kChunkSize = 1 << 18;

// A real description is a few KiB. It is read into a buffer of this size
// on the stack, and only a bigger file gets the chunk buffer, which malloc
// maps and unmaps afresh at that size.
constexpr size_t kFirstReadSize = 1 << 15;

constexpr char kCtrlZ = '\x1A';

// The offset of the first `c` in `bytes`, or bytes.size().
size_t FindByte(std::string_view bytes, char c) {
  const void* found = std::memchr(bytes.data(), c, bytes.size());
  return found == nullptr ? bytes.size()
                          : static_cast<size_t>(static_cast<const char*>(found) - bytes.data());
}

// A line whose LF hasn't arrived yet: in record blocks, so that a line of
// megabytes lies on huge pages.
using LineBuffer = RecordArray<char>;

void Append(LineBuffer& line, std::string_view bytes) {
  const size_t at = line.size();
  line.ResizeUninitialised(at + bytes.size());
  if (!bytes.empty()) {
    std::memcpy(line.data() + at, bytes.data(), bytes.size());
  }
}

std::string_view View(const LineBuffer& line) { return {line.data(), line.size()}; }

// Reads the open file through `parser`; throws std::bad_alloc.
ModDescription ReadFile(std::FILE* file, DescriptionParser& parser) {
  char first[kFirstReadSize];
  const size_t firstGot = std::fread(first, 1, kFirstReadSize, file);
  // A short read is the end of the file or a read error; either ends the
  // input, and the lines read so far stand.
  if (!parser.Feed(std::string_view(first, firstGot)) || firstGot < kFirstReadSize) {
    return parser.Finish();
  }
  // Not zero-filled: only the pages that are read into are touched.
  std::unique_ptr<char[]> buffer(new char[kChunkSize]);
  for (;;) {
    const size_t got = std::fread(buffer.get(), 1, kChunkSize, file);
    if (!parser.Feed(std::string_view(buffer.get(), got)) || got < kChunkSize) {
      return parser.Finish();
    }
  }
}

}  // namespace

class DescriptionParser::Impl {
 public:
  explicit Impl(DescriptionListener* listener) : listener_(listener) {}

  bool Feed(std::string_view bytes);
  ModDescription Finish();

 private:
  // Returns the listener's answer: whether to read on.
  bool ParseLine(std::string_view line);

  RecordBuilder builder_;
  // The bytes of a line whose LF hasn't arrived yet.
  LineBuffer partial_;
  std::string currentName_;
  bool ended_ = false;
  DescriptionListener* listener_;
  // Lines parsed so far, and bytes fed so far (for the listener).
  uint64_t lines_ = 0;
  uint64_t fed_ = 0;
};

bool DescriptionParser::Impl::Feed(std::string_view bytes) {
  if (ended_) {
    return false;
  }
  // Windows text mode ends a file at Ctrl-Z; the file is read that way on
  // every platform, so what follows the byte never reaches the line rules.
  const size_t stop = FindByte(bytes, kCtrlZ);
  if (stop < bytes.size()) {
    bytes = bytes.substr(0, stop);
    ended_ = true;
    if (listener_ != nullptr) {
      uint64_t line = lines_ + 1;
      for (size_t at = FindByte(bytes, '\n'); at < bytes.size();
           at += 1 + FindByte(bytes.substr(at + 1), '\n')) {
        ++line;
      }
      listener_->OnCtrlZ(line, fed_ + stop);
    }
  }
  fed_ += bytes.size();
  size_t lineStart = 0;
  for (;;) {
    const size_t lineEnd = lineStart + FindByte(bytes.substr(lineStart), '\n');
    if (lineEnd == bytes.size()) {
      break;
    }
    // Usually the whole line lies in this piece and is parsed in place.
    std::string_view line = bytes.substr(lineStart, lineEnd - lineStart);
    if (partial_.size() != 0) {
      Append(partial_, line);
      line = View(partial_);
    }
    // Text mode hands over CR LF as a plain LF.
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
    if (!ParseLine(line)) {
      // The rest of the input, the line under way included, goes unread.
      ended_ = true;
      partial_.Reset();
      return false;
    }
    // Keeps the capacity: the next long line reuses it.
    partial_.ResizeUninitialised(0);
    lineStart = lineEnd + 1;
  }
  Append(partial_, bytes.substr(lineStart));
  return !ended_;
}

ModDescription DescriptionParser::Impl::Finish() {
  // The last line has no LF and so no CR LF pair either: a CR at its end
  // stays, as in text mode, until trimming removes it.
  if (partial_.size() != 0) {
    ParseLine(View(partial_));
  }
  partial_.Reset();
  ModDescription record;
  record.sections = builder_.Finish();
  return record;
}

bool DescriptionParser::Impl::ParseLine(std::string_view line) {
  const ClassifiedLine classified = ClassifyLine(line);
  const uint64_t number = ++lines_;
  RecordBuilder::Stored stored;
  if (classified.kind == DescriptionLineKind::kKey) {
    stored = builder_.StoreKey(currentName_, classified.key, classified.value, number);
  } else if (classified.kind == DescriptionLineKind::kHeader) {
    currentName_.assign(classified.name);
    builder_.StartSection(number);
  }
  if (listener_ == nullptr) {
    return true;
  }
  DescriptionLine told;
  told.number = number;
  told.kind = classified.kind;
  told.section = currentName_;
  if (classified.kind == DescriptionLineKind::kKey) {
    // The stored texts, which have the NUL behind them that the line lacks.
    told.key = stored.key;
    told.value = stored.value;
    told.replacedLine = stored.replacedLine;
    told.replacedSame = stored.replacedSame;
  } else {
    told.text = classified.text;
  }
  return listener_->OnLine(told);
}

DescriptionParser::DescriptionParser(DescriptionListener* listener)
    : impl_(std::make_unique<Impl>(listener)) {}
DescriptionParser::DescriptionParser(DescriptionParser&&) noexcept = default;
DescriptionParser& DescriptionParser::operator=(DescriptionParser&&) noexcept = default;
DescriptionParser::~DescriptionParser() = default;

bool DescriptionParser::Feed(std::string_view bytes) { return impl_->Feed(bytes); }

ModDescription DescriptionParser::Finish() { return impl_->Finish(); }

FileStatus LoadModDescription(const std::string& path, ModDescription& description,
                              DescriptionListener* listener) {
  description = ModDescription();
  FileStatus status = FileStatus::kRead;
  const OpenFile file = OpenRegularFile(path, status);
  if (file == nullptr) {
    return status;
  }
  try {
    DescriptionParser parser(listener);
    description = ReadFile(file.get(), parser);
  } catch (const std::bad_alloc&) {
    // Listeners answer instead of throwing: the memory was the record's.
    return FileStatus::kTooBig;
  }
  return FileStatus::kRead;
}

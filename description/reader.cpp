#include "description/reader.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>

#include "console/console.h"
#include "platform/platform.h"

namespace {

// Big enough that a file costs few reads, small enough to stay in the cache
// while its lines are parsed.
constexpr size_t kChunkSize = 1 << 18;

// From this length on a value that arrived in the parser's line buffer takes
// that buffer over instead of being copied: for a huge line the fresh pages
// of a copy cost far more than moving the value to the front of the buffer.
constexpr size_t kTakeOverBytes = 1 << 20;

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
// file) and goes back to where it was. Sets `ahead` to the bytes until that
// end, 0 when the stream can't tell its position. Returns false when the
// stream couldn't go back; its position is then lost.
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
    if (end < got || got < kChunkSize) {
      break;
    }
  }
  return std::fsetpos(file, &start) == 0;
}

}  // namespace

std::string TrimWhitespace(std::string_view text) { return std::string(TrimView(text)); }

DescriptionParser::DescriptionParser(bool verbose) { record_.verbose = verbose; }

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
  }
  size_t lineStart = 0;
  for (;;) {
    size_t lineEnd = lineStart + FindByte(bytes.substr(lineStart), '\n');
    if (lineEnd == bytes.size()) {
      break;
    }
    // Usually the whole line lies in this piece and is parsed in place.
    std::string_view line = bytes.substr(lineStart, lineEnd - lineStart);
    std::string* lineBuffer = nullptr;
    if (!partial_.empty()) {
      partial_.append(line);
      line = partial_;
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
  // stays, as in text mode, until trimming removes it.
  ParseLine(partial_, &partial_);
  partial_ = std::string();
  return std::move(record_);
}

void DescriptionParser::ParseLine(std::string_view line, std::string* lineBuffer) {
  line = TrimView(line);
  if (line.size() < 2) {
    return;
  }
  size_t equals = line.find('=');
  if (equals != std::string_view::npos) {
    StoreKey(TrimView(line.substr(0, equals)), TrimView(line.substr(equals + 1)), lineBuffer);
  } else if (line.front() == '[' && line.back() == ']') {
    currentName_.assign(TrimView(line.substr(1, line.size() - 2)));
    currentSection_ = nullptr;
    if (record_.verbose) {
      Print("Parsing [%s]\n", currentName_.c_str());
    }
  }
}

void DescriptionParser::StoreKey(std::string_view key, std::string_view value,
                                 std::string* lineBuffer) {
  if (currentSection_ == nullptr) {
    auto& sections = record_.sections;
    auto it = sections.lower_bound(currentName_);
    if (it == sections.end() || sections.key_comp()(currentName_, it->first)) {
      it = sections.emplace_hint(it, currentName_, DescriptionSection());
    }
    currentSection_ = &it->second;
  }
  // The map's comparator takes only std::string, so the key is built once
  // for the lookup and then moved into a new entry.
  std::string keyText(key);
  auto it = currentSection_->lower_bound(keyText);
  bool present = it != currentSection_->end() && !currentSection_->key_comp()(keyText, it->first);
  if (lineBuffer != nullptr && value.size() >= kTakeOverBytes) {
    size_t offset = static_cast<size_t>(value.data() - lineBuffer->data());
    std::string taken = std::move(*lineBuffer);
    lineBuffer->clear();
    taken.erase(0, offset);
    taken.resize(value.size());
    if (present) {
      it->second = std::move(taken);
    } else {
      it = currentSection_->emplace_hint(it, std::move(keyText), std::move(taken));
    }
  } else if (present) {
    // Reuses the old value's storage, which repeated headers make common.
    it->second.assign(value);
  } else {
    it = currentSection_->emplace_hint(it, std::move(keyText), value);
  }
  if (record_.verbose) {
    Print("[%s] %s = %s\n", currentName_.c_str(), it->first.c_str(), it->second.c_str());
  }
}

ModDescription LoadModDescription(const std::string& path, bool verbose) {
  std::unique_ptr<std::FILE, FileCloser> file(platform::OpenFileForReading(path));
  if (!file) {
    Print("File not found: %s\n", path.c_str());
    throw -1;
  }
  DescriptionParser parser(verbose);
  // Not zero-filled: a typical description of a few KiB then touches only
  // the pages it is read into, not the whole chunk.
  std::unique_ptr<char[]> buffer(new char[kChunkSize]);
  size_t pendingBefore = 0;
  for (;;) {
    size_t got = std::fread(buffer.get(), 1, kChunkSize, file.get());
    // A short read is the end of the file or a read error; either ends the
    // input, and the lines read so far stand.
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

// The reader's buffer for a line that spans pieces of the input.
#ifndef MODPUBLISH_DESCRIPTION_LINE_BUFFER_H_
#define MODPUBLISH_DESCRIPTION_LINE_BUFFER_H_

#include <cstddef>
#include <cstring>
#include <string_view>
#include <utility>

#include "description/arena.h"
#include "description/text_layout.h"

// The bytes of a line whose LF hasn't arrived yet, in a record block with
// room in front of them and one byte behind, so that a long value can stay
// where it was read: the arena takes the block over and the value's length
// goes in front of it, its closing NUL behind it.
class LineBuffer {
 public:
  // Room before the line: a value starts after its key's '=', so this is
  // enough for the longest head a value can have (text_layout.h).
  static constexpr size_t kHeadroom = kMaxValueHeadBytes;

  LineBuffer() = default;
  LineBuffer(LineBuffer&& other) noexcept
      : block_(std::exchange(other.block_, nullptr)),
        blockBytes_(std::exchange(other.blockBytes_, 0)),
        size_(std::exchange(other.size_, 0)) {}
  LineBuffer& operator=(LineBuffer&& other) noexcept {
    if (this != &other) {
      RecordBlock::Free(block_, blockBytes_);
      block_ = std::exchange(other.block_, nullptr);
      blockBytes_ = std::exchange(other.blockBytes_, 0);
      size_ = std::exchange(other.size_, 0);
    }
    return *this;
  }
  LineBuffer(const LineBuffer&) = delete;
  LineBuffer& operator=(const LineBuffer&) = delete;
  ~LineBuffer() { RecordBlock::Free(block_, blockBytes_); }

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  size_t capacity() const { return blockBytes_ == 0 ? 0 : blockBytes_ - kHeadroom - 1; }
  std::string_view view() const {
    return block_ == nullptr ? std::string_view() : std::string_view(block_ + kHeadroom, size_);
  }
  void clear() { size_ = 0; }

  void append(std::string_view bytes) {
    if (bytes.size() > capacity() - size_) {
      reserve(size_ + bytes.size() > 2 * capacity() ? size_ + bytes.size() : 2 * capacity());
    }
    if (!bytes.empty()) {
      std::memcpy(block_ + kHeadroom + size_, bytes.data(), bytes.size());
      size_ += bytes.size();
    }
  }

  // Makes room for a line of `bytes` bytes in all.
  void reserve(size_t bytes) {
    if (bytes <= capacity()) {
      return;
    }
    const size_t blockBytes = RecordBlock::Rounded(kHeadroom + bytes + 1);
    char* block = RecordBlock::Allocate(blockBytes);
    if (size_ > 0) {
      std::memcpy(block + kHeadroom, block_ + kHeadroom, size_);
    }
    RecordBlock::Free(block_, blockBytes_);
    block_ = block;
    blockBytes_ = blockBytes;
  }

  // Whether `text` lies in the line held here.
  bool Holds(std::string_view text) const {
    return block_ != nullptr && text.data() >= block_ + kHeadroom &&
           text.data() + text.size() <= block_ + kHeadroom + size_;
  }

  // The writable bytes of `text`, which Holds() has confirmed lie here.
  char* Writable(std::string_view text) {
    return block_ + (text.data() - static_cast<const char*>(block_));
  }

  // Hands the block over to `arena`; the buffer is left empty, without
  // memory. Views of the line stay valid as long as the arena.
  void GiveTo(RecordArena& arena) {
    arena.Adopt(std::exchange(block_, nullptr), std::exchange(blockBytes_, 0));
    size_ = 0;
  }

 private:
  char* block_ = nullptr;
  size_t blockBytes_ = 0;
  size_t size_ = 0;
};

#endif  // MODPUBLISH_DESCRIPTION_LINE_BUFFER_H_

#include "description/arena.h"

#include <cstdlib>
#include <new>

#include "platform/platform.h"

namespace {

// The largest block the arena asks for in one go; a single string longer
// than that still gets a block of its own size.
constexpr size_t kMaxArenaBlockBytes = size_t{256} << 20;

}  // namespace

char* RecordBlock::Allocate(size_t bytes) {
  void* block = bytes >= kLargeBytes ? platform::AllocateLargeBlock(bytes) : std::malloc(bytes);
  if (block == nullptr) {
    throw std::bad_alloc();
  }
  return static_cast<char*>(block);
}

void RecordBlock::Free(char* block, size_t bytes) {
  if (bytes >= kLargeBytes) {
    platform::FreeLargeBlock(block, bytes);
  } else {
    std::free(block);
  }
}

RecordArena::RecordArena(RecordArena&& other) noexcept
    : blocks_(std::move(other.blocks_)),
      next_(std::exchange(other.next_, nullptr)),
      end_(std::exchange(other.end_, nullptr)),
      nextBlockBytes_(other.nextBlockBytes_) {
  other.blocks_.clear();
}

RecordArena& RecordArena::operator=(RecordArena&& other) noexcept {
  if (this != &other) {
    Release();
    blocks_ = std::move(other.blocks_);
    other.blocks_.clear();
    next_ = std::exchange(other.next_, nullptr);
    end_ = std::exchange(other.end_, nullptr);
    nextBlockBytes_ = other.nextBlockBytes_;
  }
  return *this;
}

RecordArena::~RecordArena() { Release(); }

void RecordArena::Release() {
  for (const Owned& owned : blocks_) {
    RecordBlock::Free(owned.block, owned.bytes);
  }
  blocks_.clear();
}

char* RecordArena::AllocateSlow(size_t bytes) {
  blocks_.reserve(blocks_.size() + 1);
  // A string that is big for the blocks of the moment gets a block of its
  // own, and the current block keeps serving the small ones.
  if (bytes > nextBlockBytes_ / 4) {
    char* block = RecordBlock::Allocate(bytes);
    blocks_.push_back({block, bytes});
    return block;
  }
  // What is left of the current block is given up; with the blocks
  // doubling, that is a small share, and of a large block it stays
  // untouched and costs no memory.
  const size_t blockBytes = RecordBlock::Rounded(nextBlockBytes_);
  char* block = RecordBlock::Allocate(blockBytes);
  blocks_.push_back({block, blockBytes});
  if (nextBlockBytes_ < kMaxArenaBlockBytes) {
    nextBlockBytes_ = blockBytes * 2;
  }
  next_ = block + bytes;
  end_ = block + blockBytes;
  return block;
}

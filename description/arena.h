// Where a ModDescription keeps its bytes: a few big blocks instead of a heap
// node per name, key and value. A fresh page costs a page fault, and on the
// machines the tool runs on a fault costs far more than the parsing of the
// bytes that fill the page, so the record asks for few, large blocks, and
// from RecordBlock::kLargeBytes on for blocks on huge pages.
#ifndef MODPUBLISH_DESCRIPTION_ARENA_H_
#define MODPUBLISH_DESCRIPTION_ARENA_H_

#include <cstddef>
#include <cstring>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

// One block of memory owned by the record: small blocks from the heap,
// large ones from platform::AllocateLargeBlock. Uninitialised.
struct RecordBlock {
  // From this size on a block is large: even a record that fills only part
  // of it saves page faults.
  static constexpr size_t kLargeBytes = size_t{2} << 20;

  // The size to ask for when a structure needs `bytes`: up to 256 KiB as
  // asked, beyond that rounded up to large blocks. A structure that has
  // grown that far is likely to grow on, and the base pages from there to
  // kLargeBytes would cost as many faults as all the huge pages after them.
  static size_t Rounded(size_t bytes) {
    return bytes <= (size_t{256} << 10) ? bytes : (bytes + kLargeBytes - 1) & ~(kLargeBytes - 1);
  }

  // Throws std::bad_alloc when there is no memory, as operator new does.
  static char* Allocate(size_t bytes);
  // Releases a block from Allocate of that many bytes; null is ignored.
  static void Free(char* block, size_t bytes);
};

// A bump allocator for the record's strings. It hands out unaligned byte
// ranges that stay where they are until the arena is destroyed; nothing is
// freed on its own.
class RecordArena {
 public:
  RecordArena() = default;
  RecordArena(RecordArena&& other) noexcept;
  RecordArena& operator=(RecordArena&& other) noexcept;
  RecordArena(const RecordArena&) = delete;
  RecordArena& operator=(const RecordArena&) = delete;
  ~RecordArena();

  // Returns `bytes` bytes of uninitialised memory.
  char* Allocate(size_t bytes) {
    if (bytes > static_cast<size_t>(end_ - next_)) {
      return AllocateSlow(bytes);
    }
    char* at = next_;
    next_ += bytes;
    return at;
  }

 private:
  char* AllocateSlow(size_t bytes);
  void Release();

  struct Owned {
    char* block;
    size_t bytes;
  };
  std::vector<Owned> blocks_;
  char* next_ = nullptr;
  char* end_ = nullptr;
  // The size of the next block: blocks double, so a record of any size
  // takes a few dozen of them at most.
  size_t nextBlockBytes_ = size_t{16} << 10;
};

// A growable array of trivially copyable elements in record blocks: what
// std::vector does, without value-initialising what it grows by and with
// large arrays on huge pages.
template <class T>
class RecordArray {
  static_assert(std::is_trivially_copyable<T>::value && std::is_trivially_destructible<T>::value,
                "RecordArray moves its elements with memcpy");

 public:
  RecordArray() = default;
  RecordArray(RecordArray&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)),
        size_(std::exchange(other.size_, 0)),
        capacity_(std::exchange(other.capacity_, 0)) {}
  RecordArray& operator=(RecordArray&& other) noexcept {
    if (this != &other) {
      RecordBlock::Free(reinterpret_cast<char*>(data_), capacity_ * sizeof(T));
      data_ = std::exchange(other.data_, nullptr);
      size_ = std::exchange(other.size_, 0);
      capacity_ = std::exchange(other.capacity_, 0);
    }
    return *this;
  }
  RecordArray(const RecordArray&) = delete;
  RecordArray& operator=(const RecordArray&) = delete;
  ~RecordArray() { RecordBlock::Free(reinterpret_cast<char*>(data_), capacity_ * sizeof(T)); }

  T* data() { return data_; }
  const T* data() const { return data_; }
  size_t size() const { return size_; }
  T& operator[](size_t i) { return data_[i]; }
  const T& operator[](size_t i) const { return data_[i]; }

  void push_back(const T& value) {
    if (size_ == capacity_) {
      Grow(size_ + 1);
    }
    data_[size_++] = value;
  }

  // Grows or shrinks to `size` elements; new ones are uninitialised.
  void ResizeUninitialised(size_t size) {
    if (size > capacity_) {
      Grow(size);
    }
    size_ = size;
  }

  // Drops the elements and the memory.
  void Reset() { *this = RecordArray(); }

 private:
  void Grow(size_t atLeast) {
    size_t capacity = capacity_ == 0 ? 16 : capacity_ * 2;
    if (capacity < atLeast) {
      capacity = atLeast;
    }
    capacity = RecordBlock::Rounded(capacity * sizeof(T)) / sizeof(T);
    T* data = reinterpret_cast<T*>(RecordBlock::Allocate(capacity * sizeof(T)));
    if (size_ > 0) {
      std::memcpy(static_cast<void*>(data), data_, size_ * sizeof(T));
    }
    RecordBlock::Free(reinterpret_cast<char*>(data_), capacity_ * sizeof(T));
    data_ = data;
    capacity_ = capacity;
  }

  T* data_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

#endif  // MODPUBLISH_DESCRIPTION_ARENA_H_

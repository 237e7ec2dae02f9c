// Finds the record's section names and the keys of its biggest sections
// while it is built: an open-addressing hash index over positions.
//
// The hash is keyed with a secret drawn once per run from the system's
// random source: a file crafted so that many names share a probe cluster
// (which makes reading quadratic) can only be made by someone who knows
// that key. Nothing that the record holds or prints depends on it: the
// index only finds, the record is sorted by bytes.
#ifndef MODPUBLISH_DESCRIPTION_TEXT_INDEX_H_
#define MODPUBLISH_DESCRIPTION_TEXT_INDEX_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>

#include "description/arena.h"

// The secret of the hash.
struct HashKey {
  uint64_t k0 = 0;
  uint64_t k1 = 0;
};

// The key of this run, drawn from the system's random source on first use.
HashKey RunHashKey();

// SipHash-1-3 of `text` under `key`: a keyed hash whose output can't be
// steered without the key.
uint64_t HashText(std::string_view text, const HashKey& key);

// Positions found by the hash of their text. The caller computes hashes and
// says where the text at a position is, so the index holds 8 bytes a slot:
// the hash's top bits and the position + 1 (0 marks a free slot).
class TextIndex {
 public:
  static constexpr size_t kNotFound = ~size_t{0};

  // The position whose text is `text`, or kNotFound. `textAt(position)`
  // gives the text at a position.
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

#endif  // MODPUBLISH_DESCRIPTION_TEXT_INDEX_H_

#include "tests/support/crafted_keys.h"

#include <cstring>

namespace {

constexpr uint64_t kStart = 0x9E3779B97F4A7C15u;
constexpr uint64_t kMix1 = 0xBF58476D1CE4E5B9u;
constexpr uint64_t kMix2 = 0x94D049BB133111EBu;

// The multiplicative inverse of an odd number modulo 2^64 (Newton's method:
// each step doubles the correct low bits).
uint64_t Inverse(uint64_t odd) {
  uint64_t inverse = odd;
  for (int i = 0; i < 6; ++i) {
    inverse *= 2 - odd * inverse;
  }
  return inverse;
}

// The x for which x ^ (x >> shift) is `y`.
uint64_t UndoShiftXor(uint64_t y, unsigned shift) {
  uint64_t x = y;
  for (unsigned s = shift; s < 64; s += shift) {
    x ^= y >> s;
  }
  return x;
}

bool Usable(unsigned char byte) { return byte > 0x20 && byte != '=' && byte != 0x7F; }

}  // namespace

uint64_t UnkeyedHash(std::string_view text) {
  uint64_t hash = kStart ^ text.size();
  size_t at = 0;
  for (; at + 8 <= text.size(); at += 8) {
    uint64_t word = 0;
    std::memcpy(&word, text.data() + at, 8);
    hash = (hash ^ word) * kMix1;
    hash ^= hash >> 31;
  }
  uint64_t word = 0;
  std::memcpy(&word, text.data() + at, text.size() - at);
  hash = (hash ^ word) * kMix2;
  hash ^= hash >> 29;
  hash *= kMix1;
  return hash ^ (hash >> 32);
}

std::vector<std::string> CraftKeysForUnkeyedHash(size_t count) {
  std::vector<std::string> keys;
  // Every hash whose low 24 bits are 0, run backwards through the steps of
  // UnkeyedHash for an 8-byte text; the word that comes out is the text.
  for (uint64_t high = 1; keys.size() < count; ++high) {
    uint64_t hash = high << 24;
    hash = UndoShiftXor(hash, 32) * Inverse(kMix1);
    hash = UndoShiftXor(hash, 29) * Inverse(kMix2);
    const uint64_t word = (UndoShiftXor(hash, 31) * Inverse(kMix1)) ^ (kStart ^ 8);
    std::string key(8, '\0');
    std::memcpy(key.data(), &word, 8);
    bool usable = true;
    for (char c : key) {
      usable = usable && Usable(static_cast<unsigned char>(c));
    }
    if (usable) {
      keys.push_back(key);
    }
  }
  return keys;
}

std::vector<std::string> KeysDifferingInHighBytes(size_t count) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_-";
  std::vector<std::string> keys;
  // 64^3 of them at most.
  for (uint32_t n = 0; keys.size() < count && n < 64 * 64 * 64; ++n) {
    keys.push_back(std::string("weak_key_tail") + kDigits[n % 64] + kDigits[n / 64 % 64] +
                   kDigits[n / 4096]);
  }
  return keys;
}

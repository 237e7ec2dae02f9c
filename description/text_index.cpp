#include "description/text_index.h"

#include "platform/platform.h"

namespace {

uint64_t RotateLeft(uint64_t x, unsigned bits) { return (x << bits) | (x >> (64 - bits)); }

struct SipState {
  uint64_t v0, v1, v2, v3;

  void Round() {
    v0 += v1;
    v1 = RotateLeft(v1, 13);
    v1 ^= v0;
    v0 = RotateLeft(v0, 32);
    v2 += v3;
    v3 = RotateLeft(v3, 16);
    v3 ^= v2;
    v0 += v3;
    v3 = RotateLeft(v3, 21);
    v3 ^= v0;
    v2 += v1;
    v1 = RotateLeft(v1, 17);
    v1 ^= v2;
    v2 = RotateLeft(v2, 32);
  }

  void Absorb(uint64_t word) {
    v3 ^= word;
    Round();
    v0 ^= word;
  }
};

}  // namespace

HashKey RunHashKey() {
  static const HashKey key = [] {
    HashKey drawn;
    platform::FillRandom(&drawn, sizeof drawn);
    return drawn;
  }();
  return key;
}

uint64_t HashText(std::string_view text, const HashKey& key) {
  SipState state{key.k0 ^ 0x736F6D6570736575u, key.k1 ^ 0x646F72616E646F6Du,
                 key.k0 ^ 0x6C7967656E657261u, key.k1 ^ 0x7465646279746573u};
  size_t at = 0;
  for (; at + 8 <= text.size(); at += 8) {
    uint64_t word = 0;
    std::memcpy(&word, text.data() + at, 8);
    state.Absorb(word);
  }
  uint64_t last = static_cast<uint64_t>(text.size() & 0xFF) << 56;
  for (size_t i = 0; at + i < text.size(); ++i) {
    last |= static_cast<uint64_t>(static_cast<unsigned char>(text[at + i])) << (8 * i);
  }
  state.Absorb(last);
  state.v2 ^= 0xFF;
  state.Round();
  state.Round();
  state.Round();
  return state.v0 ^ state.v1 ^ state.v2 ^ state.v3;
}

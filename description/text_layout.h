// How the record lays out a text in its arena, so that a DescriptionText is
// one pointer to its first byte:
//
//   name or key:  [length][bytes][NUL]
//   value:        [room][line][length][bytes][NUL][free bytes]
//
// Numbers are written backwards from where they end, 7 bits a byte, the
// lowest bits nearest, with the high bit of a byte set when another byte of
// the number comes before it; so each can be read from the address it ends
// at. A value's `room` counts the bytes from its line to the end of its
// free bytes: a later value of the same key that fits takes the slot over
// (repeated sections replace values all the time). `line` is the line of the
// file that set the value. This file is the one place that knows this.
#ifndef MODPUBLISH_DESCRIPTION_TEXT_LAYOUT_H_
#define MODPUBLISH_DESCRIPTION_TEXT_LAYOUT_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "description/arena.h"

// The most bytes a number takes.
constexpr size_t kMaxNumberBytes = 10;

// The bytes that `number` takes.
inline size_t NumberBytes(uint64_t number) {
  size_t bytes = 1;
  for (; number >= 0x80; number >>= 7) {
    ++bytes;
  }
  return bytes;
}

// Writes `number` into the NumberBytes(number) bytes that end at `end`.
inline void PutNumber(char* end, uint64_t number) {
  auto* at = reinterpret_cast<unsigned char*>(end);
  do {
    *--at = static_cast<unsigned char>((number & 0x7Fu) | (number >= 0x80 ? 0x80u : 0u));
    number >>= 7;
  } while (number != 0);
}

// Reads the number that ends at `end`; adds the bytes it takes to `bytes`.
inline uint64_t ReadNumber(const char* end, size_t& bytes) {
  const auto* at = reinterpret_cast<const unsigned char*>(end) - 1;
  uint64_t number = *at & 0x7Fu;
  ++bytes;
  for (unsigned shift = 7; (*at & 0x80u) != 0; shift += 7) {
    --at;
    number |= static_cast<uint64_t>(*at & 0x7Fu) << shift;
    ++bytes;
  }
  return number;
}

// The size of the text whose first byte is at `data`.
inline size_t TextSize(const char* data) {
  size_t bytes = 0;
  return static_cast<size_t>(ReadNumber(data, bytes));
}

// The line of the value whose first byte is at `data`.
uint64_t ValueLine(const char* data);

// A copy of `name` (a section name or a key) in `arena`; returns its data.
const char* PutName(RecordArena& arena, std::string_view name);

// A copy of `value`, set on `line`, in a slot of its own size in `arena`.
const char* PutValue(RecordArena& arena, std::string_view value, uint64_t line);

// `value`, set on `line`, in the slot of the value at `old` when it fits
// there, else in a new slot.
const char* ReplaceValue(RecordArena& arena, const char* old, std::string_view value,
                         uint64_t line);

#endif  // MODPUBLISH_DESCRIPTION_TEXT_LAYOUT_H_

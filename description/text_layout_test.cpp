#include "description/text_layout.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

TEST(TextLayoutTest, NumbersRoundTripAtEveryWidth) {
  for (uint64_t number : {uint64_t{0}, uint64_t{1}, uint64_t{127}, uint64_t{128}, uint64_t{16383},
                          uint64_t{16384}, uint64_t{1} << 35, UINT64_MAX - 1, UINT64_MAX}) {
    char buffer[kMaxNumberBytes + 1] = {};
    char* end = buffer + kMaxNumberBytes;
    PutNumber(end, number);
    size_t bytes = 0;
    EXPECT_EQ(ReadNumber(end, bytes), number);
    EXPECT_EQ(bytes, NumberBytes(number)) << number;
    EXPECT_LE(bytes, kMaxNumberBytes);
  }
}

TEST(TextLayoutTest, ValuesKeepSizeAndLineWhereverTheyLand) {
  RecordArena arena;
  const char* name = PutName(arena, std::string(200, 'n'));
  EXPECT_EQ(TextSize(name), 200u);
  EXPECT_EQ(name[200], '\0');

  const std::string long_(300, 'v');
  const char* value = PutValue(arena, long_, 5);
  EXPECT_EQ(std::string(value, TextSize(value)), long_);
  EXPECT_EQ(ValueLine(value), 5u);
  // A shorter value on a later line takes the slot over; a longer one, or
  // one whose line takes more bytes than the slot has left, can't.
  const char* shorter = ReplaceValue(arena, value, "short", 1u << 20);
  EXPECT_TRUE(shorter > value - 3 * kMaxNumberBytes && shorter < value + long_.size());
  EXPECT_EQ(std::string(shorter, TextSize(shorter)), "short");
  EXPECT_EQ(ValueLine(shorter), 1u << 20);
  EXPECT_EQ(shorter[5], '\0');
  const char* longer = ReplaceValue(arena, shorter, long_ + "x", 7);
  EXPECT_EQ(std::string(longer, TextSize(longer)), long_ + "x");
  EXPECT_EQ(ValueLine(longer), 7u);
}

}  // namespace

#include "description/text_index.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "description/record_builder.h"
#include "tests/support/crafted_keys.h"

namespace {

// How many of `keys` land in distinct buckets of a table of 2^16 slots, the
// size of an index of some 30,000 names.
size_t Buckets(const std::vector<std::string>& keys, const HashKey& key, bool keyed) {
  std::set<uint64_t> buckets;
  for (const std::string& text : keys) {
    buckets.insert((keyed ? HashText(text, key) : UnkeyedHash(text)) & 0xFFFF);
  }
  return buckets.size();
}

TEST(TextIndexTest, CraftedKeysSpreadUnderTheKeyedHash) {
  // 4096 texts thrown at random into 65536 buckets fill about 3970 of them;
  // keys in one probe cluster fill 1.
  const std::vector<std::string> crafted = CraftKeysForUnkeyedHash(4096);
  const std::vector<std::string> weak = KeysDifferingInHighBytes(4096);
  EXPECT_EQ(Buckets(crafted, HashKey(), false), 1u) << "the attack on the unkeyed hash";
  for (const HashKey& key : {RunHashKey(), HashKey{1, 2}, HashKey()}) {
    EXPECT_GT(Buckets(crafted, key, true), 3800u);
    EXPECT_GT(Buckets(weak, key, true), 3800u);
  }
}

TEST(TextIndexTest, FindsWhatWasInsertedWhateverTheKey) {
  const std::vector<std::string> texts = CraftKeysForUnkeyedHash(3000);
  for (const HashKey& key : {RunHashKey(), HashKey{3, 4}}) {
    TextIndex index;
    auto textAt = [&texts](size_t at) { return std::string_view(texts[at]); };
    auto hashAt = [&texts, &key](size_t at) { return HashText(texts[at], key); };
    for (size_t at = 0; at < texts.size(); ++at) {
      ASSERT_EQ(index.Find(texts[at], hashAt(at), textAt), TextIndex::kNotFound);
      index.Insert(hashAt(at), at, hashAt);
    }
    for (size_t at = 0; at < texts.size(); ++at) {
      ASSERT_EQ(index.Find(texts[at], hashAt(at), textAt), at);
    }
    EXPECT_EQ(index.Find("absent", HashText("absent", key), textAt), TextIndex::kNotFound);
  }
}

TEST(TextIndexTest, RecordDoesNotDependOnTheKey) {
  // Sections and a section big enough to have an index of its own, built
  // under two keys.
  const std::vector<std::string> names = CraftKeysForUnkeyedHash(200);
  auto build = [&names](const HashKey& key) {
    RecordBuilder builder(key);
    uint64_t line = 0;
    for (const std::string& name : names) {
      builder.StartSection(++line);
      builder.StoreKey(name, "title", name, ++line);
      builder.StartSection(++line);
      builder.StoreKey("big", name, "v", ++line);
    }
    return builder.Finish();
  };
  EXPECT_TRUE(build(HashKey{1, 2}) == build(HashKey{5, 6}));
}

}  // namespace

// Keys crafted to fall into one probe cluster of the description reader's
// hash index, which makes reading quadratic: the attack that keying the
// hash (description/text_index.h) defends against. For its tests and for
// the benchmark's crafted files.
#ifndef MODPUBLISH_TESTS_SUPPORT_CRAFTED_KEYS_H_
#define MODPUBLISH_TESTS_SUPPORT_CRAFTED_KEYS_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The index's hash as it was before it was keyed: one fixed function of the
// text, and for an 8-byte text every step of it can be inverted.
uint64_t UnkeyedHash(std::string_view text);

// `count` distinct 8-byte texts whose UnkeyedHash values share their low 24
// bits, made by inverting it. No byte is a control byte, a space or '=', so
// each is a key ("<text> = v") or a section name ("[<text>]") as it stands.
std::vector<std::string> CraftKeysForUnkeyedHash(size_t count);

// `count` distinct 16-byte texts that differ only in bytes 13 to 15, the
// high bytes of their last word, which a multiply-and-shift hash mixes
// least; the same byte rules hold.
std::vector<std::string> KeysDifferingInHighBytes(size_t count);

#endif  // MODPUBLISH_TESTS_SUPPORT_CRAFTED_KEYS_H_

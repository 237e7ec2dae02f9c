// The description files the benchmarks read, generated on the spot with
// CR LF line ends, the same bytes on every run.
#ifndef MODPUBLISH_BENCH_INPUTS_H_
#define MODPUBLISH_BENCH_INPUTS_H_

#include <cstddef>
#include <string>
#include <vector>

// Writes sections like those of a real mod (a header, then a title, a
// description of a few dozen to a few hundred bytes, a version, an author
// and tags) until the file holds at least `bytes` bytes. With
// `uniqueNames` every section has a name of its own ("en_41"), so the
// record ends up holding the whole file, the case that costs the most
// memory; without, the 26 language codes repeat, so later sections only
// replace values and the record stays small. Returns the file's size, 0 on
// failure.
size_t WriteTypicalDescription(const std::string& path, size_t bytes, bool uniqueNames);

// Writes sections under names that never repeat ("en_41"), each with a
// title, a description and six other keys, every value 3 to 30 words,
// until the file holds at least `bytes` bytes: the record holds nearly the
// whole file in many small texts. Returns the file's size, 0 on failure.
size_t WriteUniqueSectionsDescription(const std::string& path, size_t bytes);

// Writes one key line whose value makes the file `bytes` bytes long, with
// no header: a description pasted as one huge line. Returns the file's
// size, 0 on failure.
size_t WriteSingleLineDescription(const std::string& path, size_t bytes);

// Writes a section for each of the 26 language codes the tool knows, each
// with a title, a description and three other keys: a real mod's file, a
// few KB. Returns the file's size, 0 on failure.
size_t WriteAllLanguagesDescription(const std::string& path);

// Writes "[en]", "title = a" and `lines` lines holding just "x", which the
// reader ignores and the checker finds fault with one by one. Returns the
// file's size, 0 on failure.
size_t WriteIgnoredLinesDescription(const std::string& path, size_t lines);

// Writes `sections` sections of one key each ("[s41]", "k=v"), none of
// them a language: the most sections per byte. Returns the file's size, 0
// on failure.
size_t WriteTinySectionsDescription(const std::string& path, size_t sections);

// Writes `names` as keys of one section ("[en]", "<name> = v") when
// `asKeys`, else as section names of one key each ("[<name>]", "k = v").
// Returns the file's size, 0 on failure.
size_t WriteNamesDescription(const std::string& path, const std::vector<std::string>& names,
                             bool asKeys);

#endif  // MODPUBLISH_BENCH_INPUTS_H_

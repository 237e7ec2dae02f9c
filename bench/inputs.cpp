#include "bench/inputs.h"

#include <cstdint>
#include <fstream>

namespace {

constexpr const char* kWords[] = {
    "lantern", "village", "road",  "dusk",    "oil",    "store",  "dawn",   "refill",
    "save",    "works",   "adds",  "light",   "night",  "burns",  "along",  "every",
    "market",  "bridge",  "river", "harvest", "winter", "forest", "castle", "guard",
    "quest",   "reward",  "sword", "shield",  "potion", "map",    "tower",  "gate"};
constexpr size_t kWordCount = sizeof kWords / sizeof kWords[0];

constexpr const char* kLanguages[] = {"bg", "cs", "da", "de", "el", "en", "es", "fi",   "fr",
                                      "hu", "it", "ja", "ko", "nl", "no", "pl", "pt",   "pt_BR",
                                      "ro", "ru", "sv", "th", "tr", "uk", "zh", "zh_TW"};

// A fixed linear congruential sequence: the same file on every run.
class Sequence {
 public:
  uint32_t Next(uint32_t bound) {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<uint32_t>((state_ >> 33) % bound);
  }

 private:
  uint64_t state_ = 0x5EED;
};

void AppendWords(std::string& out, Sequence& sequence, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    if (i > 0) {
      out += ' ';
    }
    out += kWords[sequence.Next(kWordCount)];
  }
}

// One section as a mod author writes it, spacing around '=' included.
void AppendSection(std::string& out, Sequence& sequence, const std::string& name) {
  out += "[" + name + "]\r\n";
  out += "title = ";
  AppendWords(out, sequence, 2 + sequence.Next(5));
  out += "\r\ndescription = ";
  AppendWords(out, sequence, 8 + sequence.Next(60));
  out += ".\r\nversion = 1." + std::to_string(sequence.Next(10));
  out += "\r\nauthor=Mira Halden\r\ntags = ";
  AppendWords(out, sequence, 3);
  out += "\r\n\r\n";
}

void AppendLongSection(std::string& out, Sequence& sequence, const std::string& name) {
  static constexpr const char* kKeys[] = {"title",   "description", "author",   "tags",
                                          "changes", "credits",     "requires", "notes"};
  out += "[" + name + "]\r\n";
  for (const char* key : kKeys) {
    out += key;
    out += " = ";
    AppendWords(out, sequence, 3 + sequence.Next(28));
    out += "\r\n";
  }
  out += "\r\n";
}

size_t WriteAll(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(text.data(), static_cast<std::streamsize>(text.size()));
  file.close();
  return file ? text.size() : 0;
}

}  // namespace

size_t WriteTypicalDescription(const std::string& path, size_t bytes, bool uniqueNames) {
  std::string text;
  text.reserve(bytes + 1024);
  Sequence sequence;
  for (size_t section = 0; text.size() < bytes; ++section) {
    std::string name = kLanguages[section % 26];
    if (uniqueNames) {
      name += "_" + std::to_string(section / 26);
    }
    AppendSection(text, sequence, name);
  }
  return WriteAll(path, text);
}

size_t WriteUniqueSectionsDescription(const std::string& path, size_t bytes) {
  std::string text;
  text.reserve(bytes + 1024);
  Sequence sequence;
  for (size_t section = 0; text.size() < bytes; ++section) {
    AppendLongSection(text, sequence,
                      std::string(kLanguages[section % 26]) + "_" + std::to_string(section / 26));
  }
  return WriteAll(path, text);
}

size_t WriteSingleLineDescription(const std::string& path, size_t bytes) {
  const std::string head = "description = ";
  const std::string tail = "\r\n";
  std::string text = head;
  text.reserve(bytes);
  Sequence sequence;
  while (text.size() + tail.size() < bytes) {
    text += kWords[sequence.Next(kWordCount)];
    text += ' ';
  }
  text.resize(bytes - tail.size(), 'x');
  text += tail;
  return WriteAll(path, text);
}

size_t WriteAllLanguagesDescription(const std::string& path) {
  std::string text;
  Sequence sequence;
  for (const char* language : kLanguages) {
    AppendSection(text, sequence, language);
  }
  return WriteAll(path, text);
}

size_t WriteIgnoredLinesDescription(const std::string& path, size_t lines) {
  std::string text = "[en]\ntitle = a\n";
  text.reserve(text.size() + 2 * lines);
  for (size_t line = 0; line < lines; ++line) {
    text += "x\n";
  }
  return WriteAll(path, text);
}

size_t WriteTinySectionsDescription(const std::string& path, size_t sections) {
  std::string text;
  for (size_t section = 0; section < sections; ++section) {
    text += "[s" + std::to_string(section) + "]\nk=v\n";
  }
  return WriteAll(path, text);
}

size_t WriteNamesDescription(const std::string& path, const std::vector<std::string>& names,
                             bool asKeys) {
  std::string text = asKeys ? "[en]\n" : "";
  for (const std::string& name : names) {
    text += asKeys ? name + " = v\n" : "[" + name + "]\nk = v\n";
  }
  return WriteAll(path, text);
}

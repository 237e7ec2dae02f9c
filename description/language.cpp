#include "description/language.h"

namespace {

struct LanguageEntry {
  std::string_view code;
  const char* steamName;
};

// Steam's names go out letter for letter, its odd ones ("koreana",
// "schinese", "tchinese") included.
constexpr LanguageEntry kLanguages[] = {
    {"bg", "bulgarian"},  {"cs", "czech"},        {"da", "danish"},    {"de", "german"},
    {"el", "greek"},      {"en", "english"},      {"es", "spanish"},   {"fi", "finnish"},
    {"fr", "french"},     {"hu", "hungarian"},    {"it", "italian"},   {"ja", "japanese"},
    {"ko", "koreana"},    {"nl", "dutch"},        {"no", "norwegian"}, {"pl", "polish"},
    {"pt", "portuguese"}, {"pt_BR", "brazilian"}, {"ro", "romanian"},  {"ru", "russian"},
    {"sv", "swedish"},    {"th", "thai"},         {"tr", "turkish"},   {"uk", "ukrainian"},
    {"zh", "schinese"},   {"zh_TW", "tchinese"},
};

}  // namespace

const char* SteamLanguageFor(std::string_view sectionName) {
  // string_view equality compares lengths too, so a name with a NUL byte
  // inside ("en\0x") never passes for the code before the NUL.
  for (const LanguageEntry& entry : kLanguages) {
    if (entry.code == sectionName) {
      return entry.steamName;
    }
  }
  return "";
}

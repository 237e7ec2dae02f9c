#include "description/language.h"

namespace {

// Steam's names go out letter for letter, its odd ones ("koreana",
// "schinese", "tchinese") included. Steam's "spanish" and "portuguese" are
// the European forms; Latin American Spanish has a name of its own that no
// code here maps to.
constexpr std::array<KnownLanguage, 26> kLanguages = {{
    {"bg", "bulgarian", "Bulgarian"},
    {"cs", "czech", "Czech"},
    {"da", "danish", "Danish"},
    {"de", "german", "German"},
    {"el", "greek", "Greek"},
    {"en", "english", "English"},
    {"es", "spanish", "Spanish (Spain)"},
    {"fi", "finnish", "Finnish"},
    {"fr", "french", "French"},
    {"hu", "hungarian", "Hungarian"},
    {"it", "italian", "Italian"},
    {"ja", "japanese", "Japanese"},
    {"ko", "koreana", "Korean"},
    {"nl", "dutch", "Dutch"},
    {"no", "norwegian", "Norwegian"},
    {"pl", "polish", "Polish"},
    {"pt", "portuguese", "Portuguese (Portugal)"},
    {"pt_BR", "brazilian", "Portuguese (Brazil)"},
    {"ro", "romanian", "Romanian"},
    {"ru", "russian", "Russian"},
    {"sv", "swedish", "Swedish"},
    {"th", "thai", "Thai"},
    {"tr", "turkish", "Turkish"},
    {"uk", "ukrainian", "Ukrainian"},
    {"zh", "schinese", "Simplified Chinese"},
    {"zh_TW", "tchinese", "Traditional Chinese"},
}};

}  // namespace

const std::array<KnownLanguage, 26>& KnownLanguages() { return kLanguages; }

const char* SteamLanguageFor(std::string_view sectionName) {
  // string_view equality compares lengths too, so a name with a NUL byte
  // inside ("en\0x") never passes for the code before the NUL.
  for (const KnownLanguage& language : kLanguages) {
    if (language.code == sectionName) {
      return language.steamName;
    }
  }
  return "";
}

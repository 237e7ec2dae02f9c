// Section names of descript.ion are language codes; Steam wants its own
// language names for an item's title and description.
#ifndef MODPUBLISH_DESCRIPTION_LANGUAGE_H_
#define MODPUBLISH_DESCRIPTION_LANGUAGE_H_

#include <array>
#include <string_view>

// One language code modpublish knows.
struct KnownLanguage {
  std::string_view code;     // the section name, e.g. "pt_BR"
  const char* steamName;     // Steam's API language name, e.g. "brazilian"
  const char* languageName;  // the language in English, for people, e.g. "Portuguese (Brazil)"
};

// The 26 language codes modpublish knows, in byte order of their codes: the
// one table behind SteamLanguageFor, and the one the user guide's and the
// README's lists are checked against. Static; lives for the whole run.
const std::array<KnownLanguage, 26>& KnownLanguages();

// Returns Steam's API language name for the language code `sectionName`
// ("en" → "english", "pt_BR" → "brazilian", "zh_TW" → "tchinese"), or ""
// when the code is not one of the 26 known ones. Matches the whole name
// byte for byte: no case folding, no '-' for '_', no prefix matching. Never
// returns null; the result is a static string.
const char* SteamLanguageFor(std::string_view sectionName);

#endif  // MODPUBLISH_DESCRIPTION_LANGUAGE_H_

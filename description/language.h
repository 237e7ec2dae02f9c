// Section names of descript.ion are language codes; Steam wants its own
// language names for an item's title and description.
#ifndef MODPUBLISH_DESCRIPTION_LANGUAGE_H_
#define MODPUBLISH_DESCRIPTION_LANGUAGE_H_

#include <string_view>

// Returns Steam's API language name for the language code `sectionName`
// ("en" → "english", "pt_BR" → "brazilian", "zh_TW" → "tchinese"), or ""
// when the code is not one of the 26 known ones. Matches the whole name
// byte for byte: no case folding, no '-' for '_', no prefix matching. Never
// returns null; the result is a static string.
const char* SteamLanguageFor(std::string_view sectionName);

#endif  // MODPUBLISH_DESCRIPTION_LANGUAGE_H_

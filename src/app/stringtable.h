#pragma once
// The program's texts: string table 100-111 and the language they are shown in.

#include <string>

namespace quillomar {

enum class Language { French, Neutral };

// French when the locale's language (the first set of LC_ALL, LC_MESSAGES, LANG) is "fr" in any
// territory; otherwise the neutral English texts.
Language languageFromEnvironment();

// The process's language: chosen from the environment on first use unless set.
Language currentLanguage();
void setCurrentLanguage(Language language);

// String `id` in `language` (UTF-8), or "" for an id the table does not hold.
std::string loadString(int id, Language language);
inline std::string loadString(int id) { return loadString(id, currentLanguage()); }

}  // namespace quillomar

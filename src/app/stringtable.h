#pragma once
// The program's texts: the string table (ids in platform/resourceids.h) and the language they are shown in.

#include <cstddef>
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

// String `id` as a buffer of bufferSize characters takes it: at most bufferSize - 1 characters
// (message texts use 80, list column headers 20).
std::string loadString(int id, Language language, std::size_t bufferSize);

// Size of the buffer message texts are loaded into.
inline constexpr std::size_t kMessageBufferSize = 80;

}  // namespace quillomar

#pragma once
#include <string>
#include <string_view>

namespace quillomar {

// The C library's text for an errno value: in the language chosen with setSystemErrorLanguage,
// else in the user's language where the C library has it.
std::string systemErrorText(int error);

// Makes systemErrorText answer in language ("fr"), or in English for "", whatever LANGUAGE says,
// so that the system's text and the program's own words share one language. The C library reads
// its message language from LANGUAGE before the locale, so a language other than English is
// also written to LANGUAGE (and so passed on to programs this process starts): call it at
// start-up, before any other thread runs.
void setSystemErrorLanguage(std::string_view language);

}  // namespace quillomar

#include "platform/syserror.h"

#include <locale.h>

#include <cstdlib>
#include <cstring>

namespace quillomar {

namespace {
// The locale the texts are taken in; none until a language is chosen.
locale_t messageLocale = static_cast<locale_t>(nullptr);
}  // namespace

void setSystemErrorLanguage(std::string_view language) {
    if (messageLocale != static_cast<locale_t>(nullptr)) freelocale(messageLocale);
    if (language.empty()) {
        // The C library does not translate in the C locale, LANGUAGE notwithstanding.
        messageLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
        return;
    }
    const std::string name(language);
    ::setenv("LANGUAGE", name.c_str(), 1);
    // Any locale but C lets the catalogue of LANGUAGE answer; C.UTF-8 always exists and gives
    // the texts in UTF-8, whether or not the language's own locale was generated.
    messageLocale = newlocale(LC_ALL_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
}

std::string systemErrorText(int error) {
    if (messageLocale != static_cast<locale_t>(nullptr)) return strerror_l(error, messageLocale);
    char buffer[256];
    // GNU strerror_r returns the text, which may or may not live in buffer.
    const char* text = strerror_r(error, buffer, sizeof buffer);
    return text != nullptr ? std::string(text) : std::string("Unknown error ") + std::to_string(error);
}

}  // namespace quillomar

// Collation by the system's word sort: CompareStringEx with the default flags treats hyphen and
// apostrophe as the Linux build's rule does (they count only between otherwise equal words), lower
// case before upper case, accents after letters.

#include "platform/collate.h"

#include <cstdlib>

#include "platform/win/widepath.h"

namespace quillomar {

struct Collator::System {
    std::wstring locale;  // the system's locale name; empty for the invariant locale
    const wchar_t* name() const { return locale.empty() ? LOCALE_NAME_INVARIANT : locale.c_str(); }
};

namespace {

// "fr_FR.UTF-8@euro" -> "fr_FR", as on Linux; "", "C" and "POSIX" -> "root".
std::string localeName(std::string_view posix) {
    std::string name(posix.substr(0, posix.find_first_of(".@")));
    if (name.empty() || name == "C" || name == "POSIX") return "root";
    return name;
}

// "fr_FR" -> "fr-FR", the system's name; "root" -> "" (the invariant locale).
std::wstring systemLocaleName(const std::string& name) {
    if (name == "root") return {};
    std::wstring wide = win::toWide(name);
    for (wchar_t& c : wide) {
        if (c == L'_') c = L'-';
    }
    return wide;
}

}  // namespace

Collator::Collator(std::string_view locale) : locale_(localeName(locale)), collator_(std::make_unique<System>()) {
    const std::wstring wide = systemLocaleName(locale_);
    // A locale the system does not know falls back to the invariant one, as ICU falls back to root.
    if (!wide.empty() && IsValidLocaleName(wide.c_str())) collator_->locale = wide;
    if (collator_->locale.empty()) locale_ = "root";
}

Collator::~Collator() = default;

int Collator::compare(std::string_view first, std::string_view second) const {
    if (first.empty() || second.empty()) return first.empty() ? (second.empty() ? 0 : -1) : 1;
    const std::wstring a = win::toWide(first);
    const std::wstring b = win::toWide(second);
    const int result = CompareStringEx(collator_->name(), 0, a.data(), static_cast<int>(a.size()), b.data(),
                                       static_cast<int>(b.size()), nullptr, nullptr, 0);
    if (result == 0) return first.compare(second) < 0 ? -1 : (first == second ? 0 : 1);
    return result - CSTR_EQUAL;
}

std::string Collator::sortKey(std::string_view text) const {
    if (text.empty()) return {};
    std::string key(1, '\x01');
    const std::wstring wide = win::toWide(text);
    const int length = LCMapStringEx(collator_->name(), LCMAP_SORTKEY, wide.data(), static_cast<int>(wide.size()),
                                     nullptr, 0, nullptr, nullptr, 0);
    if (length <= 0) return key.append(text);
    std::string bytes(static_cast<std::size_t>(length), '\0');
    LCMapStringEx(collator_->name(), LCMAP_SORTKEY, wide.data(), static_cast<int>(wide.size()),
                  reinterpret_cast<LPWSTR>(bytes.data()), length, nullptr, nullptr, 0);
    // The system's keys end in a zero byte, left out here.
    bytes.resize(static_cast<std::size_t>(length - 1));
    return key.append(bytes);
}

std::string collationLocaleFromEnvironment() {
    for (const char* name : {"LC_ALL", "LC_COLLATE", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && value[0] != '\0') return value;
    }
    // Windows keeps the user's locale in the user's settings, not in the environment.
    wchar_t name[LOCALE_NAME_MAX_LENGTH];
    if (GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH) == 0) return {};
    std::string posix = win::toUtf8(name);
    for (char& c : posix) {
        if (c == '-') c = '_';
    }
    return posix;
}

const Collator& userCollator() {
    static const Collator collator(collationLocaleFromEnvironment());
    return collator;
}

}  // namespace quillomar

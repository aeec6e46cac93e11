#pragma once
// Locale collation, in place of the platform's lstrcmpA: texts ordered as the user's locale orders
// words, letters and accents, case-sensitively (a lower-case letter sorts just before its upper
// case, and "a" and "A" are never equal), as a word sort: hyphen and apostrophe count only where
// two words are otherwise equal ("F15", "F-16", "F17"). Backed by an ICU collator on Linux and by
// the system's word sort (CompareStringEx) on Windows.

#include <memory>
#include <string>
#include <string_view>

namespace quillomar {

class Collator {
public:
    // The collation of locale, named the POSIX way ("fr_FR.UTF-8", "de_DE@euro") or the ICU way
    // ("fr_FR"); "", "C" and "POSIX" give the root collation, which a locale without rules of its
    // own also falls back to.
    explicit Collator(std::string_view locale);
    ~Collator();
    Collator(const Collator&) = delete;
    Collator& operator=(const Collator&) = delete;

    // Negative, 0 or positive as first sorts before, together with, or after second. Texts are
    // UTF-8. An empty text sorts before every other one.
    int compare(std::string_view first, std::string_view second) const;

    // A key whose byte order (std::string's comparison) is the order of compare: sorting many
    // texts computes each text's key once instead of collating at every comparison.
    std::string sortKey(std::string_view text) const;

    // The locale the collator was opened for, language and territory ("fr_FR"), or "root" for the
    // root collation.
    const std::string& locale() const { return locale_; }

    struct System;  // the system's collator, defined by each system's implementation

private:
    std::string locale_;
    std::unique_ptr<System> collator_;
};

// The locale the user's collation follows: the first non-empty of LC_ALL, LC_COLLATE and LANG, as
// the C library chooses it; "" when none is set.
std::string collationLocaleFromEnvironment();

// The collator of the user's locale, opened on first use.
const Collator& userCollator();

}  // namespace quillomar

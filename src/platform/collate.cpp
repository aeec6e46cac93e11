#include "platform/collate.h"

#include <unicode/ucol.h>
#include <unicode/ustring.h>

#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace quillomar {

namespace {

// "fr_FR.UTF-8@euro" -> "fr_FR": ICU takes the language and territory; the code set and the
// modifier say nothing about the order of letters.
std::string icuLocaleName(std::string_view posix) {
    std::string_view name = posix.substr(0, posix.find_first_of(".@"));
    if (name.empty() || name == "C" || name == "POSIX") return "root";
    return std::string(name);
}

// The word sort: hyphen and apostrophe weigh nothing against letters, digits and other signs,
// so "CO-OP" sorts with "COOP" and "CAN'T" with "CANT". They still tell two otherwise equal words
// apart, as a case difference does: "CANT" before "CAN'T", "COOP" before "CO-OP".
constexpr std::string_view kWordSortRule = "&[last tertiary ignorable]<<<'-'<<<''";

// The locale's collator with the word-sort rule added to its own tailoring.
UCollator* openWordSort(const char* locale) {
    UErrorCode status = U_ZERO_ERROR;
    UCollator* base = ucol_open(locale, &status);
    if (U_FAILURE(status) || base == nullptr) {
        if (base != nullptr) ucol_close(base);
        return nullptr;
    }
    int32_t length = 0;
    const UChar* own = ucol_getRules(base, &length);
    std::u16string rules(reinterpret_cast<const char16_t*>(own), static_cast<std::size_t>(length));
    ucol_close(base);
    for (char c : kWordSortRule) rules.push_back(static_cast<char16_t>(c));

    UParseError where{};
    status = U_ZERO_ERROR;
    UCollator* collator =
        ucol_openRules(reinterpret_cast<const UChar*>(rules.data()), static_cast<int32_t>(rules.size()), UCOL_DEFAULT,
                       UCOL_TERTIARY, &where, &status);
    if (U_FAILURE(status)) {
        if (collator != nullptr) ucol_close(collator);
        return nullptr;
    }
    return collator;
}

}  // namespace

struct Collator::System {
    UCollator* collator = nullptr;
    ~System() {
        if (collator != nullptr) ucol_close(collator);
    }
};

namespace {

std::unique_ptr<Collator::System> openCollator(const std::string& locale) {
    UCollator* collator = openWordSort(locale == "root" ? "" : locale.c_str());
    if (collator == nullptr) collator = openWordSort("");
    if (collator != nullptr) {
        // Tertiary strength keeps case and accents apart: the comparison is case-sensitive.
        ucol_setStrength(collator, UCOL_TERTIARY);
    }
    auto system = std::make_unique<Collator::System>();
    system->collator = collator;
    return system;
}

}  // namespace

Collator::Collator(std::string_view locale) : locale_(icuLocaleName(locale)), collator_(openCollator(locale_)) {}

Collator::~Collator() = default;

int Collator::compare(std::string_view first, std::string_view second) const {
    if (first.empty() || second.empty()) return first.empty() ? (second.empty() ? 0 : -1) : 1;
    if (collator_->collator == nullptr) return first.compare(second) < 0 ? -1 : (first == second ? 0 : 1);
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult result =
        ucol_strcollUTF8(collator_->collator, first.data(), static_cast<int32_t>(first.size()), second.data(),
                         static_cast<int32_t>(second.size()), &status);
    if (U_FAILURE(status)) return first.compare(second) < 0 ? -1 : (first == second ? 0 : 1);
    return result == UCOL_LESS ? -1 : (result == UCOL_GREATER ? 1 : 0);
}

std::string Collator::sortKey(std::string_view text) const {
    // The empty text keeps the empty key; every other key starts with a byte above it, so the
    // empty text sorts first even against texts the collation ignores entirely.
    if (text.empty()) return {};
    std::string key(1, '\x01');
    if (collator_->collator == nullptr) return key.append(text);

    UErrorCode status = U_ZERO_ERROR;
    std::vector<UChar> utf16(text.size() + 1);
    int32_t units = 0;
    u_strFromUTF8Lenient(utf16.data(), static_cast<int32_t>(utf16.size()), &units, text.data(),
                         static_cast<int32_t>(text.size()), &status);
    if (U_FAILURE(status)) return key.append(text);

    // ICU's keys end in a zero byte and hold none before it; the terminator is left out here.
    std::vector<uint8_t> bytes(16 + static_cast<std::size_t>(units) * 4);
    int32_t length =
        ucol_getSortKey(collator_->collator, utf16.data(), units, bytes.data(), static_cast<int32_t>(bytes.size()));
    if (length > static_cast<int32_t>(bytes.size())) {
        bytes.resize(static_cast<std::size_t>(length));
        length = ucol_getSortKey(collator_->collator, utf16.data(), units, bytes.data(), length);
    }
    if (length <= 0) return key.append(text);
    return key.append(reinterpret_cast<const char*>(bytes.data()), static_cast<std::size_t>(length - 1));
}

std::string collationLocaleFromEnvironment() {
    for (const char* name : {"LC_ALL", "LC_COLLATE", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && value[0] != '\0') return value;
    }
    return {};
}

const Collator& userCollator() {
    static const Collator collator(collationLocaleFromEnvironment());
    return collator;
}

}  // namespace quillomar

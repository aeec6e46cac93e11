#include "platform/codepage.h"

#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace quillomar {

namespace {

constexpr char32_t kUnmapped = 0xFFFFFFFF;

void appendUtf8(std::string& out, char32_t cp) {
    char buffer[4];
    int32_t length = 0;
    UBool error = false;
    U8_APPEND(reinterpret_cast<uint8_t*>(buffer), length, 4, static_cast<UChar32>(cp), error);
    if (!error) out.append(buffer, static_cast<std::size_t>(length));
}

}  // namespace

std::optional<CodePage> CodePage::load(int number) {
    if (number < 1250 || number > 1258) return std::nullopt;
    std::string converterName = "windows-" + std::to_string(number);
    UErrorCode status = U_ZERO_ERROR;
    UConverter* converter = ucnv_open(converterName.c_str(), &status);
    if (U_FAILURE(status) || converter == nullptr) return std::nullopt;
    // A byte the code page leaves undefined must not turn into a substitute character.
    ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);

    CodePage page;
    page.number_ = number;
    for (int byte = 0; byte < 256; ++byte) {
        char in = static_cast<char>(byte);
        UChar out[4];
        status = U_ZERO_ERROR;
        ucnv_reset(converter);
        int32_t length = ucnv_toUChars(converter, out, 4, &in, 1, &status);
        char32_t cp = kUnmapped;
        if (U_SUCCESS(status) && length == 1 && !U16_IS_SURROGATE(out[0])) cp = out[0];
        // Undefined bytes keep their own value as a code point, so names holding them still
        // convert both ways (the C1 controls are not used otherwise by these code pages).
        if (cp == kUnmapped) cp = static_cast<char32_t>(byte);
        page.toUnicode_[static_cast<std::size_t>(byte)] = cp;
    }
    ucnv_close(converter);

    for (int byte = 0; byte < 256; ++byte) {
        page.fromUnicode_.emplace_back(page.toUnicode_[static_cast<std::size_t>(byte)],
                                       static_cast<unsigned char>(byte));
    }
    std::sort(page.fromUnicode_.begin(), page.fromUnicode_.end());

    for (int byte = 0; byte < 256; ++byte) {
        auto self = static_cast<unsigned char>(byte);
        const auto character = static_cast<UChar32>(page.toUnicode_[self]);
        const std::optional<char> upper = page.byteOf(static_cast<char32_t>(u_toupper(character)));
        const std::optional<char> lower = page.byteOf(static_cast<char32_t>(u_tolower(character)));
        page.upper_[self] = upper ? static_cast<unsigned char>(*upper) : self;
        page.lower_[self] = lower ? static_cast<unsigned char>(*lower) : self;
    }
    return page;
}

std::string CodePage::toUtf8(std::string_view bytes) const {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (char c : bytes) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out.push_back(c);
        } else {
            appendUtf8(out, toUnicode_[byte]);
        }
    }
    return out;
}

std::optional<std::string> CodePage::fromUtf8(std::string_view utf8) const {
    std::string out;
    out.reserve(utf8.size());
    const auto* data = reinterpret_cast<const uint8_t*>(utf8.data());
    auto length = static_cast<int32_t>(utf8.size());
    int32_t i = 0;
    while (i < length) {
        UChar32 cp = 0;
        U8_NEXT(data, i, length, cp);
        if (cp < 0) return std::nullopt;
        if (cp < 0x80 && toUnicode_[static_cast<std::size_t>(cp)] == static_cast<char32_t>(cp)) {
            out.push_back(static_cast<char>(cp));
            continue;
        }
        auto it = std::lower_bound(fromUnicode_.begin(), fromUnicode_.end(),
                                   std::pair<char32_t, unsigned char>{static_cast<char32_t>(cp), 0});
        if (it == fromUnicode_.end() || it->first != static_cast<char32_t>(cp)) return std::nullopt;
        out.push_back(static_cast<char>(it->second));
    }
    return out;
}

}  // namespace quillomar

namespace quillomar {

char32_t upperCase(char32_t character) { return static_cast<char32_t>(u_toupper(static_cast<UChar32>(character))); }

std::int32_t nextUtf8(std::string_view text, std::size_t& at) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    auto i = static_cast<int32_t>(at);
    UChar32 character = 0;
    U8_NEXT(bytes, i, length, character);
    at = static_cast<std::size_t>(i);
    return character;
}

std::string contentLogLine(std::string_view path) { return std::string(path); }

std::string displayPath(std::string_view path) {
    std::string shown;
    shown.reserve(path.size());
    const auto* bytes = reinterpret_cast<const uint8_t*>(path.data());
    const auto length = static_cast<int32_t>(path.size());
    for (int32_t at = 0; at < length;) {
        UChar32 cp = 0;
        // ICU's decoder: an ill-formed sequence gives a negative value and moves past it whole.
        U8_NEXT(bytes, at, length, cp);
        appendUtf8(shown, cp < 0 ? U'\uFFFD' : static_cast<char32_t>(cp));
    }
    return shown;
}

}  // namespace quillomar

#include "win32/dialogbytes.h"

namespace quillomar::win32 {

namespace {

// Appends little-endian words to a byte buffer; strings go in as UTF-16 with their NUL.
class Writer {
public:
    void u8(std::uint8_t value) { bytes_.push_back(value); }
    void u16(std::uint16_t value) {
        u8(static_cast<std::uint8_t>(value & 0xFF));
        u8(static_cast<std::uint8_t>(value >> 8));
    }
    void u32(std::uint32_t value) {
        u16(static_cast<std::uint16_t>(value & 0xFFFF));
        u16(static_cast<std::uint16_t>(value >> 16));
    }
    void i16(int value) { u16(static_cast<std::uint16_t>(static_cast<std::int16_t>(value))); }
    void text(std::u16string_view text) {
        for (char16_t c : text) u16(static_cast<std::uint16_t>(c));
        u16(0);
    }
    void alignTo4() {
        while (bytes_.size() % 4 != 0) u8(0);
    }
    std::vector<std::uint32_t> words() const {
        std::vector<std::uint32_t> out((bytes_.size() + 3) / 4, 0);
        for (std::size_t i = 0; i < bytes_.size(); ++i) out[i / 4] |= std::uint32_t{bytes_[i]} << (8 * (i % 4));
        return out;
    }

private:
    std::vector<std::uint8_t> bytes_;
};

constexpr std::uint16_t kFontWeightNormal = 400;
constexpr std::uint8_t kDefaultCharset = 1;

}  // namespace

std::u16string toUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    std::size_t at = 0;
    while (at < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[at]);
        const int length = lead < 0x80           ? 1
                           : (lead >> 5) == 0x6  ? 2
                           : (lead >> 4) == 0xE  ? 3
                           : (lead >> 3) == 0x1E ? 4
                                                 : 0;
        char32_t code = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
        bool valid = length > 0 && at + static_cast<std::size_t>(length) <= utf8.size();
        for (int i = 1; valid && i < length; ++i) {
            const auto next = static_cast<unsigned char>(utf8[at + static_cast<std::size_t>(i)]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are no characters.
        constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        valid = valid && code >= kSmallest[length] && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
        if (!valid) {
            out += u'\uFFFD';
            ++at;
            continue;
        }
        at += static_cast<std::size_t>(length);
        if (code >= 0x10000) {
            code -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (code >> 10));
            out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        } else {
            out += static_cast<char16_t>(code);
        }
    }
    return out;
}

ControlStyle controlStyle(const ControlTemplate& control) {
    using namespace style;
    ControlStyle out;
    out.style = kChild;
    if (!control.has(kStyleHidden)) out.style |= kVisible;
    if (control.has(kStyleDisabled)) out.style |= kDisabled;
    if (control.has(kStyleTabStop)) out.style |= kTabStop;
    if (control.has(kStyleBorder)) out.style |= kBorder;
    switch (control.kind) {
        case ControlKind::PushButton:
            out.atom = kButtonAtom;
            if (control.has(kStyleDefaultButton)) out.style |= kBsDefPushButton;
            break;
        case ControlKind::CheckBox:
            out.atom = kButtonAtom;
            out.style |= kBsAutoCheckBox;
            break;
        case ControlKind::GroupBox:
            out.atom = kButtonAtom;
            out.style |= kBsGroupBox;
            break;
        case ControlKind::Edit:
            out.atom = kEditAtom;
            if (control.has(kStyleAutoHScroll)) out.style |= kEsAutoHScroll;
            break;
        case ControlKind::Static:
            out.atom = kStaticAtom;
            out.style |= kSsNoPrefix;
            if (control.has(kStyleCenter)) out.style |= kSsCenter | kSsCenterImage;
            if (control.has(kStyleSunken)) out.style |= kSsSunken;
            if (control.has(kStyleEndEllipsis)) out.style |= kSsEndEllipsis;
            break;
        case ControlKind::ProgressBar:
            out.className = kProgressClass;
            if (control.has(kStyleSmooth)) out.style |= kPbsSmooth;
            break;
        case ControlKind::ListView:
            // The rows live in the program and are shown on demand, so a long list costs the
            // control nothing.
            out.className = kListViewClass;
            out.style |= kLvsOwnerData | kLvsShowSelAlways;
            if (control.has(kStyleReportView)) out.style |= kLvsReport;
            if (control.has(kStyleSingleSelection)) out.style |= kLvsSingleSel;
            break;
        case ControlKind::Pane:
            // The program's own window class, registered by the host before the dialog is made.
            out.className = kPaneClass;
            break;
    }
    return out;
}

std::uint32_t dialogStyle(const DialogTemplate& dialog) {
    using namespace style;
    std::uint32_t out = kPopup | kDsSetFont;
    if (dialog.has(kDialogCaption)) out |= kCaption;
    if (dialog.has(kDialogSystemMenu)) out |= kSysMenu;
    if (dialog.has(kDialogMinimizeBox)) out |= kMinimizeBox;
    if (dialog.has(kDialogModalFrame)) out |= kDsModalFrame;
    if (dialog.has(kDialogCentered)) out |= kDsCenter;
    if (dialog.has(kDialogResizable)) out |= kThickFrame;
    return out;
}

std::uint32_t dialogExtendedStyle(const DialogTemplate& dialog) {
    std::uint32_t out = 0;
    if (dialog.has(kDialogAppWindow)) out |= style::kExAppWindow;
    if (dialog.has(kDialogAcceptFiles)) out |= style::kExAcceptFiles;
    return out;
}

std::vector<std::uint32_t> buildDialogTemplate(const DialogTemplate& dialog, Language language) {
    Writer out;
    out.u16(1);
    out.u16(0xFFFF);
    out.u32(0);
    out.u32(dialogExtendedStyle(dialog));
    out.u32(dialogStyle(dialog));
    out.u16(static_cast<std::uint16_t>(dialog.controls.size()));
    out.i16(0);
    out.i16(0);
    out.i16(dialog.width);
    out.i16(dialog.height);
    out.u16(0);
    out.u16(0);
    out.text(toUtf16(dialog.caption.in(language)));
    out.u16(static_cast<std::uint16_t>(dialog.fontPointSize));
    out.u16(kFontWeightNormal);
    out.u8(0);
    out.u8(kDefaultCharset);
    out.text(toUtf16(dialog.fontName));
    for (const ControlTemplate& control : dialog.controls) {
        out.alignTo4();
        const ControlStyle s = controlStyle(control);
        const DialogRect rect = control.rectIn(language);
        out.u32(0);
        out.u32(s.extendedStyle);
        out.u32(s.style);
        out.i16(rect.x);
        out.i16(rect.y);
        out.i16(rect.width);
        out.i16(rect.height);
        // Labels carry the dialog manager's "no id", -1.
        out.u32(static_cast<std::uint32_t>(control.id));
        if (s.atom != 0) {
            out.u16(0xFFFF);
            out.u16(s.atom);
        } else {
            out.text(s.className);
        }
        out.text(toUtf16(control.text.in(language)));
        out.u16(0);
    }
    return out.words();
}

}  // namespace quillomar::win32

// The in-memory dialog templates read back as the dialog manager reads them: every item where
// it must start, with its id, class, position, text and styles, in both languages.

#include <gtest/gtest.h>

#include <cstring>
#include <span>
#include <string>
#include <tuple>

#include "app/dialogtemplate.h"
#include "win32/dialogbytes.h"

namespace quillomar::win32 {
namespace {

// Reads the template's little-endian fields in order.
class Reader {
public:
    explicit Reader(std::span<const std::uint32_t> words)
        : bytes_(reinterpret_cast<const std::uint8_t*>(words.data())), size_(words.size() * 4) {}

    std::uint16_t u16() {
        need(2);
        const auto value = static_cast<std::uint16_t>(bytes_[at_] | bytes_[at_ + 1] << 8);
        at_ += 2;
        return value;
    }
    std::uint32_t u32() {
        const std::uint32_t low = u16();
        return low | std::uint32_t{u16()} << 16;
    }
    int i16() { return static_cast<std::int16_t>(u16()); }
    // x, y, cx, cy in the order they are stored.
    std::tuple<int, int, int, int> rect() {
        const int x = i16();
        const int y = i16();
        const int cx = i16();
        return {x, y, cx, i16()};
    }
    std::uint8_t u8() {
        need(1);
        return bytes_[at_++];
    }
    std::u16string text() {
        std::u16string out;
        for (char16_t c = static_cast<char16_t>(u16()); c != 0; c = static_cast<char16_t>(u16())) out += c;
        return out;
    }
    // A class or a title: 0xFFFF and an atom, or a string.
    std::pair<std::uint16_t, std::u16string> classOrText() {
        const std::size_t start = at_;
        if (u16() == 0xFFFF) return {u16(), {}};
        at_ = start;
        return {0, text()};
    }
    void alignTo4() { at_ = (at_ + 3) & ~std::size_t{3}; }
    std::size_t at() const { return at_; }
    std::size_t size() const { return size_; }

private:
    void need(std::size_t count) const {
        if (at_ + count > size_) throw std::out_of_range("read past the template");
    }
    const std::uint8_t* bytes_;
    std::size_t size_;
    std::size_t at_ = 0;
};

class DialogTemplateBytes : public testing::TestWithParam<std::tuple<int, Language>> {};

TEST_P(DialogTemplateBytes, ReadBackAsTheDialogManagerReadsThem) {
    const auto [dialogId, language] = GetParam();
    const DialogTemplate& dialog = *findDialogTemplate(dialogId);
    const std::vector<std::uint32_t> words = buildDialogTemplate(dialog, language);
    Reader in(words);

    EXPECT_EQ(in.u16(), 1);
    EXPECT_EQ(in.u16(), 0xFFFF);
    EXPECT_EQ(in.u32(), 0u);
    EXPECT_EQ(in.u32(), dialogExtendedStyle(dialog));
    EXPECT_EQ(in.u32(), dialogStyle(dialog));
    ASSERT_EQ(in.u16(), dialog.controls.size());
    EXPECT_EQ(in.rect(), std::tuple(0, 0, dialog.width, dialog.height));
    EXPECT_EQ(in.u16(), 0) << "no menu";
    EXPECT_EQ(in.u16(), 0) << "the dialog class";
    EXPECT_EQ(in.text(), toUtf16(dialog.caption.in(language)));
    EXPECT_EQ(in.u16(), dialog.fontPointSize);
    EXPECT_EQ(in.u16(), 400);
    EXPECT_EQ(in.u8(), 0);
    EXPECT_EQ(in.u8(), 1);
    EXPECT_EQ(in.text(), u"MS Sans Serif");

    for (const ControlTemplate& control : dialog.controls) {
        SCOPED_TRACE(control.id);
        in.alignTo4();
        ASSERT_EQ(in.at() % 4, 0u);
        const ControlStyle expected = controlStyle(control);
        EXPECT_EQ(in.u32(), 0u);
        EXPECT_EQ(in.u32(), expected.extendedStyle);
        EXPECT_EQ(in.u32(), expected.style);
        const DialogRect rect = control.rectIn(language);
        EXPECT_EQ(in.rect(), std::tuple(rect.x, rect.y, rect.width, rect.height));
        EXPECT_EQ(static_cast<std::int32_t>(in.u32()), control.id);
        const auto [atom, className] = in.classOrText();
        EXPECT_EQ(atom, expected.atom);
        EXPECT_EQ(className, expected.className);
        EXPECT_EQ(in.classOrText(), std::pair(std::uint16_t{0}, toUtf16(control.text.in(language))));
        EXPECT_EQ(in.u16(), 0) << "no creation data";
    }
    EXPECT_LE(in.at(), in.size());
    EXPECT_GT(in.at() + 4, in.size()) << "nothing follows the last item";
}

INSTANTIATE_TEST_SUITE_P(BothDialogsBothLanguages, DialogTemplateBytes,
                         testing::Combine(testing::Values(kPackerDialogId, kContentDialogId),
                                          testing::Values(Language::French, Language::Neutral)));

TEST(DialogTemplateStyles, FollowTheTemplatesFlags) {
    using namespace style;
    const DialogTemplate& packer = *findDialogTemplate(kPackerDialogId);
    const DialogTemplate& content = *findDialogTemplate(kContentDialogId);

    EXPECT_EQ(dialogStyle(packer) & (kSysMenu | kMinimizeBox | kThickFrame), kSysMenu | kMinimizeBox);
    EXPECT_EQ(dialogExtendedStyle(packer), kExAppWindow | kExAcceptFiles);
    // The content window has no close box and may be made larger.
    EXPECT_EQ(dialogStyle(content) & (kSysMenu | kThickFrame), kThickFrame);
    EXPECT_EQ(dialogExtendedStyle(content), 0u);
    for (const DialogTemplate* dialog : {&packer, &content}) {
        EXPECT_EQ(dialogStyle(*dialog) & (kPopup | kCaption | kDsSetFont | kDsModalFrame | kDsCenter),
                  kPopup | kCaption | kDsSetFont | kDsModalFrame | kDsCenter);
    }

    // The entry list is virtual, in report view, and keeps its selection shown without the focus.
    const ControlStyle list = controlStyle(*content.control(viewer::kList));
    EXPECT_EQ(list.className, kListViewClass);
    EXPECT_EQ(list.style & (kLvsReport | kLvsOwnerData | kLvsShowSelAlways | kLvsSingleSel),
              kLvsReport | kLvsOwnerData | kLvsShowSelAlways);

    struct Row {
        int id;
        std::uint32_t set;
        std::uint32_t clear;
    };
    for (const Row& row : {
             Row{packer::kQuit, kBsDefPushButton | kTabStop | kVisible | kChild, kDisabled},  // the default button
             Row{packer::kGenerate, kDisabled | kTabStop, kBsDefPushButton},                  // starts disabled
             Row{packer::kName, kDisabled | kBorder | kEsAutoHScroll, 0},
             Row{packer::kFileCount, kSsCenter | kSsSunken | kSsEndEllipsis | kSsNoPrefix, kTabStop},
             Row{packer::kWriteLog, kBsAutoCheckBox | kTabStop, kDisabled},
             Row{packer::kProgress, kPbsSmooth, 0},
         }) {
        SCOPED_TRACE(row.id);
        const ControlStyle s = controlStyle(*packer.control(row.id));
        EXPECT_EQ(s.style & row.set, row.set);
        EXPECT_EQ(s.style & row.clear, 0u);
    }
    EXPECT_EQ(controlStyle(*packer.control(packer::kProgress)).className, kProgressClass);
}

TEST(Utf16, ConvertsEveryCharacterAndReplacesWhatIsNoUtf8) {
    struct Row {
        const char* utf8;
        std::u16string utf16;
    };
    for (const Row& row : {
             Row{"Quit", u"Quit"}, Row{"R\xc3\xa9pertoire", u"R\u00e9pertoire"}, Row{"\xe2\x82\xac", u"\u20ac"},
             Row{"\xf0\x9f\x98\x80", u"\U0001F600"},                // outside the first plane: a surrogate pair
             Row{"caf\xe9", u"caf\uFFFD"},                          // Latin-1, no UTF-8
             Row{"\xc3", u"\uFFFD"},                                // cut short
             Row{"\xc0\xaf", u"\uFFFD\uFFFD"},                      // overlong
             Row{"\xed\xa0\x80", u"\uFFFD\uFFFD\uFFFD"},            // an encoded surrogate
             Row{"\xf4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
         }) {
        SCOPED_TRACE(row.utf8);
        EXPECT_EQ(toUtf16(row.utf8), row.utf16);
    }
}

}  // namespace
}  // namespace quillomar::win32

#pragma once
// A dialog template as the Windows dialog manager reads it from memory: an extended template
// (DLGTEMPLATEEX) followed by one extended item (DLGITEMTEMPLATEEX) per control, laid out from
// the program's template tables. Plain bytes, with no Windows header, so that the layout is
// checked on every platform; the window program hands them to DialogBoxIndirectParamW.
//
// Layout, all little-endian, strings UTF-16 with a terminating NUL:
//
//     header   u16 version 1, u16 0xFFFF, u32 help id, u32 extended style, u32 style,
//              u16 item count, i16 x, y, cx, cy (dialog units),
//              menu (u16 0: none), class (u16 0: the dialog class), caption string,
//              u16 point size, u16 weight, u8 italic, u8 character set, face name string
//     item     (starts on a 4-byte boundary) u32 help id, u32 extended style, u32 style,
//              i16 x, y, cx, cy, u32 id, class (u16 0xFFFF + atom, or a string), text string,
//              u16 creation-data size (0)

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/dialogtemplate.h"
#include "app/stringtable.h"

namespace quillomar::win32 {

// Window, dialog and control style bits, as the Windows headers define them.
namespace style {
inline constexpr std::uint32_t kPopup = 0x80000000u;
inline constexpr std::uint32_t kChild = 0x40000000u;
inline constexpr std::uint32_t kVisible = 0x10000000u;
inline constexpr std::uint32_t kDisabled = 0x08000000u;
inline constexpr std::uint32_t kCaption = 0x00C00000u;
inline constexpr std::uint32_t kBorder = 0x00800000u;
inline constexpr std::uint32_t kSysMenu = 0x00080000u;
inline constexpr std::uint32_t kThickFrame = 0x00040000u;
inline constexpr std::uint32_t kMinimizeBox = 0x00020000u;
inline constexpr std::uint32_t kTabStop = 0x00010000u;

inline constexpr std::uint32_t kDsSetFont = 0x40;
inline constexpr std::uint32_t kDsModalFrame = 0x80;
inline constexpr std::uint32_t kDsCenter = 0x0800;

inline constexpr std::uint32_t kExAcceptFiles = 0x00000010u;
inline constexpr std::uint32_t kExAppWindow = 0x00040000u;

inline constexpr std::uint32_t kBsDefPushButton = 0x1;
inline constexpr std::uint32_t kBsAutoCheckBox = 0x3;
inline constexpr std::uint32_t kBsGroupBox = 0x7;
inline constexpr std::uint32_t kEsAutoHScroll = 0x80;
inline constexpr std::uint32_t kSsCenter = 0x1;
inline constexpr std::uint32_t kSsNoPrefix = 0x80;
inline constexpr std::uint32_t kSsCenterImage = 0x200;
inline constexpr std::uint32_t kSsSunken = 0x1000;
inline constexpr std::uint32_t kSsEndEllipsis = 0x4000;
inline constexpr std::uint32_t kPbsSmooth = 0x1;
inline constexpr std::uint32_t kLvsReport = 0x1;
inline constexpr std::uint32_t kLvsSingleSel = 0x4;
inline constexpr std::uint32_t kLvsShowSelAlways = 0x8;
inline constexpr std::uint32_t kLvsOwnerData = 0x1000;
}  // namespace style

// The predefined control classes by atom, and the common controls by class name.
inline constexpr std::uint16_t kButtonAtom = 0x0080;
inline constexpr std::uint16_t kEditAtom = 0x0081;
inline constexpr std::uint16_t kStaticAtom = 0x0082;
inline constexpr std::u16string_view kProgressClass = u"msctls_progress32";
inline constexpr std::u16string_view kListViewClass = u"SysListView32";
inline constexpr std::u16string_view kPaneClass = u"QuillomarPane";

// UTF-8 as UTF-16; a byte that starts no valid sequence becomes U+FFFD.
std::u16string toUtf16(std::string_view utf8);

// The window styles of a control of the template: the control's own bits and the class it is
// made of (an atom, or a class name when atom is 0).
struct ControlStyle {
    std::uint32_t style = 0;
    std::uint32_t extendedStyle = 0;
    std::uint16_t atom = 0;
    std::u16string_view className;
};
ControlStyle controlStyle(const ControlTemplate& control);

// The dialog's own window styles.
std::uint32_t dialogStyle(const DialogTemplate& dialog);
std::uint32_t dialogExtendedStyle(const DialogTemplate& dialog);

// The template's bytes in memory, in language's texts and widths. The buffer is 4-byte aligned
// as a vector of 32-bit words; the template starts at its first byte.
std::vector<std::uint32_t> buildDialogTemplate(const DialogTemplate& dialog, Language language);

}  // namespace quillomar::win32

#pragma once
// The dialogs as data: one template per dialog, holding every control with its id, kind, style,
// position and size in dialog units and its text in both languages. The window program turns a
// template into widgets; the window logic only knows the ids.
//
// Dialog units scale with the dialog's font: a horizontal unit is a quarter of the font's average
// character width, a vertical unit an eighth of its character height.

#include <cstdint>
#include <span>
#include <string_view>

#include "app/stringtable.h"
#include "dialog/layout.h"
#include "platform/resourceids.h"

namespace quillomar {

// Label controls have no identifier.
inline constexpr int kNoControlId = -1;

// A Pane is the program's own preview area: text, a picture with its size, or a message. Its
// template text is its accessible name.
enum class ControlKind { PushButton, Edit, Static, CheckBox, GroupBox, ProgressBar, ListView, Pane };

// Control style flags.
enum ControlStyle : std::uint32_t {
    kStyleNone = 0,
    kStyleDefaultButton = 1u << 0,  // push button drawn as the default button
    kStyleDisabled = 1u << 1,       // starts disabled
    kStyleTabStop = 1u << 2,        // reached with the Tab key
    kStyleCenter = 1u << 3,         // static: centred text (else left-aligned, wrapped at words)
    kStyleSunken = 1u << 4,         // static: sunken edge
    kStyleEndEllipsis = 1u << 5,    // static: a text that does not fit ends in an ellipsis
    kStyleBorder = 1u << 6,
    kStyleAutoHScroll = 1u << 7,  // edit: one line scrolling horizontally, no length limit
    kStyleSmooth = 1u << 8,       // progress bar: one smooth bar
    kStyleReportView = 1u << 9,   // list view: rows and column headers
    kStyleSingleSelection = 1u << 10,
    // Where a control goes when its dialog is made larger than its template (a resizable dialog):
    // by default it keeps its place and size.
    kStyleGrowWidth = 1u << 11,     // widens by what the dialog gained in width
    kStyleGrowHeight = 1u << 12,    // grows taller by what the dialog gained in height
    kStyleFollowRight = 1u << 13,   // keeps its distance to the dialog's right edge
    kStyleFollowBottom = 1u << 14,  // keeps its distance to the dialog's bottom edge
    kStyleHidden = 1u << 15,        // starts hidden
    // A pane at the dialog's right that, while shown, narrows the controls growing with the
    // dialog's width whose rows it shares, so that they end where it begins.
    kStyleSidePane = 1u << 16,
};

// Dialog style flags.
enum DialogStyle : std::uint32_t {
    kDialogCaption = 1u << 0,
    kDialogSystemMenu = 1u << 1,  // a system menu, and with it the caption's close button
    kDialogMinimizeBox = 1u << 2,
    kDialogModalFrame = 1u << 3,  // fixed size
    kDialogCentered = 1u << 4,
    kDialogAppWindow = 1u << 5,    // shown in the taskbar
    kDialogAcceptFiles = 1u << 6,  // files can be dropped on it
    kDialogResizable = 1u << 7,    // may be made larger, never smaller than its template
};

struct LocalizedText {
    std::string_view french;
    std::string_view neutral;

    constexpr std::string_view in(Language language) const { return language == Language::French ? french : neutral; }
};

struct DialogRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    constexpr bool operator==(const DialogRect&) const = default;
};

struct ControlTemplate {
    int id = kNoControlId;
    ControlKind kind = ControlKind::Static;
    std::uint32_t style = kStyleNone;
    LocalizedText text;
    DialogRect rect;             // as in the French copy
    int neutralWidth = 0;        // the neutral copy's width where it differs, else 0
    int labelId = kNoControlId;  // the static text that names it, where its place does not say

    constexpr DialogRect rectIn(Language language) const {
        DialogRect r = rect;
        if (language == Language::Neutral && neutralWidth != 0) r.width = neutralWidth;
        return r;
    }
    constexpr bool has(std::uint32_t flag) const { return (style & flag) != 0; }
    // The edges it follows in a dialog made larger than its template.
    constexpr Anchors anchors() const {
        return {has(kStyleFollowRight), has(kStyleFollowBottom), has(kStyleGrowWidth), has(kStyleGrowHeight),
                has(kStyleSidePane)};
    }
};

struct DialogTemplate {
    int id = 0;
    LocalizedText caption;
    std::uint32_t style = 0;
    std::string_view fontName;
    int fontPointSize = 8;
    int width = 0;  // client area, dialog units
    int height = 0;
    std::span<const ControlTemplate> controls;  // template order, which is the tab order

    constexpr bool has(std::uint32_t flag) const { return (style & flag) != 0; }
    const ControlTemplate* control(int controlId) const;
};

// The template of dialog id, or nullptr when the program has none.
const DialogTemplate* findDialogTemplate(int id);

// The label that names control controlId: the one its template names, else as a reader of the
// dialog sees it: the nearest plain
// static text on its left on the same line, else one right above it (a few units between). nullptr when
// there is none.
const ControlTemplate* labelOf(const DialogTemplate& dialog, int controlId);

}  // namespace quillomar

// Dialogs 102 (packer window) and 103 (content window). Both copies of a dialog share every id,
// style, position and size; only the texts differ, and two label widths of dialog 102.

#include <array>

#include "app/dialogtemplate.h"
#include "platform/resourceids.h"

namespace quillomar {

namespace {

using enum ControlKind;

constexpr std::uint32_t kNumberBox = kStyleCenter | kStyleSunken | kStyleEndEllipsis;
constexpr std::uint32_t kInputEdit = kStyleBorder | kStyleAutoHScroll | kStyleTabStop | kStyleDisabled;

constexpr LocalizedText same(std::string_view text) { return {text, text}; }

constexpr std::array kPackerControls{
    ControlTemplate{
        packer::kQuit, PushButton, kStyleDefaultButton | kStyleTabStop, {"Fermer", "Quit"}, {271, 227, 50, 16}},
    ControlTemplate{packer::kGenerate,
                    PushButton,
                    kStyleDisabled | kStyleTabStop,
                    {"Generer le POD", "Generate POD !"},
                    {7, 227, 96, 16}},
    ControlTemplate{packer::kFileCount, Static, kNumberBox, same("0"), {82, 84, 62, 11}},
    ControlTemplate{packer::kTotalKilobytes, Static, kNumberBox, same("0"), {82, 71, 62, 11}},
    ControlTemplate{kNoControlId, Static, kStyleNone, {"Taille totale fichiers", "All files size"}, {17, 73, 62, 8}},
    ControlTemplate{kNoControlId, Static, kStyleNone, {"Nombre de fichiers", "Number of file"}, {17, 86, 60, 8}, 44},
    ControlTemplate{kNoControlId, Static, kStyleNone, same("kOctets"), {146, 73, 25, 10}},
    ControlTemplate{packer::kFolder, Static, kStyleSunken, same(""), {76, 24, 245, 14}},
    ControlTemplate{packer::kName, Edit, kInputEdit, same(""), {76, 8, 245, 13}},
    ControlTemplate{kNoControlId, Static, kStyleNone, {"Nom du fichier POD", "POD name"}, {7, 9, 63, 9}},
    ControlTemplate{packer::kWriteLog,
                    CheckBox,
                    kStyleTabStop,
                    {"Créer une trace de la liste des fichiers présents dans le répertoire à poder",
                     "Create a log file with directory content"},
                    {76, 44, 245, 11}},
    ControlTemplate{packer::kProgress, ProgressBar, kStyleSmooth, same(""), {55, 209, 266, 7}},
    ControlTemplate{kNoControlId, Static, kStyleNone, {"Sous répertoires", "Sub directories"}, {17, 98, 52, 8}, 48},
    ControlTemplate{packer::kSubfolders, Static, kNumberBox, same("0"), {82, 97, 62, 11}},
    ControlTemplate{kNoControlId, Static, kStyleNone, {"Avancement", "Progress"}, {7, 207, 46, 10}},
    ControlTemplate{kNoControlId, GroupBox, kStyleNone, {"Informations POD3", "POD Informations"}, {7, 121, 314, 73}},
    ControlTemplate{kNoControlId, Static, kStyleNone, {"Auteur", "Author"}, {15, 134, 31, 8}},
    ControlTemplate{kNoControlId, Static, kStyleNone, same("Description"), {15, 148, 46, 8}},
    ControlTemplate{kNoControlId, Static, kStyleNone, same("Copyrights"), {15, 163, 46, 8}},
    ControlTemplate{packer::kAuthor, Edit, kInputEdit, same(""), {124, 132, 186, 13}},
    ControlTemplate{packer::kDescription, Edit, kInputEdit, same(""), {124, 147, 186, 13}},
    ControlTemplate{packer::kCopyright, Edit, kInputEdit, same(""), {124, 162, 186, 13}},
    ControlTemplate{kNoControlId, Static, kStyleNone, {"Priorité", "Priority"}, {15, 178, 46, 8}},
    ControlTemplate{packer::kPriority, Edit, kInputEdit, same(""), {124, 177, 34, 13}},
    ControlTemplate{kNoControlId, GroupBox, kStyleNone, {"Statistiques", "Statistics"}, {7, 57, 314, 56}},
    ControlTemplate{packer::kShowContent,
                    PushButton,
                    kStyleDisabled | kStyleTabStop,
                    {"Voir / Extraire...", "See content / Extract..."},
                    {137, 227, 96, 16}},
    ControlTemplate{kNoControlId, Static, kStyleNone, {"Répertoire à Podder", "Directory to Pod"}, {7, 26, 63, 9}},
    ControlTemplate{kNoControlId, Static, kStyleNone, {"VERSION POD :", "POD VERSION :"}, {187, 84, 57, 8}},
    ControlTemplate{packer::kVersion, Static, kNumberBox, same("0"), {245, 82, 62, 11}},
};

// Dialog 103: Close, Extract all (Escape sends it too), the entry list and the hint above it,
// where extraction also shows how far it got and how it ended; the filter box between them, and
// the preview pane, hidden until asked for, which takes the list's right part. The list comes
// before the filter in the tab order, and the hint names it. The window may be enlarged: the
// list, the filter and the hint take the new room, the buttons stay at the bottom corners.
constexpr std::array kContentControls{
    ControlTemplate{viewer::kClose,
                    PushButton,
                    kStyleDefaultButton | kStyleTabStop | kStyleFollowRight | kStyleFollowBottom,
                    {"Fermer", "Close"},
                    {263, 264, 50, 16}},
    ControlTemplate{viewer::kExtractAll,
                    PushButton,
                    kStyleDefaultButton | kStyleTabStop | kStyleFollowBottom,
                    {"Tout extraire vers ...", "Extract all to ..."},
                    {7, 264, 114, 16}},
    ControlTemplate{viewer::kHint,
                    Static,
                    kStyleGrowWidth,
                    {"Double-cliquez pour voir une copie temporaire d'un fichier dans la liste",
                     "Double clic on a file to open it"},
                    {7, 4, 306, 11}},
    ControlTemplate{viewer::kList,
                    ListView,
                    kStyleReportView | kStyleBorder | kStyleTabStop | kStyleGrowWidth | kStyleGrowHeight,
                    same(""),
                    {7, 31, 306, 231},
                    0,
                    viewer::kHint},
    ControlTemplate{kNoControlId, Static, kStyleNone, {"Filtrer", "Filter"}, {7, 18, 30, 8}},
    ControlTemplate{viewer::kFilter,
                    Edit,
                    kStyleBorder | kStyleAutoHScroll | kStyleTabStop | kStyleGrowWidth,
                    same(""),
                    {40, 16, 273, 12}},
    ControlTemplate{viewer::kPreview,
                    Pane,
                    kStyleHidden | kStyleSidePane | kStyleBorder | kStyleFollowRight | kStyleGrowHeight,
                    {"Aperçu", "Preview"},
                    {163, 31, 150, 231}},
};

constexpr DialogTemplate kPackerDialog{
    kPackerDialogId,
    {"Quillomar pour Korvane - version 1.0 - 2003", "Quillomar for Korvane - version 1.0 - 2003"},
    kDialogCaption | kDialogSystemMenu | kDialogMinimizeBox | kDialogModalFrame | kDialogCentered | kDialogAppWindow |
        kDialogAcceptFiles,
    "MS Sans Serif",
    8,
    328,
    250,
    kPackerControls,
};

constexpr DialogTemplate kContentDialog{
    kContentDialogId,
    {"Liste des fichiers POD", "POD content"},
    kDialogCaption | kDialogModalFrame | kDialogCentered | kDialogResizable,
    "MS Sans Serif",
    8,
    320,
    287,
    kContentControls,
};

}  // namespace

const ControlTemplate* DialogTemplate::control(int controlId) const {
    if (controlId == kNoControlId) return nullptr;
    for (const ControlTemplate& c : controls) {
        if (c.id == controlId) return &c;
    }
    return nullptr;
}

const DialogTemplate* findDialogTemplate(int id) {
    switch (id) {
        case kPackerDialogId:
            return &kPackerDialog;
        case kContentDialogId:
            return &kContentDialog;
        default:
            return nullptr;
    }
}

const ControlTemplate* labelOf(const DialogTemplate& dialog, int controlId) {
    const ControlTemplate* control = dialog.control(controlId);
    if (control == nullptr) return nullptr;
    if (control->labelId != kNoControlId) return dialog.control(control->labelId);
    const DialogRect& c = control->rect;
    const ControlTemplate* left = nullptr;
    const ControlTemplate* above = nullptr;
    for (const ControlTemplate& label : dialog.controls) {
        // Sunken statics show values, not names.
        if (label.kind != Static || label.has(kStyleSunken) || &label == control) continue;
        const DialogRect& l = label.rect;
        const bool sameLine = l.y < c.y + c.height && c.y < l.y + l.height;
        const bool sameColumn = l.x < c.x + c.width && c.x < l.x + l.width;
        if (sameLine && l.x + l.width <= c.x + 2) {
            if (left == nullptr || l.x + l.width > left->rect.x + left->rect.width) left = &label;
        } else if (sameColumn && l.y + l.height <= c.y + 2 && l.y + l.height >= c.y - 4) {
            if (above == nullptr || l.y + l.height > above->rect.y + above->rect.height) above = &label;
        }
    }
    return left != nullptr ? left : above;
}

}  // namespace quillomar

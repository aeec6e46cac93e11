#include "app/stringtable.h"

#include <array>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "dialog/dialoghost.h"
#include "platform/resourceids.h"

namespace quillomar {

namespace {

struct StringEntry {
    int id;
    std::string_view french;
    std::string_view neutral;
};

constexpr std::array kStrings{
    StringEntry{kMsgProgramName, "Quillomar", "Quillomar"},
    StringEntry{kMsgOutOfMemory, "** Erreur d'allocation mémoire **\nQuittez Quillomar et réessayer",
                "** memory allocation error **\nClose Quillomar & other app then try again !"},
    StringEntry{kPickerTitle, "Répertoire destination pour l'extraction du POD",
                "Destination folder for POD extraction ==>"},
    StringEntry{kMsgNotAnArchive, "Ceci n'est pas un fichier au format POD3 ou POD2 !",
                "This file is not a POD3 ou POD2 format file !"},
    StringEntry{kMsgNotFolderOrArchive, "Ce n'est pas un répertoire OU un fichier POD !",
                "Not a directory or a POD file drop !"},
    StringEntry{kMsgNoAssociation, "Aucune programme associé à ce type de fichier",
                "No software associated with that file type !"},
    StringEntry{kNameColumnTitle, "Nom", "Name"},
    StringEntry{kTypeColumnTitle, "Type", "Type"},
    StringEntry{kFolderColumnTitle, "Répertoire", "Folder"},
    StringEntry{kDateColumnTitle, "Date", "Date"},
    StringEntry{kSizeColumnTitle, "Taille", "Size"},
    StringEntry{kMsgDamagedArchive, "Ce fichier POD est endommagé ou incomplet !",
                "This POD file is damaged or incomplete !"},
    // The content window's context menu, and its hint while and after extracting.
    StringEntry{kOpenText, "Ouvrir", "Open"},
    StringEntry{kExtractSelectedText, "Extraire la sélection vers ...", "Extract selected to ..."},
    StringEntry{kCopyNameText, "Copier le nom", "Copy name"},
    StringEntry{kProgressText, "Extraction : %1 / %2", "Extracting: %1 / %2"},
    StringEntry{kExtractedText, "%1 fichiers extraits vers %2", "%1 files extracted to %2"},
    StringEntry{kExtractedOneText, "%1 fichier extrait vers %2", "%1 file extracted to %2"},
    StringEntry{kMsgEntriesNotExtracted, "%1 entrées sur %2 non extraites", "%1 of %2 entries not extracted"},
    // The content window's edits: its context menu, its questions, its hint while writing, and
    // what it says when it cannot edit.
    StringEntry{kDeleteText, "Supprimer", "Delete"},
    StringEntry{kRenameText, "Renommer", "Rename"},
    StringEntry{kReplaceQuestion, "Remplacer %1 entrées ?", "Replace %1 entries?"},
    StringEntry{kReplaceOneQuestion, "Remplacer 1 entrée ?", "Replace 1 entry?"},
    StringEntry{kDeleteQuestion, "Supprimer %1 entrées ?", "Delete %1 entries?"},
    StringEntry{kDeleteOneQuestion, "Supprimer 1 entrée ?", "Delete 1 entry?"},
    StringEntry{kWritingText, "Écriture : %1 / %2", "Writing: %1 / %2"},
    StringEntry{kReadOnlyMessage, "Un fichier POD2 ne peut pas être modifié ici !",
                "A POD2 file cannot be changed here !"},
    StringEntry{kInvalidNameMessage, "Ce nom n'est pas valide !", "This name is not valid !"},
    // What one extraction reports at its end, and its warning before it starts.
    StringEntry{kNotExtractedListText, "%1 entrées n'ont pas été extraites :", "%1 entries were not extracted:"},
    StringEntry{kWrittenOverListText, "%1 entrées ont été remplacées par une entrée suivante du même nom :",
                "%1 entries were written over by a later entry of the same name:"},
    StringEntry{kMoreNamesText, "... et %1 autres", "... and %1 more"},
    StringEntry{kLargeOutputText,
                "Ces entrées partagent leurs données : l'extraction écrit %1 octets, plus de 100 fois la taille "
                "de l'archive (%2 octets).",
                "These entries share their data: extraction writes %1 bytes, more than 100 times the size of the "
                "archive (%2 bytes)."},
    // The content window's filter count, and its preview pane.
    StringEntry{kFilterCountText, "%1 entrées sur %2", "%1 of %2 entries"},
    StringEntry{kPreviewText, "Aperçu", "Preview"},
    StringEntry{kPictureSizeText, "%1 × %2 pixels", "%1 × %2 pixels"},
    StringEntry{kCannotShowText, "impossible à afficher", "cannot be shown"},
};

std::optional<Language> overridden;

}  // namespace

Language languageFromEnvironment() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value == nullptr || *value == '\0') continue;
        std::string_view locale(value);
        bool french = locale.starts_with("fr") && (locale.size() == 2 || locale[2] == '_' || locale[2] == '.' ||
                                                   locale[2] == '@' || locale[2] == '-');
        return french ? Language::French : Language::Neutral;
    }
    return Language::Neutral;
}

Language currentLanguage() {
    if (!overridden) overridden = languageFromEnvironment();
    return *overridden;
}

void setCurrentLanguage(Language language) { overridden = language; }

std::string loadString(int id, Language language) {
    for (const StringEntry& entry : kStrings) {
        if (entry.id == id) return std::string(language == Language::French ? entry.french : entry.neutral);
    }
    return {};
}

std::string loadString(int id, Language language, std::size_t bufferSize) {
    if (bufferSize == 0) return {};
    return firstCharacters(loadString(id, language), bufferSize - 1);
}

}  // namespace quillomar

#pragma once
// Qt's own texts (the folder picker's buttons and labels, standard buttons) in the program's
// language.

#include "app/stringtable.h"

namespace quillomar {

// Installs the toolkit's translations for language in the running application; the neutral
// language keeps the toolkit's English. Returns false when the translations are not installed.
bool installQtTranslations(Language language);

}  // namespace quillomar
